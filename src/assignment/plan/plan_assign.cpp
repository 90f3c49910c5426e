#include "assignment/plan/plan_assign.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <utility>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/find_strategy.hpp"
#include "assignment/linear/load_demand.hpp"
#include "assignment/plan/ordered_flow_sum.hpp"
#include "assignment/plan/strategy_skims.hpp"
#include "assignment/utils/sum_flows.hpp"
#include "base/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// What one worker reuses from destination to destination.
template <class Index>
struct PlanState {
    PlanState(const Network& network, const PlanInputs& inputs)
        : search(network.node_count(), network.arc_count()),
          node_costs(filled_vector(network.node_count(), 0.0f)),
          skims(network.node_count(), inputs.skim_values.size(), !inputs.boarding.empty()) {}

    DestinationState<Index> search;
    std::vector<float> node_costs;
    StrategySkims skims;
};

class PlanRun {
public:
    PlanRun(Network& network, const PlanInputs& inputs, const PlanOutputs& outputs)
        : network_(network),
          inputs_(inputs),
          outputs_(outputs),
          destination_costs_(filled_vector(inputs.dsts.size(), 0.0f)) {
        for (const std::size_t node : outputs.origins) checked_index(node, network.node_count());
        if (outputs.flow_result == FlowResult::total) {
            std::fill(outputs.arc_flows.begin(), outputs.arc_flows.end(), 0.0f);
            totals_.emplace(outputs.arc_flows);
        }
    }

    float run(std::atomic<std::size_t>* finished) {
        network_.prepare();
        network_.with_search_graph([&](const auto& graph) {
            using Index = std::decay_t<decltype(graph.at(0).arc)>;
            parallel::for_each_with_state(
                inputs_.dsts.size(),
                [&] { return PlanState<Index>(network_, inputs_); },
                [&](PlanState<Index>& state, std::size_t k) {
                    assign_destination(graph, state, k);
                    if (finished != nullptr) finished->fetch_add(1, std::memory_order_relaxed);
                });
        });
        float total = 0.0f;
        for (const float cost : destination_costs_) total += cost;
        return total;
    }

private:
    // Destination k's entry for origin o in a node-level result is at first(k) + o * step().
    std::size_t first(std::size_t k) const noexcept {
        return outputs_.origin_major ? k : k * outputs_.origins.size();
    }
    std::size_t step() const noexcept { return outputs_.origin_major ? inputs_.dsts.size() : 1; }

    template <class Index>
    void assign_destination(const SearchGraph<Index>& graph, PlanState<Index>& state,
                            std::size_t k) {
        DestinationState<Index>& search = state.search;
        std::fill(state.node_costs.begin(), state.node_costs.end(),
                  std::numeric_limits<float>::infinity());
        inputs_.demand.fill(k, search.node_volumes);
        search.reset();

        const std::size_t destination = inputs_.dsts[k];
        find_strategy(network_.arcs(), graph, destination, state.node_costs, search);
        leave_unreachable_trips(state, k);
        load_flows(graph, state, k);
        state.skims.compute(graph, search, destination, inputs_.skim_values, inputs_.boarding);
        write_node_results(state, k);
    }

    // Counts the trips of nodes that cannot reach the destination and takes them out of the
    // loading; sums node cost × trips over the others.
    template <class Index>
    void leave_unreachable_trips(PlanState<Index>& state, std::size_t k) {
        std::vector<float>& volumes = state.search.node_volumes;
        double unassigned = 0.0;
        float cost = 0.0f;
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            if (volumes[i] == 0.0f) continue;
            if (std::isfinite(state.node_costs[i])) {
                cost += state.node_costs[i] * volumes[i];
            } else {
                unassigned += volumes[i];
                volumes[i] = 0.0f;
            }
        }
        outputs_.unassigned[k] = unassigned;
        destination_costs_[k] = cost;
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

    // One pass per result (origins were checked against the node count when the run began):
    // each is a gather from the destination's node values.
    template <class Index>
    void write_node_results(const PlanState<Index>& state, std::size_t k) {
        const std::span<const std::size_t> origins = outputs_.origins;
        const std::size_t from = first(k);
        const std::size_t stride = step();
        const float* const costs = state.node_costs.data();
        const StrategySkims& skims = state.skims;
        // An unreached origin's waiting time, skims and no-boarding chance are NaN.
        auto write = [&](std::span<float> result, auto value_at) {
            float* const out = result.data() + from;
            for (std::size_t o = 0; o < origins.size(); ++o) {
                const std::size_t node = origins[o];
                out[o * stride] =
                    std::isfinite(costs[node]) ? static_cast<float>(value_at(node)) : kNaN;
            }
        };
        float* const out_costs = outputs_.node_costs.data() + from;
        for (std::size_t o = 0; o < origins.size(); ++o) out_costs[o * stride] = costs[origins[o]];
        if (!outputs_.waiting_time.empty())
            write(outputs_.waiting_time, [&](std::size_t node) { return skims.waiting(node); });
        if (!outputs_.no_boarding.empty())
            write(outputs_.no_boarding, [&](std::size_t node) { return skims.no_boarding(node); });
        const std::size_t block = inputs_.dsts.size() * origins.size();
        for (std::size_t s = 0; s < inputs_.skim_values.size(); ++s) {
            write(outputs_.skims.subspan(s * block, block),
                  [&](std::size_t node) { return skims.skim(node, s); });
        }
    }

    Network& network_;
    const PlanInputs& inputs_;
    const PlanOutputs& outputs_;
    std::vector<float> destination_costs_;
    std::optional<OrderedFlowSum> totals_;
};

// Every node as an origin, destination-major: the node costs of plan_assign in full.
std::vector<float> all_node_costs(Network& network, const PlanInputs& inputs,
                                  std::span<double> unassigned) {
    const std::size_t node_count = network.node_count();
    std::vector<std::size_t> every_node = filled_vector<std::size_t>(node_count, 0);
    std::iota(every_node.begin(), every_node.end(), std::size_t{0});
    std::vector<float> node_costs =
        filled_vector(checked_size_product(inputs.dsts.size(), node_count), 0.0f);
    const PlanInputs costs_only{inputs.dsts, inputs.demand, {}, {}};
    plan_assign(network, costs_only,
                {.origins = every_node, .node_costs = node_costs, .unassigned = unassigned});
    return node_costs;
}

}  // namespace

float plan_assign(Network& network, const PlanInputs& inputs, const PlanOutputs& outputs,
                  std::atomic<std::size_t>* finished) {
    PlanRun run(network, inputs, outputs);
    return run.run(finished);
}

CongestedPlan plan_assign_congested(const ArcList& arcs, const PlanInputs& inputs,
                                    const PlanOutputs& outputs,
                                    const CongestionParameters& parameters,
                                    const CongestionOptions& options,
                                    std::span<float> effective_frequencies) {
    Network network(arcs);
    const std::size_t node_count = network.node_count();
    const std::size_t arc_count = network.arc_count();
    const std::size_t destinations = inputs.dsts.size();

    // The loop takes dense demand blocks, without the trips that cannot arrive.
    std::vector<float> demands =
        filled_vector(checked_size_product(destinations, node_count), 0.0f);
    for (std::size_t k = 0; k < destinations; ++k)
        inputs.demand.fill(k, std::span<float>(demands).subspan(k * node_count, node_count));
    {
        const std::vector<float> costs = all_node_costs(network, inputs, outputs.unassigned);
        for (std::size_t e = 0; e < demands.size(); ++e)
            if (!std::isfinite(costs[e])) demands[e] = 0.0f;
    }

    CongestedAssignment loop =
        _linear_congested_assign(arcs, demands, inputs.dsts, parameters, options);
    std::copy(loop.effective_freqs.begin(), loop.effective_freqs.end(),
              effective_frequencies.begin());
    if (outputs.flow_result == FlowResult::per_destination) {
        std::copy(loop.arc_flows.begin(), loop.arc_flows.end(), outputs.arc_flows.begin());
    } else if (outputs.flow_result == FlowResult::total) {
        const std::vector<float> totals = strided_sums(loop.arc_flows, arc_count, arc_count);
        std::copy(totals.begin(), totals.end(), outputs.arc_flows.begin());
    }
    loop.arc_flows = {};
    loop.node_costs = {};

    // The last iteration's search again, now for the skims: the same frequencies give the same
    // strategies and node costs. Its trips were all reachable, so the count of those that were
    // not stays the one made under the nominal frequencies.
    network.use_frequencies(loop.effective_freqs);
    const PlanDemand reachable = PlanDemand::dense(demands);
    std::vector<double> none_unassigned = filled_vector(destinations, 0.0);
    PlanOutputs final_outputs = outputs;
    final_outputs.flow_result = FlowResult::none;
    final_outputs.unassigned = none_unassigned;
    const float total_cost = plan_assign(
        network,
        {inputs.dsts, reachable, inputs.skim_values, inputs.boarding},
        final_outputs);

    return {.total_cost = total_cost,
            .iterations = loop.iterations,
            .gaps = std::move(loop.gaps),
            .converged = loop.converged};
}

}  // namespace vemo
