#include "binding/interruptible.hpp"

namespace vemo {

bool on_main_thread() {
    // threading knows the main thread, also in a child forked from another thread. Its private
    // names are read because they run no Python code: code run here could meet the
    // interpreter's shutdown, which ends a daemon thread by unwinding through these frames.
    // Without threading imported, or without those names, the call polls: a poll that runs no
    // handler is harmless.
    PyObject* modules = PySys_GetObject("modules");
    PyObject* threading = modules != nullptr ? PyDict_GetItemString(modules, "threading") : nullptr;
    if (threading == nullptr) return true;
    PyRef main_thread = PyRef::steal(PyObject_GetAttrString(threading, "_main_thread"));
    PyRef ident =
        main_thread ? PyRef::steal(PyObject_GetAttrString(main_thread.get(), "_ident")) : PyRef();
    const unsigned long main_ident = ident ? PyLong_AsUnsignedLong(ident.get()) : 0;
    if (PyErr_Occurred() != nullptr) {
        PyErr_Clear();
        return true;
    }
    return main_ident == PyThread_get_thread_ident();
}

bool poll_python(bool run_handlers, const FunctionRef<void()>* report) noexcept {
    const HeldInterpreterLock held;
    if (run_handlers && PyErr_CheckSignals() != 0) return true;
    if (report == nullptr) return false;
    try {
        (*report)();
        return false;
    } catch (const PyErrorSet&) {
        return true;
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, "a progress report failed");
        return true;
    }
}

}  // namespace vemo
