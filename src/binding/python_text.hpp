// Texts taken from Python objects for messages.
#pragma once

#include <string>

#include "binding/py_ref.hpp"

namespace vemo {

// The `__qualname__` of the type of `object`, as a str; "<failed to extract type name>" when it
// cannot be read as one.
PyRef type_qualname(PyObject* object);

// Sets TypeError "'<type name>' object cannot be converted to '<target>'" and throws PyErrorSet.
[[noreturn]] void raise_cannot_convert(PyObject* object, const char* target);

// The str of `object` in UTF-8, or `fallback` when it has none (that error is dropped).
std::string str_or(PyObject* object, const char* fallback);

}  // namespace vemo
