// The Python entry points: each binds and converts its arguments, runs its computation with
// the interpreter lock released and converts the results. Failures leave as PyErrorSet (a
// Python exception is set) or as InternalFailure; the call wrapper turns both into exceptions.
#pragma once

#include "binding/function_description.hpp"
#include "binding/py_ref.hpp"

namespace vemo {

using EntryPoint = PyRef (*)(PyObject* const* args, Py_ssize_t positional_count,
                             PyObject* keyword_names);

// A function of the module: its parameters, from which its text signature comes, and its entry.
struct ModuleFunction {
    FunctionDescription description;
    EntryPoint call;
};

extern const ModuleFunction linear_assign_function;
extern const ModuleFunction mat_linear_assign_function;
extern const ModuleFunction linear_congested_assign_function;
extern const ModuleFunction mat_linear_congested_assign_function;

}  // namespace vemo
