// The loading of one destination's demand onto its strategy.
#pragma once

#include <cmath>
#include <cstddef>
#include <span>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/search_graph.hpp"

namespace vemo {

// Sends the state's node volumes (the destination's demand block on entry) along the strategy
// list, last selected arc first, handing each attractive arc's index and flow to
// `take(arc, flow)` in that order. Each arc takes its frequency share of its tail's whole
// volume; an arc of infinite frequency takes all of it.
template <class Index, class TakeFlow>
void load_strategy_flows(const SearchGraph<Index>& graph, DestinationState<Index>& state,
                         TakeFlow&& take) {
    // The records of the strategy's arcs lie scattered over the graph, and the nodes they name
    // over the node arrays: each is fetched this many arcs ahead, the record first, then, once
    // it has arrived, its nodes.
    constexpr std::size_t kFetchAhead = 8;
    std::vector<float>& volumes = state.node_volumes;
    const std::vector<float>& node_frequencies = state.node_frequencies;
    const std::vector<Index>& strategy = state.strategy;
    for (std::size_t i = strategy.size(); i-- > 0;) {
        if (i >= 2 * kFetchAhead) __builtin_prefetch(&graph.at(strategy[i - 2 * kFetchAhead]));
        if (i >= kFetchAhead) {
            const SearchArc<Index>& next = graph.at(strategy[i - kFetchAhead]);
            __builtin_prefetch(&node_frequencies[next.tail]);
            __builtin_prefetch(&volumes[next.tail]);
            __builtin_prefetch(&volumes[next.head]);
        }
        const auto [a, tail, head, frequency] = graph.at(strategy[i]);
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
    }
}

// The loading, writing each attractive arc's flow into `arc_flows` (all 0 on entry).
template <class Index>
void load_demand(const SearchGraph<Index>& graph, DestinationState<Index>& state,
                 std::span<float> arc_flows) {
    load_strategy_flows(graph, state,
                        [arc_flows](std::size_t a, float flow) { arc_flows[a] = flow; });
}

}  // namespace vemo
