// For every node, the arcs that enter it in increasing arc index, as one CSR array.
// Built once per call and shared by all destinations: the search leaves out the arcs that
// leave its destination simply because they are never queued.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "assignment/linear/arc_list.hpp"

namespace vemo {

class IncomingArcs {
public:
    // Indexes arcs 0 .. arc_count - 1 that have an entry in `to`.
    explicit IncomingArcs(const ArcList& arcs);

    std::span<const std::size_t> of(std::size_t node) const noexcept {
        return {arcs_.data() + first_in_[node], arcs_.data() + first_in_[node + 1]};
    }

private:
    std::vector<std::size_t> first_in_;  // node_count + 1 offsets into arcs_
    std::vector<std::size_t> arcs_;
};

}  // namespace vemo
