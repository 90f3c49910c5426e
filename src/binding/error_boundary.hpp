// The one boundary between C++ failures and Python exceptions, around every entry point and
// module initialisation. Each module names the exception that a C++ failure becomes.
#pragma once

#include <exception>
#include <string_view>

#include "base/failure.hpp"
#include "binding/py_ref.hpp"
#include "binding/python_error.hpp"

namespace vemo {

// Runs `body` (which returns a PyRef) and returns its object as a new reference, or null with a
// Python exception set: the one already set, or the one raise(message) sets for a C++ failure
// (raise must not throw). No C++ exception gets past this point: the caller is the interpreter.
template <void (*raise)(std::string_view) noexcept, class Body>
PyObject* error_boundary(Body&& body) noexcept {
    try {
        return body().release();
    } catch (const PyErrorSet&) {
        ensure_error_set();
    } catch (const InternalFailure& failure) {
        raise(failure.message());
    } catch (const std::exception& error) {
        raise(error.what());
    } catch (...) {
        raise("unknown C++ exception");
    }
    return nullptr;
}

}  // namespace vemo
