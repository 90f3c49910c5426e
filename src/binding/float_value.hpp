// Conversion of one Python object to a 32-bit float.
#pragma once

#include "binding/py_ref.hpp"

namespace vemo {

// The float protocol (float and its subclasses, int, bool, objects with __float__ or
// __index__), rounded to the nearest 32-bit float; magnitudes beyond its range become
// infinities, never an error. Throws PyErrorSet when the protocol fails.
float to_f32(PyObject* value);

}  // namespace vemo
