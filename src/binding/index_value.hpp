// Conversion of one Python object to a node index (an unsigned machine word).
#pragma once

#include <cstddef>

#include "binding/py_ref.hpp"

namespace vemo {

// The index protocol (int, bool, objects with __index__), then an unsigned 64-bit value: a float
// or str is the interpreter's TypeError, a negative value or one of 2**64 or more its
// OverflowError, a value above the machine word OverflowError "out of range integral type
// conversion attempted". Throws PyErrorSet on failure.
std::size_t to_index(PyObject* value);

}  // namespace vemo
