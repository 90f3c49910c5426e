// PyInit_vemo: creates the module, refuses a second initialisation in the process, and
// registers the functions of the function table together with __all__.
#include <atomic>
#include <string>

#include "base/failure.hpp"
#include "binding/error_boundary.hpp"
#include "binding/panic_exception.hpp"
#include "binding/python_error.hpp"
#include "binding/python_text.hpp"
#include "lib/function_table.hpp"

namespace vemo {
namespace {

// Size 0 rather than -1: the interpreter then calls PyInit_vemo again on a re-import instead of
// copying the old module's dictionary, so the refusal below is what a re-import meets.
PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "vemo", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// Set by the first initialisation and never cleared. The process-wide state (the pool, the
// exception type) is not made for several interpreters or repeated initialisation.
std::atomic<bool> initialised{false};

// The module's __all__ list, created empty when the module has none yet.
PyRef all_list(PyObject* module) {
    PyObject* existing = PyObject_GetAttrString(module, "__all__");
    if (existing == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) raise_current_error();
        take_raised_exception();
        PyRef list = require(PyList_New(0));
        require_status(PyObject_SetAttrString(module, "__all__", list.get()));
        return list;
    }
    PyRef all = PyRef::steal(existing);
    if (!PyList_Check(all.get())) raise_cannot_convert(all.get(), "PyList");
    return all;
}

void register_function(PyObject* module, PyMethodDef& definition) {
    const char* module_name = PyModule_GetName(module);
    if (module_name == nullptr) raise_current_error();
    PyRef module_name_text = require(PyUnicode_FromString(module_name));
    PyRef function = require(PyCMethod_New(&definition, module, module_name_text.get(), nullptr));

    PyRef name = require(PyObject_GetAttrString(function.get(), "__name__"));
    if (!PyUnicode_Check(name.get())) raise_cannot_convert(name.get(), "PyString");

    PyRef all = all_list(module);
    if (PyList_Append(all.get(), name.get()) < 0) {
        PyRef error = take_raised_exception();
        fail("could not append __name__ to __all__: " + str_or(error.get(), "<unprintable error>"));
    }
    require_status(PyObject_SetAttr(module, name.get(), function.get()));
}

PyRef create_module() {
    PyRef module = require(PyModule_Create2(&module_definition, PYTHON_API_VERSION));
    if (initialised.exchange(true)) {
        raise_error(PyExc_ImportError,
                    "PyO3 modules may only be initialized once per interpreter process");
    }
    for (PyMethodDef& definition : function_table()) register_function(module.get(), definition);
    return module;
}

}  // namespace
}  // namespace vemo

PyMODINIT_FUNC PyInit_vemo(void) {
    return vemo::error_boundary<vemo::raise_panic>([] { return vemo::create_module(); });
}
