// The outgoing arcs of every node, in compressed-row form.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace vemo {

struct OutgoingArcs {
    std::vector<std::size_t> first_out;  // node_count + 1 offsets into `arcs`
    std::vector<std::size_t> arcs;       // arc indices grouped by tail node, increasing per node

    // The arcs leaving `node`, empty for a node with none or beyond the indexed nodes.
    std::span<const std::size_t> of(std::size_t node) const {
        if (node + 1 >= first_out.size()) return {};
        return std::span(arcs).subspan(first_out[node], first_out[node + 1] - first_out[node]);
    }
};

// Indexes every arc a of `from` under its tail from[a]; every from[a] must be below node_count.
OutgoingArcs outgoing_arcs(std::span<const std::size_t> from, std::size_t node_count);

}  // namespace vemo
