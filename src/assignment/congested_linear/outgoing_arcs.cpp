#include "assignment/congested_linear/outgoing_arcs.hpp"

#include "assignment/utils/failure.hpp"

namespace vemo {

OutgoingArcs outgoing_arcs(std::span<const std::size_t> from, std::size_t node_count) {
    OutgoingArcs index{
        .first_out = filled_vector<std::size_t>(node_count + 1, 0),
        .arcs = filled_vector<std::size_t>(from.size(), 0),
    };
    // A counting sort: count arcs per tail, turn the counts into offsets, then place the arcs
    // in increasing index so that each node's list comes out sorted.
    for (const std::size_t tail : from) ++index.first_out[checked_index(tail, node_count) + 1];
    for (std::size_t node = 0; node < node_count; ++node)
        index.first_out[node + 1] += index.first_out[node];
    std::vector<std::size_t> fill = filled_vector<std::size_t>(node_count, 0);
    for (std::size_t a = 0; a < from.size(); ++a) {
        const std::size_t tail = from[a];
        index.arcs[index.first_out[tail] + fill[tail]++] = a;
    }
    return index;
}

}  // namespace vemo
