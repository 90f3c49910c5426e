#include "assignment/linear/mat_linear_assign.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "assignment/utils/graph2mat.hpp"
#include "assignment/utils/mat2graph.hpp"
#include "assignment/utils/sum_flows.hpp"
#include "base/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {
namespace {

constexpr std::size_t kCostGrain = 16384;

// Pairs with an infinite or NaN node cost (unreachable destinations) are left out, whatever
// their demand; the others add node cost × demand, each chunk in increasing k from +0.0.
float demand_weighted_cost(std::span<const float> node_costs, std::span<const float> demands) {
    const std::size_t count = std::min(node_costs.size(), demands.size());
    return parallel::reduce(
        count, kCostGrain, 0.0f,
        [&](std::size_t k) {
            // Adding +0.0 for a dropped pair leaves a sum that started at +0.0 unchanged.
            return std::isfinite(node_costs[k]) ? node_costs[k] * demands[k] : 0.0f;
        },
        [](float a, float b) { return a + b; });
}

}  // namespace

std::vector<std::size_t> destination_stops(std::size_t stop_count) {
    if (stop_count <= 1) return {};
    std::vector<std::size_t> dsts = filled_vector<std::size_t>(stop_count - 1, 0);
    std::iota(dsts.begin(), dsts.end(), std::size_t{1});
    return dsts;
}

MatAssignment line_results(Assignment assignment, std::span<const float> demands,
                           std::size_t stop_count) {
    MatAssignment result;
    // Before graph2mat, which takes the node costs.
    result.total_cost = demand_weighted_cost(assignment.node_costs, demands);
    result.stop_costs = graph2mat(std::move(assignment.node_costs), stop_count);
    result.arc_flow_totals = sum_flows(std::move(assignment.arc_flows), stop_count - 1);
    return result;
}

MatAssignment mat_linear_assign(std::vector<std::vector<std::size_t>> alignments,
                                std::vector<float> freqs,
                                std::vector<std::vector<float>> travel_time_mat,
                                std::vector<std::vector<float>> demands_mat) {
    const std::size_t stop_count = travel_time_mat.size();
    const LineNetwork net = mat2graph(std::move(alignments), std::move(freqs),
                                      std::move(travel_time_mat), std::move(demands_mat));
    const std::vector<std::size_t> dsts = destination_stops(stop_count);
    Network network(net.arcs.view());
    return line_results(assign_on_network(network, net.demands, dsts), net.demands, stop_count);
}

}  // namespace vemo
