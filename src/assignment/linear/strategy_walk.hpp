// Walking a destination's strategy list with what each step reads fetched ahead.
#pragma once

#include <cstddef>
#include <vector>

#include "assignment/linear/search_graph.hpp"

namespace vemo {

enum class StrategyOrder { selected, reversed };

// Calls visit(record) with the search-graph record of every arc of `strategy`, in the order the
// arcs were selected or reversed. The records lie scattered over the graph, and the nodes they
// name over the caller's arrays, so each read would wait on memory: every record is fetched
// 2 × kFetchAhead arcs ahead, then, once it has arrived, fetch_named(record) fetches what it
// names kFetchAhead arcs ahead. fetch_named must be declared always_inline: GCC drops a call to
// a function that only prefetches.
template <StrategyOrder kOrder, class Index, class FetchNamed, class Visit>
void walk_strategy(const SearchGraph<Index>& graph, const std::vector<Index>& strategy,
                   FetchNamed&& fetch_named, Visit&& visit) {
    constexpr std::size_t kFetchAhead = 8;
    const std::size_t count = strategy.size();
    auto record = [&](std::size_t step) -> const SearchArc<Index>& {
        return graph.at(strategy[kOrder == StrategyOrder::selected ? step : count - 1 - step]);
    };
    for (std::size_t step = 0; step < count; ++step) {
        if (step + 2 * kFetchAhead < count) __builtin_prefetch(&record(step + 2 * kFetchAhead));
        if (step + kFetchAhead < count) fetch_named(record(step + kFetchAhead));
        visit(record(step));
    }
}

}  // namespace vemo
