#include "assignment/congested_linear/linear_congested_assign.hpp"
#include "binding/entry_points.hpp"
#include "binding/interruptible.hpp"
#include "binding/parameter_groups.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr Declaration<ArcListGroup, CongestionGroup> kDeclaration{"linear_congested_assign"};

PyRef py_linear_congested_assign(PyObject* const* args, Py_ssize_t positional_count,
                                 PyObject* keyword_names) {
    auto arguments = kDeclaration.bind(args, positional_count, keyword_names);
    ArcListArguments& arcs = std::get<0>(arguments);
    const CongestionParameters& parameters = std::get<1>(arguments);
    return assignment_tuple(run_unlocked([&] {
        return linear_congested_assign(std::move(arcs.arcs), std::move(arcs.demands),
                                       std::move(arcs.dsts), parameters);
    }));
}

}  // namespace

constinit const ModuleFunction linear_congested_assign_function{kDeclaration.description(),
                                                                py_linear_congested_assign};

}  // namespace vemo
