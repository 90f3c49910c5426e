#include "assignment/linear/mat_linear_assign.hpp"
#include "binding/entry_points.hpp"
#include "binding/extract_sequence.hpp"
#include "binding/function_description.hpp"
#include "binding/interpreter_lock.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr const char* kParameters[] = {"alignments", "freqs", "travel_time_mat", "demands_mat"};
constexpr FunctionDescription kDescription{"mat_linear_assign", kParameters, 4};

PyRef mat_linear_assign_impl(std::vector<std::vector<std::size_t>> alignments,
                             std::vector<float> freqs,
                             std::vector<std::vector<float>> travel_time_mat,
                             std::vector<std::vector<float>> demands_mat) {
    return mat_assignment_tuple(run_unlocked([&] {
        return mat_linear_assign(std::move(alignments), std::move(freqs),
                                 std::move(travel_time_mat), std::move(demands_mat));
    }));
}

}  // namespace

PyRef py_mat_linear_assign(PyObject* const* args, Py_ssize_t positional_count,
                           PyObject* keyword_names) {
    const BoundArguments bound =
        bind_arguments(kDescription, args, positional_count, keyword_names);
    auto alignments = bound.extract(0, to_index_matrix);
    auto freqs = bound.extract(1, to_f32_vector);
    auto travel_time_mat = bound.extract(2, to_f32_matrix);
    auto demands_mat = bound.extract(3, to_f32_matrix);
    return mat_linear_assign_impl(std::move(alignments), std::move(freqs),
                                  std::move(travel_time_mat), std::move(demands_mat));
}

}  // namespace vemo
