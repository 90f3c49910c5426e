#include "assignment/congested_linear/mat_linear_congested_assign.hpp"
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

constexpr const char* kParameters[] = {"alignments",  "freqs",    "travel_time_mat",
                                       "demands_mat", "capacity", "average_decay_factor",
                                       "beta",        "tol",      "max_iters"};
constexpr FunctionDescription kDescription{"mat_linear_congested_assign", kParameters, 5};

PyRef mat_linear_congested_assign_impl(std::vector<std::vector<std::size_t>> alignments,
                                       std::vector<float> freqs,
                                       std::vector<std::vector<float>> travel_time_mat,
                                       std::vector<std::vector<float>> demands_mat, float capacity,
                                       float average_decay_factor, float beta, float tol,
                                       std::size_t max_iters) {
    return mat_assignment_tuple(run_unlocked([&] {
        return mat_linear_congested_assign(std::move(alignments), std::move(freqs),
                                           std::move(travel_time_mat), std::move(demands_mat),
                                           capacity, average_decay_factor, beta, tol, max_iters);
    }));
}

}  // namespace

PyRef py_mat_linear_congested_assign(PyObject* const* args, Py_ssize_t positional_count,
                                     PyObject* keyword_names) {
    const BoundArguments bound =
        bind_arguments(kDescription, args, positional_count, keyword_names);
    auto alignments = bound.extract(0, to_index_matrix);
    auto freqs = bound.extract(1, to_f32_vector);
    auto travel_time_mat = bound.extract(2, to_f32_matrix);
    auto demands_mat = bound.extract(3, to_f32_matrix);
    const float capacity = bound.extract(4, to_f32);
    const float average_decay_factor = bound.extract_or(5, to_f32, kDefaultAverageDecayFactor);
    const float beta = bound.extract_or(6, to_f32, kDefaultBeta);
    const float tol = bound.extract_or(7, to_f32, kDefaultTol);
    const std::size_t max_iters = bound.extract_or(8, to_index, kDefaultMaxIters);
    return mat_linear_congested_assign_impl(std::move(alignments), std::move(freqs),
                                            std::move(travel_time_mat), std::move(demands_mat),
                                            capacity, average_decay_factor, beta, tol, max_iters);
}

}  // namespace vemo
