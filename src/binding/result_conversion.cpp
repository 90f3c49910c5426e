#include "binding/result_conversion.hpp"

#include <utility>

#include "assignment/utils/failure.hpp"

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

// A new list of `count` items, item i being make_item(i).
template <class MakeItem>
PyRef new_list(std::size_t count, MakeItem make_item) {
    PyRef list = created(PyList_New(static_cast<Py_ssize_t>(count)));
    for (std::size_t i = 0; i < count; ++i)
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), make_item(i).release());
    return list;
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

PyRef f32_float(float value) { return created(PyFloat_FromDouble(static_cast<double>(value))); }

PyRef f32_list(std::vector<float> values) {
    return new_list(values.size(), [&](std::size_t i) { return f32_float(values[i]); });
}

PyRef f32_matrix(std::vector<std::vector<float>> rows) {
    return new_list(rows.size(), [&](std::size_t i) { return f32_list(std::move(rows[i])); });
}

PyRef assignment_tuple(Assignment assignment) {
    return new_tuple([&] { return f32_list(std::move(assignment.node_costs)); },
                     [&] { return f32_list(std::move(assignment.arc_flows)); });
}

PyRef mat_assignment_tuple(MatAssignment assignment) {
    return new_tuple([&] { return f32_matrix(std::move(assignment.stop_costs)); },
                     [&] { return f32_list(std::move(assignment.arc_flow_totals)); },
                     [&] { return f32_float(assignment.total_cost); });
}

}  // namespace vemo
