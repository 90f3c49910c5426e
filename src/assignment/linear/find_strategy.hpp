// The optimal strategy search for one destination.
#pragma once

#include <cstddef>
#include <span>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/search_graph.hpp"
#include "assignment/utils/arc_list.hpp"

namespace vemo {

// Fills `node_costs` (node_count entries, all +infinity on entry) with every node's expected
// cost to `destination`, and the state's node frequencies and strategy list. Expects the
// state's node frequencies at 0, its entry flags clear and its strategy list empty.
template <class Index>
void find_strategy(const ArcList& arcs, const SearchGraph<Index>& graph, std::size_t destination,
                   std::span<float> node_costs, DestinationState<Index>& state);

}  // namespace vemo
