#include "binding/result_conversion.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "base/failure.hpp"
#include "binding/python_error.hpp"

namespace vemo {
namespace {

// A result that the interpreter could not create leaves nothing sensible to return.
PyRef created(PyObject* object) {
    if (object == nullptr) {
        PyErr_Print();
        fail("Python API call failed");
    }
    return PyRef::steal(object);
}

// Sets items first .. first + count - 1 of a new `list` to make_item(0 .. count - 1).
template <class MakeItem>
void set_items(PyObject* list, std::size_t first, std::size_t count, MakeItem make_item) {
    for (std::size_t i = 0; i < count; ++i)
        PyList_SET_ITEM(list, static_cast<Py_ssize_t>(first + i), make_item(i).release());
}

PyRef empty_list(std::size_t count) { return created(PyList_New(static_cast<Py_ssize_t>(count))); }

// A new list of `count` items, item i being make_item(i).
template <class MakeItem>
PyRef new_list(std::size_t count, MakeItem make_item) {
    PyRef list = empty_list(count);
    set_items(list.get(), 0, count, make_item);
    return list;
}

// Block k of `values`, split into `count` equal blocks, into the same items of `list`.
void set_block(PyObject* list, const std::vector<float>& values, std::size_t count, std::size_t k,
               ResultFloats& floats) {
    const std::size_t size = values.size() / count;
    const float* block = values.data() + k * size;
    set_items(list, k * size, size, [&](std::size_t i) { return floats(block[i]); });
}

PyRef f32_list(std::vector<float> values, ResultFloats& floats) {
    return new_list(values.size(), [&](std::size_t i) { return floats(values[i]); });
}

PyRef f32_matrix(std::vector<std::vector<float>> rows, ResultFloats& floats) {
    return new_list(rows.size(),
                    [&](std::size_t i) { return f32_list(std::move(rows[i]), floats); });
}

// Each item is built only when the previous one has been placed, so that its result vector can
// be released early; hence functions that build, not ready objects.
template <class... MakeItem>
PyRef new_tuple(MakeItem... make_item) {
    PyRef tuple = created(PyTuple_New(sizeof...(MakeItem)));
    Py_ssize_t position = 0;
    (PyTuple_SetItem(tuple.get(), position++, make_item().release()), ...);
    return tuple;
}

}  // namespace

PyRef ResultFloats::operator()(float value) {
    if (--until_signal_check_ == 0) [[unlikely]] {
        until_signal_check_ = kValuesBetweenSignalChecks;
        require_status(PyErr_CheckSignals());
    }
    // Compared as bits: 0.0f == -0.0f, but only +0.0 is shared.
    if (std::bit_cast<std::uint32_t>(value) != 0) {
        return created(PyFloat_FromDouble(static_cast<double>(value)));
    }
    if (!zero_) zero_ = created(PyFloat_FromDouble(0.0));
    return PyRef::borrow(zero_.get());
}

PyRef assignment_tuple(Assignment assignment) {
    ResultFloats floats;
    return new_tuple([&] { return f32_list(std::move(assignment.node_costs), floats); },
                     [&] { return f32_list(std::move(assignment.arc_flows), floats); });
}

void AssignmentLists::make_lists(const Assignment& result) {
    if (node_costs_) return;
    node_costs_ = empty_list(result.node_costs.size());
    arc_flows_ = empty_list(result.arc_flows.size());
}

void AssignmentLists::add_destination(const Assignment& result, std::size_t k) {
    make_lists(result);
    set_block(node_costs_.get(), result.node_costs, destination_count_, k, floats_);
    set_block(arc_flows_.get(), result.arc_flows, destination_count_, k, floats_);
    added_ = k + 1;
}

AssignmentLists::~AssignmentLists() {
    for (const PyRef* list : {&node_costs_, &arc_flows_}) {
        if (!*list || destination_count_ == 0) continue;
        // Blocks 0 .. added_ - 1 are set; a block interrupted half-way leaves NULL items, which
        // the list skips when freed.
        const Py_ssize_t block =
            PyList_GET_SIZE(list->get()) / static_cast<Py_ssize_t>(destination_count_);
        const Py_ssize_t kept =
            block * static_cast<Py_ssize_t>(std::min(added_ + 1, destination_count_));
        if (kept < PyList_GET_SIZE(list->get())) Py_SET_SIZE(list->get(), kept);
    }
}

PyRef AssignmentLists::tuple(const Assignment& result) {
    make_lists(result);
    return new_tuple([&] { return std::move(node_costs_); }, [&] { return std::move(arc_flows_); });
}

PyRef mat_assignment_tuple(MatAssignment assignment) {
    ResultFloats floats;
    return new_tuple([&] { return f32_matrix(std::move(assignment.stop_costs), floats); },
                     [&] { return f32_list(std::move(assignment.arc_flow_totals), floats); },
                     [&] { return floats(assignment.total_cost); });
}

}  // namespace vemo
