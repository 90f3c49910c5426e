// The optimal strategy search for one destination.
#pragma once

#include <cstddef>
#include <span>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/search_graph.hpp"
#include "assignment/utils/arc_list.hpp"

namespace vemo {

// What the search does with the arcs left at the lowest priority, from nodes that cannot reach
// the destination: `select` them as every arc is selected whose candidate is not above its
// tail's cost (+infinity here), so that a loading sends the demand of such nodes along them; or
// `skip` them, for a caller that loads no demand from nodes left at +infinity and reads nothing
// of them. Skipping changes nothing else, and is done only where the graph says the arcs left
// are inert (SearchGraph::unreached_arcs_inert).
enum class UnreachedArcs { select, skip };

// Fills `node_costs` (node_count entries, all +infinity on entry) with every node's expected
// cost to `destination`, and the state's node frequencies and strategy list. Expects the
// state's node frequencies at 0, its entry flags clear and its strategy list empty.
template <class Index>
void find_strategy(const ArcList& arcs, const SearchGraph<Index>& graph, std::size_t destination,
                   std::span<float> node_costs, DestinationState<Index>& state,
                   UnreachedArcs unreached = UnreachedArcs::select);

}  // namespace vemo
