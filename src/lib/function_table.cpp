#include "lib/function_table.hpp"

#include <array>
#include <string>

#include "binding/entry_points.hpp"
#include "binding/error_boundary.hpp"
#include "binding/panic_exception.hpp"

namespace vemo {
namespace {

// The fast-call entry the interpreter sees for `function`: the module object is not used.
template <const ModuleFunction& function>
PyObject* call_entry_point(PyObject* /*module*/, PyObject* const* args, Py_ssize_t positional_count,
                           PyObject* keyword_names) noexcept {
    return error_boundary<raise_panic>(
        [&] { return function.call(args, positional_count, keyword_names); });
}

// Its documentation is only a text signature, so the interpreter exposes __text_signature__
// and leaves __doc__ None. The text must live as long as the function objects: the process.
template <const ModuleFunction& function>
PyMethodDef function_row() {
    const std::string* signature = new std::string(function.description.text_signature());
    // PyMethodDef stores every kind of C function as PyCFunction; METH_FASTCALL | METH_KEYWORDS
    // tells the interpreter the real signature.
    auto* entry =
        reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call_entry_point<function>));
    return PyMethodDef{function.description.name, entry, METH_FASTCALL | METH_KEYWORDS,
                       signature->c_str()};
}

}  // namespace

std::span<PyMethodDef> function_table() {
    static std::array<PyMethodDef, 4> functions = {
        function_row<linear_assign_function>(),
        function_row<mat_linear_assign_function>(),
        function_row<linear_congested_assign_function>(),
        function_row<mat_linear_congested_assign_function>(),
    };
    return functions;
}

}  // namespace vemo
