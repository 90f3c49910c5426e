// Reading a NumPy array (or an array.array) of numbers straight from its memory.
//
// Iterating such an array yields one scalar object per element, each then converted on its own;
// reading its buffer gives the same values at the cost of a copy. Only exact numpy.ndarray and
// array.array objects of one dimension are read this way: their items are exactly the values in
// their buffer, so the result is the one iteration would give. Anything else (other types,
// subclasses, other element types, or a value the conversion would refuse, such as a negative
// index) returns nothing, and the caller takes the ordinary path, which gives the same result
// or raises the same error as always.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "binding/py_ref.hpp"

namespace vemo {

// float32 or float64 elements, rounded to float32 as one float value each.
std::optional<std::vector<float>> f32_values_from_buffer(PyObject* value);

// Signed or unsigned integer elements of 32 or 64 bits, all of them non-negative.
std::optional<std::vector<std::size_t>> index_values_from_buffer(PyObject* value);

}  // namespace vemo
