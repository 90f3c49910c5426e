#include "assignment/linear/linear_assign.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "assignment/linear/arc_list.hpp"
#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/find_strategy.hpp"
#include "assignment/linear/load_demand.hpp"
#include "assignment/linear/search_graph.hpp"
#include "assignment/utils/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {
namespace {

std::size_t largest(std::span<const std::size_t> indices, const char* absent) {
    if (indices.empty()) fail_value_absent(absent);
    return *std::max_element(indices.begin(), indices.end());
}

// Search and loading for destination index k, written into block k of `result`.
template <class Index>
void assign_destination(const ArcList& arcs, const SearchGraph<Index>& graph,
                        std::span<const float> demands, std::span<const std::size_t> dsts,
                        std::size_t k, DestinationState<Index>& state, Assignment& result) {
    const std::size_t n = arcs.node_count;
    const std::size_t block_end = checked_size_product(k + 1, n);
    if (block_end > demands.size()) fail_range_end(block_end, demands.size());

    std::span<float> node_costs(result.node_costs.data() + k * n, n);
    std::span<float> arc_flows(result.arc_flows.data() + k * arcs.arc_count(), arcs.arc_count());
    std::fill(node_costs.begin(), node_costs.end(), std::numeric_limits<float>::infinity());
    std::copy_n(demands.begin() + k * n, n, state.node_volumes.begin());
    std::fill(state.node_frequencies.begin(), state.node_frequencies.end(), 0.0f);
    std::fill(state.entered.begin(), state.entered.end(), 0);
    state.strategy.clear();

    find_strategy(arcs, graph, dsts[k], node_costs, state);
    load_demand(graph, state, arc_flows);
}

// Every destination on the worker pool, with arc and node indices held as Index; `done`, if
// given, takes each destination's blocks on the calling thread as they become final.
template <class Index>
void assign_all(const ArcList& arcs, std::span<const float> demands,
                std::span<const std::size_t> dsts, Assignment& result,
                const DestinationDone* done) {
    const SearchGraph<Index> graph(arcs);
    auto make_state = [&] { return DestinationState<Index>(arcs.node_count, arcs.arc_count()); };
    auto assign = [&](DestinationState<Index>& state, std::size_t k) {
        assign_destination(arcs, graph, demands, dsts, k, state, result);
    };
    if (done == nullptr) {
        parallel::for_each_with_state(dsts.size(), make_state, assign);
    } else {
        parallel::for_each_with_state(dsts.size(), make_state, assign,
                                      [&](std::size_t k) { (*done)(result, k); });
    }
}

Assignment assign(std::span<const std::size_t> from, std::span<const std::size_t> to,
                  std::span<const float> arc_freqs, std::span<const float> costs,
                  std::span<const float> demands, std::span<const std::size_t> dsts,
                  const DestinationDone* done) {
    const ArcList arcs{from, to, arc_freqs, costs, node_count_of(from, to)};
    Assignment result;
    result.node_costs = filled_vector(checked_size_product(dsts.size(), arcs.node_count), 0.0f);
    result.arc_flows = filled_vector(checked_size_product(dsts.size(), arcs.arc_count()), 0.0f);
    if (dsts.empty()) return result;

    if (SearchGraph<std::uint32_t>::fits(arcs))
        assign_all<std::uint32_t>(arcs, demands, dsts, result, done);
    else
        assign_all<std::size_t>(arcs, demands, dsts, result, done);
    return result;
}

}  // namespace

std::size_t node_count_of(std::span<const std::size_t> from, std::span<const std::size_t> to) {
    const std::size_t largest_from = largest(from, "the arc list `from` is empty");
    const std::size_t largest_index =
        std::max(largest_from, largest(to, "the arc list `to` is empty"));
    if (largest_index == std::numeric_limits<std::size_t>::max()) fail_capacity_overflow();
    return largest_index + 1;
}

Assignment _linear_assign(std::span<const std::size_t> from, std::span<const std::size_t> to,
                          std::span<const float> arc_freqs, std::span<const float> costs,
                          std::span<const float> demands, std::span<const std::size_t> dsts) {
    return assign(from, to, arc_freqs, costs, demands, dsts, nullptr);
}

Assignment linear_assign(std::vector<std::size_t> from, std::vector<std::size_t> to,
                         std::vector<float> arc_freqs, std::vector<float> costs,
                         std::vector<float> demands, std::vector<std::size_t> dsts,
                         DestinationDone done) {
    return assign(from, to, arc_freqs, costs, demands, dsts, &done);
}

}  // namespace vemo
