// One assignment of the planner's: every destination's search, loading, skims and node-level
// results, written into the caller's arrays, on the worker pool. The uncongested assignment is one
// run; a congested loop makes one run per pass and keeps what it needs of each.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/find_strategy.hpp"
#include "assignment/linear/load_demand.hpp"
#include "assignment/plan/cost_range.hpp"
#include "assignment/plan/destination_flows.hpp"
#include "assignment/plan/node_results.hpp"
#include "assignment/plan/ordered_flow_sum.hpp"
#include "assignment/plan/plan_assign.hpp"
#include "assignment/plan/strategy_skims.hpp"
#include "base/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {
namespace plan_detail {

// What one worker reuses from destination to destination.
template <class Index>
struct PlanState {
    PlanState(const Network& network, const PlanInputs& inputs, const PlanOutputs& outputs,
              bool writes_results)
        : search(network.node_count(), network.arc_count()),
          node_costs(filled_vector(network.node_count(), 0.0f)),
          skims(network.node_count(), inputs.skim_values.size(), !inputs.boarding.empty(),
                inputs.trip_end_skims),
          results(inputs, outputs, writes_results) {}

    DestinationState<Index> search;
    std::vector<float> node_costs;
    StrategySkims skims;
    NodeResultWriter results;
    ArcFlowList loading;  // a congested pass's loading of the destination's strategy
};

// What a pass of a congested loop asks of a run besides the planner's results: every node's cost
// (if node_costs is not empty) and every destination's loading of its strategy, kept for the loop
// in a dense block or sparse rows, and which of the planner's results it writes. The loop's arc
// flows are its own, written when it ends, so a pass writes no flows of the planner's.
struct LoopPass {
    std::span<float> node_costs;       // destinations × node_count, or empty
    std::span<float> arc_flows;        // destinations × arc_count, or empty for...
    DestinationFlows* strategy_flows;  // ...these rows, or null
    bool counts_unassigned;            // the pass under the nominal frequencies and costs
    bool writes_results;               // a pass whose strategies may be the loop's last
};

class PlanRun {
public:
    PlanRun(Network& network, const PlanInputs& inputs, const PlanOutputs& outputs,
            const LoopPass* loop = nullptr)
        : network_(network),
          inputs_(inputs),
          outputs_(outputs),
          loop_(loop),
          skim_values_(inputs.skim_values, network.arc_count()),
          destination_costs_(filled_vector(inputs.dsts.size(), 0.0f)),
          precise_costs_(filled_vector(inputs.dsts.size(), 0.0)) {
        for (const std::size_t node : outputs.origins) checked_index(node, network.node_count());
        if (loop == nullptr && outputs.flow_result == FlowResult::total) {
            std::fill(outputs.arc_flows.begin(), outputs.arc_flows.end(), 0.0f);
            totals_.emplace(outputs.arc_flows);
        }
    }

    // The total cost: the destinations' costs (node cost × trips) added in order, in float32.
    float run(std::atomic<std::size_t>* finished) {
        network_.prepare();
        // A worker takes a block of consecutive destinations at a time (see node_results.hpp).
        const std::size_t destinations = inputs_.dsts.size();
        const bool writes = writes_results();
        const std::size_t block = NodeResultWriter::block(outputs_, writes);
        network_.with_search_graph([&](const auto& graph) {
            using Index = std::decay_t<decltype(graph.at(0).arc)>;
            const CostRangeCheck<Index> check_range(graph, network_.node_count());
            parallel::for_each_with_state(
                (destinations + block - 1) / block,
                [&] { return PlanState<Index>(network_, inputs_, outputs_, writes); },
                [&](PlanState<Index>& state, std::size_t b) {
                    const std::size_t begin = b * block;
                    const std::size_t end = std::min(destinations, begin + block);
                    for (std::size_t k = begin; k < end; ++k) {
                        assign_destination(graph, check_range, state, k);
                        if (finished != nullptr) finished->fetch_add(1, std::memory_order_relaxed);
                    }
                    if (writes) state.results.flush(begin, end);
                });
        });
        if (!outputs_.destination_costs.empty() && writes)
            std::copy(destination_costs_.begin(), destination_costs_.end(),
                      outputs_.destination_costs.begin());
        float total = 0.0f;
        for (const float cost : destination_costs_) total += cost;
        return total;
    }

    // The destinations' costs of the last run, each summed in double.
    std::span<const double> precise_costs() const noexcept { return precise_costs_; }

private:
    bool writes_results() const noexcept { return loop_ == nullptr || loop_->writes_results; }

    template <class Index>
    void assign_destination(const SearchGraph<Index>& graph,
                            const CostRangeCheck<Index>& check_range, PlanState<Index>& state,
                            std::size_t k) {
        DestinationState<Index>& search = state.search;
        const std::size_t node_count = network_.node_count();
        const std::span<float> costs = loop_ == nullptr || loop_->node_costs.empty()
                                           ? std::span<float>(state.node_costs)
                                           : loop_->node_costs.subspan(k * node_count, node_count);
        std::fill(costs.begin(), costs.end(), std::numeric_limits<float>::infinity());
        inputs_.demand.fill(k, search.node_volumes);
        search.reset();

        const std::size_t destination = inputs_.dsts[k];
        // The trips of nodes left at +infinity are taken out of the loading below.
        find_strategy(network_.arcs(), graph, destination, costs, search, UnreachedArcs::skip);
        check_range(costs, destination);
        leave_unreachable_trips(costs, search.node_volumes, k);
        if (loop_ == nullptr) {
            load_flows(graph, state, k);
        } else if (loop_->strategy_flows != nullptr) {
            state.loading.clear();
            load_strategy_flows(graph, search, [&](std::size_t a, float flow) {
                if (flow != 0.0f) state.loading.push_back({static_cast<std::uint32_t>(a), flow});
            });
            loop_->strategy_flows->set_row(k, state.loading);
        } else {
            const std::size_t arc_count = network_.arc_count();
            const std::span<float> row = loop_->arc_flows.subspan(k * arc_count, arc_count);
            std::fill(row.begin(), row.end(), 0.0f);
            load_demand(graph, search, row);
        }
        if (!writes_results()) return;
        state.skims.compute(graph, search, destination, skim_values_, inputs_.boarding);
        state.results.write(costs, state.skims, k);
    }

    // Counts the trips of nodes that cannot reach the destination and takes them out of the
    // loading; sums node cost × trips over the others, in float32 and in double.
    void leave_unreachable_trips(std::span<const float> costs, std::vector<float>& volumes,
                                 std::size_t k) {
        double unassigned = 0.0;
        float cost = 0.0f;
        double precise = 0.0;
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            if (volumes[i] == 0.0f) continue;
            if (std::isfinite(costs[i])) {
                cost += costs[i] * volumes[i];
                precise += static_cast<double>(costs[i]) * volumes[i];
            } else {
                unassigned += volumes[i];
                volumes[i] = 0.0f;
            }
        }
        if (loop_ == nullptr || loop_->counts_unassigned) outputs_.unassigned[k] = unassigned;
        destination_costs_[k] = cost;
        precise_costs_[k] = precise;
    }

    template <class Index>
    void load_flows(const SearchGraph<Index>& graph, PlanState<Index>& state, std::size_t k) {
        const std::size_t arc_count = network_.arc_count();
        switch (outputs_.flow_result) {
            case FlowResult::none:
                return;
            case FlowResult::per_destination: {
                const std::span<float> row = outputs_.arc_flows.subspan(k * arc_count, arc_count);
                std::fill(row.begin(), row.end(), 0.0f);
                load_demand(graph, state.search, row);
                return;
            }
            case FlowResult::total: {
                if (totals_->in_turn(k)) {
                    const std::span<float> totals = totals_->totals();
                    load_strategy_flows(graph, state.search,
                                        [&](std::size_t a, float flow) { totals[a] += flow; });
                    totals_->pass_turn();
                    return;
                }
                SparseFlows held;
                reserve_exactly(held.arcs, state.search.strategy.size());
                reserve_exactly(held.flows, state.search.strategy.size());
                load_strategy_flows(graph, state.search, [&](std::size_t a, float flow) {
                    held.arcs.push_back(a);
                    held.flows.push_back(flow);
                });
                totals_->add(k, std::move(held));
                return;
            }
        }
    }

    Network& network_;
    const PlanInputs& inputs_;
    const PlanOutputs& outputs_;
    const LoopPass* loop_;
    ArcSkimTable skim_values_;
    std::vector<float> destination_costs_;
    std::vector<double> precise_costs_;
    std::optional<OrderedFlowSum> totals_;
};

}  // namespace plan_detail
}  // namespace vemo
