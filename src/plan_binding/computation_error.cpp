#include "plan_binding/computation_error.hpp"

namespace vemo {
namespace {

// Kept for the life of the process, as the module that holds it.
PyObject* type = nullptr;

}  // namespace

// Before the module has made its type, a failure can only come from making the module.
PyObject* computation_error_type() { return type != nullptr ? type : PyExc_RuntimeError; }

void raise_computation_error(std::string_view message) noexcept {
    const PyRef text = PyRef::steal(
        PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (text) PyErr_SetObject(computation_error_type(), text.get());
}

void add_computation_error(PyObject* module) {
    if (type == nullptr) {
        type =
            PyErr_NewExceptionWithDoc("vemo_plan.ComputationError",
                                      "An internal failure of the computation, with its message.",
                                      PyExc_RuntimeError, nullptr);
        if (type == nullptr) raise_current_error();
    }
    require_status(PyModule_AddObjectRef(module, "ComputationError", type));
}

}  // namespace vemo
