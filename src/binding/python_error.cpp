#include "binding/python_error.hpp"

#include <string>

#include "base/failure.hpp"
#include "binding/panic_exception.hpp"
#include "binding/python_text.hpp"

namespace vemo {
namespace {

// A PanicException coming back out of Python means an earlier internal failure is being passed
// on through the caller's object. It must not be mistaken for a conversion error, so it ends
// this call as an internal failure too, after its Python stack trace is shown.
[[noreturn]] void resume_panic(PyRef exception) {
    std::string message = str_or(exception.get(), "<unprintable PanicException>");
    PySys_WriteStderr(
        "--- vemo is resuming an internal failure passed back to it as a PanicException. ---\n");
    PySys_WriteStderr("Python stack trace below:\n");
    restore_raised_exception(std::move(exception));
    PyErr_PrintEx(0);
    fail(std::move(message));
}

}  // namespace

void ensure_error_set() noexcept {
    if (PyErr_Occurred() == nullptr)
        PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
}

void raise_current_error() {
    ensure_error_set();
    throw PyErrorSet();
}

PyRef require(PyObject* result) {
    if (result == nullptr) raise_current_error();
    return PyRef::steal(result);
}

void require_status(int status) {
    if (status < 0) raise_current_error();
}

void raise_error(PyObject* type, const char* message) {
    PyErr_SetString(type, message);
    throw PyErrorSet();
}

PyRef take_raised_exception() {
    ensure_error_set();
#if PY_VERSION_HEX >= 0x030C0000
    PyRef exception = PyRef::steal(PyErr_GetRaisedException());
#else
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    if (traceback != nullptr) PyException_SetTraceback(value, traceback);
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    PyRef exception = PyRef::steal(value);
#endif
    if (is_panic_exception(exception.get())) resume_panic(std::move(exception));
    return exception;
}

void restore_raised_exception(PyRef exception) noexcept {
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(exception.release());
#else
    PyObject* value = exception.release();
    PyObject* type = Py_NewRef(reinterpret_cast<PyObject*>(Py_TYPE(value)));
    PyErr_Restore(type, value, PyException_GetTraceback(value));
#endif
}

}  // namespace vemo
