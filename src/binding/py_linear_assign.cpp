#include "assignment/linear/linear_assign.hpp"
#include "binding/entry_points.hpp"
#include "binding/interpreter_lock.hpp"
#include "binding/interruptible.hpp"
#include "binding/parameter_groups.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr Declaration<ArcListGroup> kDeclaration{"linear_assign"};

// Each destination's results become Python floats as soon as they are final, while the pool
// computes the later destinations.
PyRef py_linear_assign(PyObject* const* args, Py_ssize_t positional_count,
                       PyObject* keyword_names) {
    ArcListArguments arguments =
        std::get<0>(kDeclaration.bind(args, positional_count, keyword_names));
    AssignmentLists lists(arguments.dsts.size());
    const Assignment rest = run_unlocked([&] {
        return linear_assign(std::move(arguments.arcs), std::move(arguments.demands),
                             std::move(arguments.dsts),
                             [&](const Assignment& result, std::size_t k) {
                                 HeldInterpreterLock held;
                                 lists.add_destination(result, k);
                             });
    });
    return lists.tuple(rest);
}

}  // namespace

constinit const ModuleFunction linear_assign_function{kDeclaration.description(), py_linear_assign};

}  // namespace vemo
