#include "assignment/linear/linear_assign.hpp"
#include "binding/entry_points.hpp"
#include "binding/extract_sequence.hpp"
#include "binding/function_description.hpp"
#include "binding/interpreter_lock.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr const char* kParameters[] = {"from", "to", "arc_freqs", "costs", "demands", "dsts"};
constexpr FunctionDescription kDescription{"linear_assign", kParameters, 6};

PyRef linear_assign_impl(std::vector<std::size_t> from, std::vector<std::size_t> to,
                         std::vector<float> arc_freqs, std::vector<float> costs,
                         std::vector<float> demands, std::vector<std::size_t> dsts) {
    return assignment_tuple(run_unlocked([&] {
        return linear_assign(std::move(from), std::move(to), std::move(arc_freqs), std::move(costs),
                             std::move(demands), std::move(dsts));
    }));
}

}  // namespace

PyRef py_linear_assign(PyObject* const* args, Py_ssize_t positional_count,
                       PyObject* keyword_names) {
    const BoundArguments bound =
        bind_arguments(kDescription, args, positional_count, keyword_names);
    auto from = bound.extract(0, to_index_vector);
    auto to = bound.extract(1, to_index_vector);
    auto arc_freqs = bound.extract(2, to_f32_vector);
    auto costs = bound.extract(3, to_f32_vector);
    auto demands = bound.extract(4, to_f32_vector);
    auto dsts = bound.extract(5, to_index_vector);
    return linear_assign_impl(std::move(from), std::move(to), std::move(arc_freqs),
                              std::move(costs), std::move(demands), std::move(dsts));
}

}  // namespace vemo
