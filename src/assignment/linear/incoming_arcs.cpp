#include "assignment/linear/incoming_arcs.hpp"

#include <algorithm>

#include "assignment/utils/failure.hpp"

namespace vemo {

IncomingArcs::IncomingArcs(const ArcList& arcs) {
    const std::size_t indexed = std::min(arcs.arc_count(), arcs.to.size());
    first_in_ = filled_vector<std::size_t>(arcs.node_count + 1, 0);
    arcs_ = filled_vector<std::size_t>(indexed, 0);
    // Counting sort by head node; filling in increasing arc index keeps each list in order.
    for (std::size_t a = 0; a < indexed; ++a) ++first_in_[arcs.to[a] + 1];
    for (std::size_t node = 0; node < arcs.node_count; ++node)
        first_in_[node + 1] += first_in_[node];
    std::vector<std::size_t> next(first_in_.begin(), first_in_.end() - 1);
    for (std::size_t a = 0; a < indexed; ++a) arcs_[next[arcs.to[a]]++] = a;
}

}  // namespace vemo
