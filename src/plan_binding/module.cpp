// PyInit__core: the private module of vemo_plan.
#include "binding/python_error.hpp"
#include "plan_binding/computation_error.hpp"
#include "plan_binding/network_object.hpp"
#include "plan_binding/page_advice.hpp"
#include "plan_binding/page_writes.hpp"
#include "plan_binding/plan_functions.hpp"

namespace vemo {
namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "vemo_plan._core",
    "The computation behind vemo_plan.",
    -1,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

PyRef create_module() {
    PyRef module = require(PyModule_Create(&module_definition));
    require_status(PyModule_AddFunctions(module.get(), plan_functions().data()));
    require_status(PyModule_AddFunctions(module.get(), page_advice_functions().data()));
    require_status(PyModule_AddFunctions(module.get(), page_write_functions().data()));
    add_computation_error(module.get());
    add_network_type(module.get());
    return module;
}

}  // namespace
}  // namespace vemo

PyMODINIT_FUNC PyInit__core(void) {
    return vemo::plan_boundary([] { return vemo::create_module(); });
}
