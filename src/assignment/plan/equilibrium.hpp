// Congested assignments solved to an equilibrium, with the planner's results along the final
// strategies:
// - the capacity model: a boarding arc loses frequency as the riders wanting to board approach
//   the room left on board (effective_frequency, the room being what the riders staying on
//   board leave); its equilibrium, where every trip is on a
//   strategy that is cheapest under the frequencies its flows produce, is reached by averaging
//   with a shrinking step;
// - the crowding model: frequencies fixed, the time of every arc with a finite capacity raised
//   with its load, cost × (1 + alpha (load / capacity)^beta); solved by Frank–Wolfe with an
//   exact line search on its convex objective.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "assignment/congested_linear/effective_freqs.hpp"
#include "assignment/plan/plan_assign.hpp"
#include "base/function_ref.hpp"

namespace vemo {

enum class EquilibriumModel { capacity, crowding };

enum class StopReason { tolerance, iteration_limit, settled, over_capacity };

struct EquilibriumSettings {
    EquilibriumModel model;
    // The capacity model's trips per unit of frequency of each arc; the crowding model's load
    // of each arc at which its time is (1 + alpha) times its own (+inf: it does not crowd).
    ArcCapacity capacity;
    float alpha;  // the crowding model's
    float beta;
    double tol;
    std::size_t max_iters;  // at least 1
};

// The gap after each iteration (see equilibrium_gap.hpp), why the loop stopped, and the total
// cost of the final strategies.
struct EquilibriumResult {
    float total_cost = 0.0f;
    std::vector<double> gaps;
    StopReason stop_reason = StopReason::iteration_limit;
};

// The planner's results of the final iteration's assignment, its arc flows the equilibrium's
// (the flows whose gap was last reported); `arc_values` receives the frequencies (capacity
// model) or the costs (crowding model) that those flows produce, with which that assignment
// ran. The trips left unassigned are those that cannot arrive under the nominal network.
// `on_iteration`, if given, is called after every iteration with its number (from 1) and gap.
EquilibriumResult plan_equilibrium(const ArcList& arcs, const PlanInputs& inputs,
                                   const PlanOutputs& outputs, const EquilibriumSettings& settings,
                                   const FunctionRef<void(std::size_t, double)>* on_iteration,
                                   std::span<float> arc_values);

}  // namespace vemo
