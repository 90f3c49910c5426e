// Conversion of a Python sequence into an owned vector, one element conversion per item.
//
// Every sequence is read the same way, whatever its type: a str is refused, so is anything that
// fails the interpreter's sequence check; the reported length only sizes the reservation; the
// vector holds exactly the items that iteration yields, in order. read_items is the one place
// that chooses how the items are reached.
#pragma once

#include <cstddef>
#include <vector>

#include "base/failure.hpp"
#include "binding/py_ref.hpp"
#include "binding/python_error.hpp"

namespace vemo {

// Raises the TypeError for a str or a non-sequence; returns otherwise.
void check_sequence(PyObject* value);

// The length that `value` reports, or 0 when asking fails (that exception is dropped).
std::size_t reported_length(PyObject* value);

// Calls visit(item) with a borrowed item for every item of `value`, in order.
template <class Visit>
void read_items(PyObject* value, Visit&& visit) {
    // An exact list or tuple is read by position, as its own iterator would read it: the length
    // is checked again before every item, since converting an item may run code that changes
    // the list, and the item is held while it is converted.
    if (PyList_CheckExact(value)) {
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(value); ++i) {
            const PyRef item = PyRef::borrow(PyList_GET_ITEM(value, i));
            visit(item.get());
        }
        return;
    }
    if (PyTuple_CheckExact(value)) {
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(value); ++i) visit(PyTuple_GET_ITEM(value, i));
        return;
    }
    const PyRef iterator = require(PyObject_GetIter(value));
    while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) visit(item.get());
    if (PyErr_Occurred() != nullptr) throw PyErrorSet();
}

// The vector of convert(item) over the items of the sequence `value`; throws PyErrorSet.
template <class T, class Convert>
std::vector<T> extract_sequence(PyObject* value, Convert convert) {
    check_sequence(value);
    std::vector<T> values;
    reserve_exactly(values, reported_length(value));
    read_items(value, [&](PyObject* item) { values.push_back(convert(item)); });
    return values;
}

std::vector<std::size_t> to_index_vector(PyObject* value);
std::vector<float> to_f32_vector(PyObject* value);
std::vector<std::vector<std::size_t>> to_index_matrix(PyObject* value);
std::vector<std::vector<float>> to_f32_matrix(PyObject* value);

}  // namespace vemo
