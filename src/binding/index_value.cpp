#include "binding/index_value.hpp"

#include <utility>

#include "binding/python_error.hpp"

namespace vemo {
namespace {

unsigned long long to_unsigned_long_long(PyObject* integer) {
    const unsigned long long value = PyLong_AsUnsignedLongLong(integer);
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr)
        throw PyErrorSet();
    return value;
}

}  // namespace

std::size_t to_index(PyObject* value) {
    // An exact int is its own index; skipping PyNumber_Index only saves a reference.
    const unsigned long long wide =
        PyLong_CheckExact(value) ? to_unsigned_long_long(value)
                                 : to_unsigned_long_long(require(PyNumber_Index(value)).get());
    // Always true where the machine word has 64 bits, kept so that a narrower word is exact.
    if (!std::in_range<std::size_t>(wide))
        raise_error(PyExc_OverflowError, "out of range integral type conversion attempted");
    return static_cast<std::size_t>(wide);
}

}  // namespace vemo
