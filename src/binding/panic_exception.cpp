#include "binding/panic_exception.hpp"

namespace vemo {
namespace {

constexpr const char* kPanicExceptionDoc =
    "\n"
    "The exception raised when the native code of vemo, called from Python, fails.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

// Written only with the interpreter lock held, and never cleared.
PyObject* panic_exception_type = nullptr;

PyObject* get_or_create_type() noexcept {
    if (panic_exception_type != nullptr) return panic_exception_type;
    PyObject* created = PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", kPanicExceptionDoc,
                                                  PyExc_BaseException, nullptr);
    if (created == nullptr) return nullptr;
    // Creating a type can run Python code that lets another thread create it first; the first
    // one stays, so every failure in the process raises the same type.
    if (panic_exception_type != nullptr) {
        Py_DECREF(created);
        return panic_exception_type;
    }
    panic_exception_type = created;
    return created;
}

}  // namespace

void raise_panic(std::string_view message) noexcept {
    PyObject* type = get_or_create_type();
    if (type == nullptr) return;
    PyRef text = PyRef::steal(
        PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
    if (!text) return;
    PyErr_SetObject(type, text.get());
}

bool is_panic_exception(PyObject* exception) noexcept {
    return exception != nullptr && panic_exception_type != nullptr &&
           reinterpret_cast<PyObject*>(Py_TYPE(exception)) == panic_exception_type;
}

}  // namespace vemo
