// The arc list in the form the per-destination search reads it, built once per call and shared
// read-only by every destination: tails and heads in the narrowest index type that holds the
// network, and for every node the arcs entering it (increasing arc index) with their costs
// beside them, so that re-keying reads one contiguous run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "assignment/linear/arc_list.hpp"
#include "assignment/utils/failure.hpp"
#include "assignment/utils/grouped_index.hpp"

namespace vemo {

template <class Index>
struct IncomingArc {
    Index arc;
    float cost;
};

template <class Index>
class SearchGraph {
public:
    explicit SearchGraph(const ArcList& arcs)
        : tail_(filled_vector<Index>(arcs.arc_count(), 0)),
          head_(filled_vector<Index>(arcs.arc_count(), 0)) {
        const std::size_t arc_count = arcs.arc_count();
        // Arcs past the end of `to` have no head: they fail when first read, unless they leave
        // the destination, and then they are never queued nor re-keyed.
        const std::size_t with_head = std::min(arc_count, arcs.to.size());
        for (std::size_t a = 0; a < arc_count; ++a) tail_[a] = static_cast<Index>(arcs.from[a]);
        for (std::size_t a = 0; a < with_head; ++a) head_[a] = static_cast<Index>(arcs.to[a]);

        // Grouped by head; placing in increasing arc index keeps each run in order.
        auto head_of = [&](std::size_t a) { return head_[a]; };
        first_in_ = group_offsets<Index>(with_head, arcs.node_count, head_of);
        incoming_ = filled_vector(with_head, IncomingArc<Index>{0, 0.0f});
        const float no_cost = std::numeric_limits<float>::quiet_NaN();  // never queued, never read
        place_in_groups(first_in_, with_head, head_of, [&](Index slot, std::size_t a) {
            const float cost = a < arcs.costs.size() ? arcs.costs[a] : no_cost;
            incoming_[slot] = {static_cast<Index>(a), cost};
        });
    }

    // Whether arcs and nodes of `arcs` can be numbered in Index, leaving its largest value free.
    static bool fits(const ArcList& arcs) noexcept {
        constexpr std::size_t limit = std::numeric_limits<Index>::max();
        return arcs.arc_count() < limit && arcs.node_count < limit;
    }

    Index tail(std::size_t arc) const noexcept { return tail_[arc]; }
    Index head(std::size_t arc) const noexcept { return head_[arc]; }

    std::span<const IncomingArc<Index>> incoming(Index node) const noexcept {
        return {incoming_.data() + first_in_[node], incoming_.data() + first_in_[node + 1]};
    }

private:
    std::vector<Index> tail_;
    std::vector<Index> head_;
    std::vector<Index> first_in_;  // node_count + 1 offsets into incoming_
    std::vector<IncomingArc<Index>> incoming_;
};

}  // namespace vemo
