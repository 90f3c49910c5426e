// The planner's assignment: the uncongested and congested assignments of the arc network, with
// results written straight into the caller's arrays, kept for chosen origin nodes only, skims
// along the optimal strategies, and trips whose origin cannot reach their destination left
// unloaded and counted.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "assignment/congested_linear/linear_congested_assign.hpp"
#include "assignment/linear/network.hpp"
#include "assignment/plan/plan_demand.hpp"

namespace vemo {

struct PlanInputs {
    std::span<const std::size_t> dsts;
    const PlanDemand& demand;
    std::span<const std::span<const float>> skim_values;  // per skim, one value per arc
    std::span<const std::uint8_t> boarding;               // one flag per arc, or empty
    // With boarding flags: the skims to split at the trip's ends (see StrategySkims), whose
    // parts are written to PlanOutputs::trip_ends; none: no trip ends.
    std::optional<std::span<const std::size_t>> trip_end_skims = std::nullopt;
};

enum class FlowResult { none, total, per_destination };

// Node-level results hold one entry per (destination, origin): at k × origins + o, or at
// o × destinations + k when origin-major; skim k is the k-th block of that shape. Empty spans
// for waiting_time and no_boarding leave them out. trip_ends holds, with trip_end_skims, the
// first wait, then each split skim's part before the first boarding, then each one's part
// after the last boarding.
struct PlanOutputs {
    std::span<const std::size_t> origins = {};
    bool origin_major = false;
    std::span<float> node_costs = {};
    std::span<float> waiting_time = {};
    std::span<float> skims = {};
    std::span<float> no_boarding = {};
    std::span<float> trip_ends = {};
    FlowResult flow_result = FlowResult::none;
    std::span<float> arc_flows = {};          // arc_count totals, or destinations × arc_count
    std::span<double> unassigned = {};        // per destination
    std::span<float> destination_costs = {};  // per destination, or empty
};

// Returns the total cost: per destination, node cost × trips summed over its nodes in
// increasing order wherever the cost is finite (destination_costs), then the destinations' sums
// in order.
// `finished`, if given, counts destinations as they are done.
float plan_assign(Network& network, const PlanInputs& inputs, const PlanOutputs& outputs,
                  std::atomic<std::size_t>* finished = nullptr);

struct CongestedPlan {
    float total_cost = 0.0f;
    std::size_t iterations = 0;
    std::vector<float> gaps;
    bool converged = false;
};

// The congested loop, with the results of plan_assign along its last assignment's strategies,
// written as that assignment runs; arc flows are the loop's averaged flows, and the trips left
// unassigned those that cannot arrive under the nominal frequencies. `options` carry a capacity
// per arc and a report per iteration.
CongestedPlan plan_assign_congested(const ArcList& arcs, const PlanInputs& inputs,
                                    const PlanOutputs& outputs,
                                    const CongestionParameters& parameters,
                                    const CongestionOptions& options,
                                    std::span<float> effective_frequencies);

}  // namespace vemo
