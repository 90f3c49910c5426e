// "A Python error is already set" as a C++ exception, and the ways to take and restore one.
//
// A C API call that fails leaves its exception in the interpreter; the code around it throws
// PyErrorSet so that callers unwind without checking every return value. The call wrapper turns
// PyErrorSet back into a null return, with the interpreter's exception still set.
#pragma once

#include <exception>

#include "binding/py_ref.hpp"

namespace vemo {

class PyErrorSet : public std::exception {
public:
    const char* what() const noexcept override { return "a Python error is set"; }
};

// Makes sure an exception is set after a C API call reported failure: a call that failed
// without setting one is reported as SystemError.
void ensure_error_set() noexcept;

// Throws PyErrorSet for the exception that a failed C API call set (see ensure_error_set).
[[noreturn]] void raise_current_error();

// Adopts the new reference a C API call returned; throws PyErrorSet when it returned null.
PyRef require(PyObject* result);

// For C API calls that report failure with -1.
void require_status(int status);

// Sets `type(message)` as the current exception and throws PyErrorSet.
[[noreturn]] void raise_error(PyObject* type, const char* message);

// Takes the current exception out of the interpreter, normalised. A PanicException that the
// caller's own objects raised is not handed on as an ordinary exception: it becomes an internal
// failure with its message (see resume_panic in the .cpp).
PyRef take_raised_exception();

// Makes `exception` the current exception again.
void restore_raised_exception(PyRef exception) noexcept;

}  // namespace vemo
