#include "binding/extract_argument.hpp"

namespace vemo {

PyRef argument_extraction_error(const char* parameter, PyRef exception) {
    if (reinterpret_cast<PyObject*>(Py_TYPE(exception.get())) != PyExc_TypeError) return exception;
    PyRef message = require(PyUnicode_FromFormat("argument '%s': %S", parameter, exception.get()));
    PyRef replacement = require(PyObject_CallOneArg(PyExc_TypeError, message.get()));
    // PyException_SetCause steals the cause, which PyException_GetCause returned as a new
    // reference (or null, which leaves the replacement without a cause).
    PyException_SetCause(replacement.get(), PyException_GetCause(exception.get()));
    return replacement;
}

}  // namespace vemo
