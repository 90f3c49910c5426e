#include "binding/extract_sequence.hpp"

#include "binding/buffer_values.hpp"
#include "binding/float_value.hpp"
#include "binding/index_value.hpp"
#include "binding/python_text.hpp"

namespace vemo {

void check_sequence(PyObject* value) {
    if (PyUnicode_Check(value)) raise_error(PyExc_TypeError, "Can't extract `str` to `Vec`");
    if (!PySequence_Check(value)) raise_cannot_convert(value, "Sequence");
}

std::size_t reported_length(PyObject* value) {
    const Py_ssize_t length = PySequence_Size(value);
    if (length < 0) {
        take_raised_exception();
        return 0;
    }
    return static_cast<std::size_t>(length);
}

// A NumPy array passes the sequence check, so reading its buffer first keeps the order of errors.
std::vector<std::size_t> to_index_vector(PyObject* value) {
    if (auto values = index_values_from_buffer(value)) return std::move(*values);
    return extract_sequence<std::size_t>(value, to_index);
}

std::vector<float> to_f32_vector(PyObject* value) {
    if (auto values = f32_values_from_buffer(value)) return std::move(*values);
    return extract_sequence<float>(value, to_f32);
}

std::vector<std::vector<std::size_t>> to_index_matrix(PyObject* value) {
    return extract_sequence<std::vector<std::size_t>>(value, to_index_vector);
}

std::vector<std::vector<float>> to_f32_matrix(PyObject* value) {
    return extract_sequence<std::vector<float>>(value, to_f32_vector);
}

}  // namespace vemo
