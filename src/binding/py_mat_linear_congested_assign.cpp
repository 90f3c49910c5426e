#include "assignment/congested_linear/mat_linear_congested_assign.hpp"
#include "binding/entry_points.hpp"
#include "binding/interruptible.hpp"
#include "binding/parameter_groups.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr const char* kParameters[] = {"alignments",  "freqs",    "travel_time_mat",
                                       "demands_mat", "capacity", "average_decay_factor",
                                       "beta",        "tol",      "max_iters"};
constexpr FunctionDescription kDescription{"mat_linear_congested_assign", kParameters, 5};

PyRef mat_linear_congested_assign_impl(LineDescriptionArguments lines,
                                       const CongestionArguments& congestion) {
    return mat_assignment_tuple(run_unlocked([&] {
        return mat_linear_congested_assign(
            std::move(lines.alignments), std::move(lines.freqs), std::move(lines.travel_time_mat),
            std::move(lines.demands_mat), congestion.capacity, congestion.average_decay_factor,
            congestion.beta, congestion.tol, congestion.max_iters);
    }));
}

}  // namespace

PyRef py_mat_linear_congested_assign(PyObject* const* args, Py_ssize_t positional_count,
                                     PyObject* keyword_names) {
    const BoundArguments bound =
        bind_arguments(kDescription, args, positional_count, keyword_names);
    LineDescriptionArguments lines = extract_line_description(bound);
    const CongestionArguments congestion = extract_congestion(bound, 4);
    return mat_linear_congested_assign_impl(std::move(lines), congestion);
}

}  // namespace vemo
