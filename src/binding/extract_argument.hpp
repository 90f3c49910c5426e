// Conversion of one bound argument, with its parameter's name in the error.
#pragma once

#include "binding/py_ref.hpp"
#include "binding/python_error.hpp"

namespace vemo {

// The exception to raise for a failed conversion of parameter `parameter`: an exception of
// exactly TypeError is replaced by TypeError("argument '<parameter>': <its str>") with the same
// cause; any other exception (an OverflowError, whatever the caller's object raised) stays as
// it is, since its own message is what the caller needs.
PyRef argument_extraction_error(const char* parameter, PyRef exception);

// `convert(value)`, or PyErrorSet with the exception rewritten by argument_extraction_error.
template <class Convert>
auto extract_argument(PyObject* value, const char* parameter, Convert convert) {
    try {
        return convert(value);
    } catch (const PyErrorSet&) {
        restore_raised_exception(argument_extraction_error(parameter, take_raised_exception()));
        throw;
    }
}

}  // namespace vemo
