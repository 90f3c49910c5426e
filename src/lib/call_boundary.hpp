// The one boundary between C++ failures and Python exceptions, around every entry point and
// the module initialisation.
#pragma once

#include <exception>

#include "base/failure.hpp"
#include "binding/py_ref.hpp"
#include "binding/python_error.hpp"
#include "binding/panic_exception.hpp"

namespace vemo {

// Runs `body` (which returns a PyRef) and returns its object as a new reference, or null with a
// Python exception set. No C++ exception gets past this point: the caller is the interpreter.
template <class Body>
PyObject* call_boundary(Body&& body) noexcept {
    try {
        return body().release();
    } catch (const PyErrorSet&) {
        ensure_error_set();
    } catch (const InternalFailure& failure) {
        raise_panic(failure.message());
    } catch (const std::exception& error) {
        raise_panic(error.what());
    } catch (...) {
        raise_panic("unknown C++ exception");
    }
    return nullptr;
}

}  // namespace vemo
