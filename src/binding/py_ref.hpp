// One owned reference to a Python object.
//
// Ownership rules: a PyRef owns exactly one strong reference (or none, when empty) and drops it
// when destroyed. Every way in names what happens to the count: `steal` adopts a new reference
// that a C API call returned, `borrow` takes a reference of its own to a borrowed pointer. The
// way out is `release`, for calls that steal a reference (PyTuple_SetItem, PyList_SET_ITEM).
// There is no implicit conversion to PyObject*, so a borrowed use is always spelled `get()`.
// A PyRef must only be created, moved over or destroyed with the interpreter lock held.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace vemo {

class PyRef {
public:
    PyRef() noexcept = default;
    static PyRef steal(PyObject* object) noexcept { return PyRef(object); }
    static PyRef borrow(PyObject* object) noexcept {
        Py_XINCREF(object);
        return PyRef(object);
    }

    PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    PyRef& operator=(PyRef&& other) noexcept {
        PyRef old(std::move(*this));
        object_ = std::exchange(other.object_, nullptr);
        return *this;
    }
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    ~PyRef() { Py_XDECREF(object_); }

    PyObject* get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    [[nodiscard]] PyObject* release() noexcept { return std::exchange(object_, nullptr); }

private:
    explicit PyRef(PyObject* object) noexcept : object_(object) {}

    PyObject* object_ = nullptr;
};

}  // namespace vemo
