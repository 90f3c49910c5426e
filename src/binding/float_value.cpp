#include "binding/float_value.hpp"

#include <limits>

#include "binding/python_error.hpp"

namespace vemo {

// The narrowing below relies on IEEE 754 conversion: nearest value, ties to even, overflow to
// an infinity of the same sign, NaN kept.
static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<float>::is_iec559);

float to_f32(PyObject* value) {
    double wide = 0.0;
    if (PyFloat_CheckExact(value)) {
        wide = PyFloat_AS_DOUBLE(value);
    } else {
        wide = PyFloat_AsDouble(value);
        // -1.0 is also an ordinary value; only the set exception tells a failure.
        if (wide == -1.0 && PyErr_Occurred() != nullptr) throw PyErrorSet();
    }
    return static_cast<float>(wide);
}

}  // namespace vemo
