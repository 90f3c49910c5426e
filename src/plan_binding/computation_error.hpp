// ComputationError: the exception the planner's module raises for an internal failure. A
// RuntimeError, so that `except Exception` and task schedulers such as Dask see it.
#pragma once

#include <exception>

#include "base/failure.hpp"
#include "binding/py_ref.hpp"
#include "binding/python_error.hpp"

namespace vemo {

// The type, created once when the module is initialised; RuntimeError before.
PyObject* computation_error_type();

// Creates the type and adds it to `module` as ComputationError.
void add_computation_error(PyObject* module);

// Runs `body` (which returns a PyRef) and returns its object as a new reference, or null with a
// Python exception set: the one already set, or ComputationError for any C++ failure.
template <class Body>
PyObject* plan_boundary(Body&& body) noexcept {
    try {
        return body().release();
    } catch (const PyErrorSet&) {
        ensure_error_set();
    } catch (const InternalFailure& failure) {
        PyErr_SetString(computation_error_type(), failure.message().c_str());
    } catch (const std::exception& error) {
        PyErr_SetString(computation_error_type(), error.what());
    } catch (...) {
        PyErr_SetString(computation_error_type(), "unknown C++ exception");
    }
    return nullptr;
}

}  // namespace vemo
