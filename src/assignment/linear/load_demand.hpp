// The loading of one destination's demand onto its strategy.
#pragma once

#include <span>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/search_graph.hpp"

namespace vemo {

// Sends the state's node volumes (the destination's demand block on entry) along the strategy
// list, last selected arc first, writing each attractive arc's flow into `arc_flows` (all 0 on
// entry). Each arc takes its frequency share of its tail's whole volume; an arc of infinite
// frequency takes all of it.
template <class Index>
void load_demand(const SearchGraph<Index>& graph, DestinationState<Index>& state,
                 std::span<float> arc_flows);

}  // namespace vemo
