// The relative gap of the congested loop: how far the averaged flows are from being consistent
// with the node costs of the latest assignment.
#pragma once

#include <cstddef>
#include <span>

#include "assignment/linear/network.hpp"

namespace vemo {

// For every destination index k and every node i of `network` other than dsts[k], the arcs a
// leaving i contribute, unless their averaged flow v is zero or a node cost at either end is
// infinite:
//   cost excess ((u_head + c) − u_tail) × v and weighted cost v × u_tail, summed over the arcs,
//   waiting v / e, of which the node takes the maximum (NaN passed over).
// Returns Σ (excess + waiting) / Σ weighted cost over all nodes and destinations, with
// destination k's flows and node costs in block k of `averaged_flows` and `node_costs`.
// Every index is bounds-checked; a failed check fails the call with an index out of bounds.
float relative_gap(const Network& network, std::span<const float> averaged_flows,
                   std::span<const float> node_costs, std::span<const float> effective_freqs,
                   std::span<const std::size_t> dsts);

}  // namespace vemo
