#include "assignment/congested_linear/linear_congested_assign.hpp"
#include "binding/congestion_defaults.hpp"
#include "binding/entry_points.hpp"
#include "binding/extract_sequence.hpp"
#include "binding/float_value.hpp"
#include "binding/function_description.hpp"
#include "binding/index_value.hpp"
#include "binding/interpreter_lock.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr const char* kParameters[] = {"from",    "to",   "arc_freqs", "costs",
                                       "demands", "dsts", "capacity",  "average_decay_factor",
                                       "beta",    "tol",  "max_iters"};
constexpr FunctionDescription kDescription{"linear_congested_assign", kParameters, 7};

PyRef linear_congested_assign_impl(std::vector<std::size_t> from, std::vector<std::size_t> to,
                                   std::vector<float> arc_freqs, std::vector<float> costs,
                                   std::vector<float> demands, std::vector<std::size_t> dsts,
                                   float capacity, float average_decay_factor, float beta,
                                   float tol, std::size_t max_iters) {
    return assignment_tuple(run_unlocked([&] {
        return linear_congested_assign(std::move(from), std::move(to), std::move(arc_freqs),
                                       std::move(costs), std::move(demands), std::move(dsts),
                                       capacity, average_decay_factor, beta, tol, max_iters);
    }));
}

}  // namespace

PyRef py_linear_congested_assign(PyObject* const* args, Py_ssize_t positional_count,
                                 PyObject* keyword_names) {
    const BoundArguments bound =
        bind_arguments(kDescription, args, positional_count, keyword_names);
    auto from = bound.extract(0, to_index_vector);
    auto to = bound.extract(1, to_index_vector);
    auto arc_freqs = bound.extract(2, to_f32_vector);
    auto costs = bound.extract(3, to_f32_vector);
    auto demands = bound.extract(4, to_f32_vector);
    auto dsts = bound.extract(5, to_index_vector);
    const float capacity = bound.extract(6, to_f32);
    const float average_decay_factor = bound.extract_or(7, to_f32, kDefaultAverageDecayFactor);
    const float beta = bound.extract_or(8, to_f32, kDefaultBeta);
    const float tol = bound.extract_or(9, to_f32, kDefaultTol);
    const std::size_t max_iters = bound.extract_or(10, to_index, kDefaultMaxIters);
    return linear_congested_assign_impl(std::move(from), std::move(to), std::move(arc_freqs),
                                        std::move(costs), std::move(demands), std::move(dsts),
                                        capacity, average_decay_factor, beta, tol, max_iters);
}

}  // namespace vemo
