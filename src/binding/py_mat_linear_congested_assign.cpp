#include "assignment/congested_linear/mat_linear_congested_assign.hpp"
#include "binding/entry_points.hpp"
#include "binding/interruptible.hpp"
#include "binding/parameter_groups.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr Declaration<LineDescriptionGroup, CongestionGroup> kDeclaration{
    "mat_linear_congested_assign"};

PyRef py_mat_linear_congested_assign(PyObject* const* args, Py_ssize_t positional_count,
                                     PyObject* keyword_names) {
    auto arguments = kDeclaration.bind(args, positional_count, keyword_names);
    LineDescriptionArguments& lines = std::get<0>(arguments);
    const CongestionParameters& parameters = std::get<1>(arguments);
    return mat_assignment_tuple(run_unlocked([&] {
        return mat_linear_congested_assign(std::move(lines.alignments), std::move(lines.freqs),
                                           std::move(lines.travel_time_mat),
                                           std::move(lines.demands_mat), parameters);
    }));
}

}  // namespace

constinit const ModuleFunction mat_linear_congested_assign_function{kDeclaration.description(),
                                                                    py_mat_linear_congested_assign};

}  // namespace vemo
