#include "assignment/congested_linear/linear_congested_assign.hpp"
#include "binding/entry_points.hpp"
#include "binding/interruptible.hpp"
#include "binding/parameter_groups.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr const char* kParameters[] = {"from",    "to",   "arc_freqs", "costs",
                                       "demands", "dsts", "capacity",  "average_decay_factor",
                                       "beta",    "tol",  "max_iters"};
constexpr FunctionDescription kDescription{"linear_congested_assign", kParameters, 7};

PyRef linear_congested_assign_impl(ArcListArguments arcs, const CongestionArguments& congestion) {
    return assignment_tuple(run_unlocked([&] {
        return linear_congested_assign(
            std::move(arcs.from), std::move(arcs.to), std::move(arcs.arc_freqs),
            std::move(arcs.costs), std::move(arcs.demands), std::move(arcs.dsts),
            congestion.capacity, congestion.average_decay_factor, congestion.beta, congestion.tol,
            congestion.max_iters);
    }));
}

}  // namespace

PyRef py_linear_congested_assign(PyObject* const* args, Py_ssize_t positional_count,
                                 PyObject* keyword_names) {
    const BoundArguments bound =
        bind_arguments(kDescription, args, positional_count, keyword_names);
    ArcListArguments arcs = extract_arc_list(bound);
    const CongestionArguments congestion = extract_congestion(bound, 6);
    return linear_congested_assign_impl(std::move(arcs), congestion);
}

}  // namespace vemo
