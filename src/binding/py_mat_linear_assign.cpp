#include "assignment/linear/mat_linear_assign.hpp"
#include "binding/entry_points.hpp"
#include "binding/interruptible.hpp"
#include "binding/parameter_groups.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr const char* kParameters[] = {"alignments", "freqs", "travel_time_mat", "demands_mat"};
constexpr FunctionDescription kDescription{"mat_linear_assign", kParameters, 4};

PyRef mat_linear_assign_impl(LineDescriptionArguments lines) {
    return mat_assignment_tuple(run_unlocked([&] {
        return mat_linear_assign(std::move(lines.alignments), std::move(lines.freqs),
                                 std::move(lines.travel_time_mat), std::move(lines.demands_mat));
    }));
}

}  // namespace

PyRef py_mat_linear_assign(PyObject* const* args, Py_ssize_t positional_count,
                           PyObject* keyword_names) {
    const BoundArguments bound =
        bind_arguments(kDescription, args, positional_count, keyword_names);
    return mat_linear_assign_impl(extract_line_description(bound));
}

}  // namespace vemo
