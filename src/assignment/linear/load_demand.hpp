// The loading of one destination's demand onto its strategy.
#pragma once

#include <cmath>
#include <cstddef>
#include <span>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/search_graph.hpp"
#include "assignment/linear/strategy_walk.hpp"

namespace vemo {

// Sends the state's node volumes (the destination's demand block on entry) along the strategy
// list, last selected arc first, handing each attractive arc's index and flow to
// `take(arc, flow)` in that order. Each arc takes its frequency share of its tail's whole
// volume; an arc of infinite frequency takes all of it.
template <class Index, class TakeFlow>
void load_strategy_flows(const SearchGraph<Index>& graph, DestinationState<Index>& state,
                         TakeFlow&& take) {
    std::vector<float>& volumes = state.node_volumes;
    const std::vector<float>& node_frequencies = state.node_frequencies;
    auto fetch_nodes = [&](const SearchArc<Index>& next) __attribute__((always_inline)) {
        __builtin_prefetch(&node_frequencies[next.tail]);
        __builtin_prefetch(&volumes[next.tail]);
        __builtin_prefetch(&volumes[next.head]);
    };
    auto load_arc = [&](const SearchArc<Index>& arc) {
        const auto [a, tail, head, frequency] = arc;
        float flow;
        if (std::isinf(frequency)) {
            flow = volumes[tail];
        } else if (node_frequencies[tail] == 0.0f) {
            // Only zero-frequency arcs are attractive here (a line switched off): nothing
            // leaves, instead of 0/0 sending NaN into every flow downstream.
            flow = 0.0f;
        } else {
            flow = (frequency / node_frequencies[tail]) * volumes[tail];
        }
        take(static_cast<std::size_t>(a), flow);
        volumes[head] = flow + volumes[head];
    };
    walk_strategy<StrategyOrder::reversed>(graph, state.strategy, fetch_nodes, load_arc);
}

// The loading, writing each attractive arc's flow into `arc_flows` (all 0 on entry).
template <class Index>
void load_demand(const SearchGraph<Index>& graph, DestinationState<Index>& state,
                 std::span<float> arc_flows) {
    load_strategy_flows(graph, state,
                        [arc_flows](std::size_t a, float flow) { arc_flows[a] = flow; });
}

}  // namespace vemo
