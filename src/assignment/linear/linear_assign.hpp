// The uncongested (linear) assignment: for every destination, the optimal strategy search and
// the loading of that destination's demand, one task per destination on the worker pool.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "assignment/linear/network.hpp"
#include "assignment/utils/arc_list.hpp"
#include "base/function_ref.hpp"

namespace vemo {

// Per-destination results, destination-major: block k of `node_costs` holds node_count
// entries for dsts[k], block k of `arc_flows` holds arc_count entries.
struct Assignment {
    std::vector<float> node_costs;
    std::vector<float> arc_flows;
};

// Takes block k of a result, on the thread that started the assignment, once it is final.
using DestinationDone = FunctionRef<void(const Assignment& result, std::size_t k)>;

// The assignment of every destination in `dsts` on `network`, with demand block k of `demands`
// (node_count entries) loaded towards dsts[k]. done(result, k), if given, is called for
// k = 0, 1, ... in turn, each as soon as destination k is assigned, while later destinations
// are still being computed (after them all with a pool of one thread).
Assignment assign_on_network(Network& network, std::span<const float> demands,
                             std::span<const std::size_t> dsts,
                             const DestinationDone* done = nullptr);

// `assign_on_network` on vectors it owns, which are released before it returns.
Assignment linear_assign(ArcVectors arcs, std::vector<float> demands, std::vector<std::size_t> dsts,
                         DestinationDone done);

}  // namespace vemo
