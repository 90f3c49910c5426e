// The arc list in the form the per-destination search reads it, built once per call and shared
// read-only by every destination.
//
// The search refers to an arc by its slot: its place in the incoming-arc index, where the arcs
// entering a node form one run, in increasing arc index. The strategy queue's position table is
// indexed by slot, so re-keying the arcs into a node reads one contiguous run of it, and the
// costs beside it. What a popped arc needs (its index, tail, head and frequency) sits in one
// 16-byte record per slot: one cache line per pop instead of four scattered reads.
//
// Which label the queue holds changes nothing in the search: arcs are still queued in
// increasing arc index and re-keyed in increasing arc index, and the heap compares priorities
// only.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "assignment/utils/arc_list.hpp"
#include "assignment/utils/grouped_index.hpp"
#include "base/failure.hpp"

namespace vemo {

template <class Index>
struct SearchArc {
    Index arc;
    Index tail;
    Index head;
    float frequency;  // NaN when `arc_freqs` stops short of the arc: read only after a check
};

template <class Index>
class SearchGraph {
public:
    SearchGraph(const ArcList& arcs, std::size_t node_count)
        : slot_of_(filled_vector<Index>(arcs.arc_count(), kNoSlot)) {
        // Arcs past the end of `to` have no head and no slot: they fail when first read, unless
        // they leave the destination, and then they are never queued.
        const std::size_t with_head = std::min(arcs.arc_count(), arcs.to.size());

        // Grouped by head; placing in increasing arc index keeps each run in order.
        auto head_of = [&](std::size_t a) { return arcs.to[a]; };
        first_in_ = group_offsets<Index>(with_head, node_count, head_of);
        arcs_ = filled_vector(with_head, SearchArc<Index>{0, 0, 0, 0.0f});
        costs_ = filled_vector(with_head, 0.0f);
        place_in_groups(first_in_, with_head, head_of, [&](Index slot, std::size_t a) {
            arcs_[slot] = {static_cast<Index>(a), static_cast<Index>(arcs.from[a]),
                           static_cast<Index>(arcs.to[a]), frequency_of(arcs.arc_freqs, a)};
            slot_of_[a] = slot;
            // Past the end of `costs` the arc fails before it is queued, so this is never read.
            costs_[slot] = a < arcs.costs.size() ? arcs.costs[a] : kUnread;
        });
        for (std::size_t a = 0; a < std::min(with_head, arcs.costs.size()); ++a) {
            // Queued with priority 0, not the lowest, even while its head is unreached.
            if (std::isnan(arcs.costs[a] + kUnreached))
                unusual_cost_arcs_.push_back(static_cast<Index>(a));
        }
        every_cost_read_ = arcs.costs.size() >= arcs.arc_count();
        note_frequencies();
    }

    // Whether the arcs and nodes can be numbered in Index, leaving its largest value free.
    static bool fits(std::size_t arc_count, std::size_t node_count) noexcept {
        constexpr std::size_t limit = std::numeric_limits<Index>::max();
        return arc_count < limit && node_count < limit;
    }

    // Takes every arc's frequency from `arc_freqs` instead: the same arcs in the same slots.
    void use_frequencies(std::span<const float> arc_freqs) noexcept {
        for (SearchArc<Index>& arc : arcs_) arc.frequency = frequency_of(arc_freqs, arc.arc);
        note_frequencies();
    }

    // Whether the arcs left once the search reaches the lowest priority (those from nodes that
    // cannot reach the destination, or past the cost range) can only keep their tails at
    // +infinity: every arc has a head, a cost that is neither NaN nor -infinity and a positive
    // frequency. A selected arc's candidate is then +infinity, and so is its tail's new cost,
    // which re-keys the arcs into the tail at the lowest priority again.
    bool unreached_arcs_inert() const noexcept { return unreached_arcs_inert_; }

    Index slot(std::size_t arc) const noexcept { return slot_of_[arc]; }
    // Slots run from 0 to slot_count() - 1: every arc that has a head.
    std::size_t slot_count() const noexcept { return arcs_.size(); }
    const SearchArc<Index>& at(Index slot) const noexcept { return arcs_[slot]; }
    float cost(Index slot) const noexcept { return costs_[slot]; }

    // The slots of the arcs entering `node`, in increasing arc index.
    Index first_in(Index node) const noexcept { return first_in_[node]; }
    Index end_in(Index node) const noexcept { return first_in_[node + 1]; }

    // Arcs, in increasing index, whose cost is NaN or -infinity: added to an unreached head's
    // +infinity they give NaN, whose queue priority is 0, not the lowest.
    std::span<const Index> unusual_cost_arcs() const noexcept { return unusual_cost_arcs_; }

private:
    static constexpr Index kNoSlot = std::numeric_limits<Index>::max();
    static constexpr float kUnreached = std::numeric_limits<float>::infinity();
    static constexpr float kUnread = std::numeric_limits<float>::quiet_NaN();

    void note_frequencies() noexcept {
        unreached_arcs_inert_ =
            every_cost_read_ && arcs_.size() == slot_of_.size() && unusual_cost_arcs_.empty() &&
            std::all_of(arcs_.begin(), arcs_.end(),
                        [](const SearchArc<Index>& arc) { return arc.frequency > 0.0f; });
    }

    static float frequency_of(std::span<const float> arc_freqs, std::size_t a) noexcept {
        return a < arc_freqs.size() ? arc_freqs[a] : kUnread;
    }

    std::vector<Index> slot_of_;          // by arc
    std::vector<Index> first_in_;         // node_count + 1 offsets into the slots
    std::vector<SearchArc<Index>> arcs_;  // by slot
    std::vector<float> costs_;            // by slot
    std::vector<Index> unusual_cost_arcs_;
    bool every_cost_read_ = false;
    bool unreached_arcs_inert_ = false;
};

}  // namespace vemo
