#include "assignment/linear/linear_assign.hpp"

#include <algorithm>
#include <limits>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/find_strategy.hpp"
#include "assignment/linear/load_demand.hpp"
#include "assignment/linear/search_graph.hpp"
#include "base/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {
namespace {

// Search and loading for destination index k, written into block k of `result`.
template <class Index>
void assign_destination(const Network& network, const SearchGraph<Index>& graph,
                        std::span<const float> demands, std::span<const std::size_t> dsts,
                        std::size_t k, DestinationState<Index>& state, Assignment& result) {
    const std::size_t n = network.node_count();
    const std::size_t arc_count = network.arc_count();
    const std::size_t block_end = checked_size_product(k + 1, n);
    if (block_end > demands.size()) fail_range_end(block_end, demands.size());

    std::span<float> node_costs(result.node_costs.data() + k * n, n);
    std::span<float> arc_flows(result.arc_flows.data() + k * arc_count, arc_count);
    std::fill(node_costs.begin(), node_costs.end(), std::numeric_limits<float>::infinity());
    std::copy_n(demands.begin() + k * n, n, state.node_volumes.begin());
    state.reset();

    find_strategy(network.arcs(), graph, dsts[k], node_costs, state);
    load_demand(graph, state, arc_flows);
}

// Every destination on the worker pool, with arc and node indices held as Index.
template <class Index>
void assign_all(const Network& network, const SearchGraph<Index>& graph,
                std::span<const float> demands, std::span<const std::size_t> dsts,
                Assignment& result, const DestinationDone* done) {
    auto make_state = [&] {
        return DestinationState<Index>(network.node_count(), network.arc_count());
    };
    auto assign = [&](DestinationState<Index>& state, std::size_t k) {
        assign_destination(network, graph, demands, dsts, k, state, result);
    };
    if (done == nullptr) {
        parallel::for_each_with_state(dsts.size(), make_state, assign);
    } else {
        parallel::for_each_with_state(dsts.size(), make_state, assign,
                                      [&](std::size_t k) { (*done)(result, k); });
    }
}

}  // namespace

Assignment assign_on_network(Network& network, std::span<const float> demands,
                             std::span<const std::size_t> dsts, const DestinationDone* done) {
    Assignment result;
    result.node_costs =
        filled_vector(checked_size_product(dsts.size(), network.node_count()), 0.0f);
    result.arc_flows = filled_vector(checked_size_product(dsts.size(), network.arc_count()), 0.0f);
    if (dsts.empty()) return result;
    network.prepare();
    network.with_search_graph(
        [&](const auto& graph) { assign_all(network, graph, demands, dsts, result, done); });
    return result;
}

Assignment linear_assign(ArcVectors arcs, std::vector<float> demands, std::vector<std::size_t> dsts,
                         DestinationDone done) {
    Network network(arcs.view());
    return assign_on_network(network, demands, dsts, &done);
}

}  // namespace vemo
