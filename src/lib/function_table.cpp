#include "lib/function_table.hpp"

#include <array>

#include "binding/entry_points.hpp"
#include "lib/call_boundary.hpp"

namespace vemo {
namespace {

// The fast-call entry the interpreter sees for `entry`: the module object is not used.
template <EntryPoint entry>
PyObject* call_entry_point(PyObject* /*module*/, PyObject* const* args, Py_ssize_t positional_count,
                           PyObject* keyword_names) noexcept {
    return call_boundary([&] { return entry(args, positional_count, keyword_names); });
}

template <EntryPoint entry>
PyMethodDef function_row(const char* name, const char* signature_doc) {
    // PyMethodDef stores every kind of C function as PyCFunction; METH_FASTCALL | METH_KEYWORDS
    // tells the interpreter the real signature.
    auto* function =
        reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call_entry_point<entry>));
    return PyMethodDef{name, function, METH_FASTCALL | METH_KEYWORDS, signature_doc};
}

// Each doc is only a text signature: "<first line>\n--\n\n" makes the interpreter expose the
// parenthesised part as __text_signature__ and leave __doc__ None.
std::array<PyMethodDef, 4> functions = {
    function_row<py_linear_assign>("linear_assign",
                                   "linear_assign(from, to, arc_freqs, costs, demands, dsts)\n"
                                   "--\n\n"),
    function_row<py_mat_linear_assign>(
        "mat_linear_assign",
        "mat_linear_assign(alignments, freqs, travel_time_mat, demands_mat)\n--\n\n"),
    function_row<py_linear_congested_assign>(
        "linear_congested_assign",
        "linear_congested_assign(from, to, arc_freqs, costs, demands, dsts, capacity, "
        "average_decay_factor=0.01, beta=0.2, tol=0.001, max_iters=1000)\n--\n\n"),
    function_row<py_mat_linear_congested_assign>(
        "mat_linear_congested_assign",
        "mat_linear_congested_assign(alignments, freqs, travel_time_mat, demands_mat, capacity, "
        "average_decay_factor=0.01, beta=0.2, tol=0.001, max_iters=1000)\n--\n\n"),
};

}  // namespace

std::span<PyMethodDef> function_table() { return functions; }

}  // namespace vemo
