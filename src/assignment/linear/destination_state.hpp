// The working record of one destination's search and loading. One is made per worker thread
// taking part in a call and reused for every destination that worker computes, so a call
// allocates scratch per worker, not per destination. The destination's node costs and arc
// flows are written straight into its blocks of the call's results.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "assignment/linear/strategy_queue.hpp"
#include "base/failure.hpp"

namespace vemo {

template <class Index>
struct DestinationState {
    DestinationState(std::size_t node_count, std::size_t arc_count)
        : node_frequencies(filled_vector(node_count, 0.0f)),
          node_volumes(filled_vector(node_count, 0.0f)),
          entered(filled_vector<std::uint8_t>(node_count, 0)),
          queue(arc_count) {
        reserve_exactly(strategy, arc_count);
    }

    // Clears what the last destination's search left, for the next one. The node volumes are
    // the caller's to fill with that destination's demand.
    void reset() noexcept {
        std::fill(node_frequencies.begin(), node_frequencies.end(), 0.0f);
        std::fill(entered.begin(), entered.end(), 0);
        strategy.clear();
    }

    // Combined frequency of each node's attractive arcs.
    std::vector<float> node_frequencies;
    // Demand of each node plus everything loaded into it.
    std::vector<float> node_volumes;
    // Set once an attractive arc into the node has been selected: from then on no arc out of
    // it may become attractive, since the loading sends each node's volume out in one pass.
    std::vector<std::uint8_t> entered;
    // Attractive arcs, by search-graph slot, in the order they were selected.
    std::vector<Index> strategy;
    StrategyQueue<Index> queue;
};

}  // namespace vemo
