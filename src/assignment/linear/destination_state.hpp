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

// A byte per node that is not a character type, which the compiler would have to assume could
// alias any other value: a store to it would make the search reload every array's address.
enum class Closed : std::uint8_t { no, yes };

template <class Index>
struct DestinationState {
    DestinationState(std::size_t node_count, std::size_t arc_count)
        : node_frequencies(filled_vector(node_count, 0.0f)),
          node_volumes(filled_vector(node_count, 0.0f)),
          closed(filled_vector(node_count, Closed::no)),
          queue(arc_count) {
        reserve_exactly(strategy, arc_count);
    }

    // Clears what the last destination's search left, for the next one. The node volumes are
    // the caller's to fill with that destination's demand.
    void reset() noexcept {
        std::fill(node_frequencies.begin(), node_frequencies.end(), 0.0f);
        std::fill(closed.begin(), closed.end(), Closed::no);
        strategy.clear();
    }

    // Combined frequency of each node's attractive arcs.
    std::vector<float> node_frequencies;
    // Demand of each node plus everything loaded into it.
    std::vector<float> node_volumes;
    // Set once no later arc out of the node may become attractive: an attractive arc into it
    // has been selected (the loading sends each node's volume out in one pass), or its
    // frequency is infinite.
    std::vector<Closed> closed;
    // Attractive arcs, by search-graph slot, in the order they were selected.
    std::vector<Index> strategy;
    StrategyQueue<Index> queue;
};

}  // namespace vemo
