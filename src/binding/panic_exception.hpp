// PanicException: the Python exception type that every internal failure is raised as.
//
// One type object per process, created at the first internal failure and kept until the
// process ends. It derives from BaseException, so `except Exception` does not swallow it, and
// it is not an attribute of the module: callers meet it only as the type of a raised exception.
#pragma once

#include <string_view>

#include "binding/py_ref.hpp"

namespace vemo {

// Sets PanicException(message) as the current exception. If the type cannot be created, the
// interpreter's exception from that attempt is set instead.
void raise_panic(std::string_view message) noexcept;

// Whether `exception` is exactly a PanicException (false while the type does not exist yet).
bool is_panic_exception(PyObject* exception) noexcept;

}  // namespace vemo
