// The Python entry points: each binds and converts its arguments, runs its computation with
// the interpreter lock released and converts the results. Failures leave as PyErrorSet (a
// Python exception is set) or as InternalFailure; the call wrapper turns both into exceptions.
#pragma once

#include "binding/py_ref.hpp"

namespace vemo {

using EntryPoint = PyRef (*)(PyObject* const* args, Py_ssize_t positional_count,
                             PyObject* keyword_names);

PyRef py_linear_assign(PyObject* const* args, Py_ssize_t positional_count, PyObject* keyword_names);
PyRef py_mat_linear_assign(PyObject* const* args, Py_ssize_t positional_count,
                           PyObject* keyword_names);
PyRef py_linear_congested_assign(PyObject* const* args, Py_ssize_t positional_count,
                                 PyObject* keyword_names);
PyRef py_mat_linear_congested_assign(PyObject* const* args, Py_ssize_t positional_count,
                                     PyObject* keyword_names);

}  // namespace vemo
