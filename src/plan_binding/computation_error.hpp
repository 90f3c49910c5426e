// ComputationError: the exception the planner's module raises for an internal failure. A
// RuntimeError, so that `except Exception` and task schedulers such as Dask see it.
#pragma once

#include <string_view>
#include <utility>

#include "binding/error_boundary.hpp"

namespace vemo {

// The type, created once when the module is initialised; RuntimeError before.
PyObject* computation_error_type();

// Creates the type and adds it to `module` as ComputationError.
void add_computation_error(PyObject* module);

// Sets ComputationError(message) as the current exception, or the interpreter's exception from
// decoding the message.
void raise_computation_error(std::string_view message) noexcept;

// The error boundary of the planner's module: any C++ failure becomes ComputationError.
template <class Body>
PyObject* plan_boundary(Body&& body) noexcept {
    return error_boundary<raise_computation_error>(std::forward<Body>(body));
}

}  // namespace vemo
