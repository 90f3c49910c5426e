// The relative gap of the congested loop: how far the averaged flows are from being consistent
// with the node costs of the latest assignment.
#pragma once

#include <cstddef>
#include <span>

#include "assignment/congested_linear/outgoing_arcs.hpp"
#include "assignment/linear/network.hpp"

namespace vemo {

// For every destination index k and every node i other than dsts[k], the arcs a leaving i
// contribute, unless their averaged flow v is zero or a node cost at either end is infinite:
//   cost excess ((u_head + c) − u_tail) × v and weighted cost v × u_tail, summed over the arcs,
//   waiting v / e, of which the node takes the maximum (NaN passed over).
// Returns Σ (excess + waiting) / Σ weighted cost over all nodes and destinations.
// Every index is bounds-checked; a failed check fails the call with an index out of bounds.
float _calc_gap(std::size_t node_count, const OutgoingArcs& outgoing,
                std::span<const float> averaged_flows, std::size_t arc_count,
                std::span<const float> node_costs, std::span<const std::size_t> to,
                std::span<const float> costs, std::span<const float> effective_freqs,
                std::span<const std::size_t> dsts);

// The same on a prepared network, whose arcs' tails are known without an outgoing-arc index.
float relative_gap(const Network& network, std::span<const float> averaged_flows,
                   std::span<const float> node_costs, std::span<const float> effective_freqs,
                   std::span<const std::size_t> dsts);

}  // namespace vemo
