#include "assignment/plan/plan_assign.hpp"

#include <algorithm>
#include <limits>

#include "assignment/plan/plan_run.hpp"
#include "assignment/utils/sum_flows.hpp"
#include "base/failure.hpp"

namespace vemo {

using plan_detail::LoopPass;
using plan_detail::PlanRun;

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
    const std::size_t destinations = inputs.dsts.size();
    const std::size_t arc_count = network.arc_count();
    // Trips that cannot arrive under the nominal frequencies are counted by the loop's first
    // pass; they cannot arrive under lowered ones either, and load nothing. The planner's
    // results come from the last pass: every pass after the first writes them, and so does the
    // first when the tolerance lets no iteration run.
    const bool first_is_last = !(std::numeric_limits<float>::infinity() > parameters.tol);
    float total_cost = 0.0f;
    auto assign = [&](Network& current, std::size_t pass) {
        Assignment kept{
            filled_vector(checked_size_product(destinations, current.node_count()), 0.0f),
            filled_vector(checked_size_product(destinations, arc_count), 0.0f)};
        const LoopPass loop_pass{kept.node_costs, kept.arc_flows, nullptr, pass == 0,
                                 pass > 0 || first_is_last};
        const float cost = PlanRun(current, inputs, outputs, &loop_pass).run(nullptr);
        if (loop_pass.writes_results) total_cost = cost;
        return kept;
    };
    CongestedAssignment loop =
        congested_loop(network, inputs.dsts, parameters, options, LoopAssignment(assign));
    std::copy(loop.effective_freqs.begin(), loop.effective_freqs.end(),
              effective_frequencies.begin());
    if (outputs.flow_result == FlowResult::per_destination) {
        std::copy(loop.arc_flows.begin(), loop.arc_flows.end(), outputs.arc_flows.begin());
    } else if (outputs.flow_result == FlowResult::total) {
        const std::vector<float> totals = strided_sums(loop.arc_flows, arc_count, arc_count);
        std::copy(totals.begin(), totals.end(), outputs.arc_flows.begin());
    }
    return {.total_cost = total_cost,
            .iterations = loop.iterations,
            .gaps = std::move(loop.gaps),
            .converged = loop.converged};
}

}  // namespace vemo
