#include "assignment/linear/linear_assign.hpp"
#include "binding/entry_points.hpp"
#include "binding/interpreter_lock.hpp"
#include "binding/interruptible.hpp"
#include "binding/parameter_groups.hpp"
#include "binding/result_conversion.hpp"

namespace vemo {
namespace {

constexpr const char* kParameters[] = {"from", "to", "arc_freqs", "costs", "demands", "dsts"};
constexpr FunctionDescription kDescription{"linear_assign", kParameters, 6};

// Each destination's results become Python floats as soon as they are final, while the pool
// computes the later destinations.
PyRef linear_assign_impl(ArcListArguments arcs) {
    AssignmentLists lists(arcs.dsts.size());
    const Assignment rest = run_unlocked([&] {
        return linear_assign(std::move(arcs.from), std::move(arcs.to), std::move(arcs.arc_freqs),
                             std::move(arcs.costs), std::move(arcs.demands), std::move(arcs.dsts),
                             [&](const Assignment& result, std::size_t k) {
                                 HeldInterpreterLock held;
                                 lists.add_destination(result, k);
                             });
    });
    return lists.tuple(rest);
}

}  // namespace

PyRef py_linear_assign(PyObject* const* args, Py_ssize_t positional_count,
                       PyObject* keyword_names) {
    const BoundArguments bound =
        bind_arguments(kDescription, args, positional_count, keyword_names);
    return linear_assign_impl(extract_arc_list(bound));
}

}  // namespace vemo
