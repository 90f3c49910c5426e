// An indexed binary max-heap of arc indices keyed by int32 priorities.
//
// The heap discipline is part of the results: equal priorities leave in the order it decides,
// and that order decides the strategy. Push sifts up while the parent is strictly smaller;
// pop moves the last entry to the root and sifts it down; sifting down keeps the parent on
// ties and prefers the left child to the right one; a raised priority sifts up, a lowered one
// down. Sifts move a hole instead of swapping, which places each entry once and keeps the position
// table in step through the single `place`.
//
// The heap array counts positions from 1, so the children of position p are 2p and 2p + 1 and
// the descendants k levels below it are the 2^k entries from p * 2^k on. Element 0 holds the
// highest priority, above every parent, so a sift up stops at the root without a check of its
// own. On a cache-aligned array of 8-byte entries every pair of children shares a cache line,
// and the 8 descendants three levels down fill exactly one. Position 0 doubles as "not queued"
// in the position table.
//
// `Index` is the arc index type: 32 bits whenever the network allows, which halves the memory
// the heap and its position table walk through.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "assignment/linear/cache_line_allocator.hpp"
#include "assignment/linear/queue_priority.hpp"
#include "base/failure.hpp"

namespace vemo {

template <class Index>
class StrategyQueue {
public:
    struct Entry {
        std::int32_t priority;
        Index arc;
    };

    // Sizes the heap and the position table for arcs 0 .. arc_count - 1, none of them queued.
    // Positions go up to arc_count, so arc_count must fit in Index.
    explicit StrategyQueue(std::size_t arc_count) : position_(filled_vector(arc_count, kAbsent)) {
        reserve_exactly(heap_, arc_count + 1);
        heap_.resize(arc_count + 1);
        heap_[0] = {kHighestPriority, 0};
    }

    bool empty() const noexcept { return count_ == 0; }
    bool contains(Index arc) const noexcept { return position_[arc] != kAbsent; }
    // The heap, root first.
    std::span<const Entry> entries() const noexcept { return {heap_.data() + 1, count_}; }

    // Empties the queue; cheap when it is already empty, as after a finished search.
    void clear() noexcept {
        for (const Entry& entry : entries()) position_[entry.arc] = kAbsent;
        count_ = 0;
    }

    // Queues `arc` with the lowest priority, which never moves past a parent: a push without
    // the sift. Undefined if `arc` is already queued.
    void push_lowest(Index arc) { place(grow(), {kLowestPriority, arc}); }

    // The arc the next pop returns unless a priority changes first. Undefined on an empty queue.
    Index top() const noexcept { return heap_[kRoot].arc; }

    // Undefined on an empty queue.
    Entry pop() noexcept {
        const Entry top = heap_[kRoot];
        position_[top.arc] = kAbsent;
        const Entry last = heap_[count_];
        --count_;
        if (count_ != 0) sift_down(kRoot, last);
        return top;
    }

    // Undefined if `arc` is not queued.
    void change_priority(Index arc, std::int32_t priority) noexcept {
        const Index at = position_[arc];
        const std::int32_t old = heap_[at].priority;
        // Unchanged, the entry stays where it is.
        if (old == priority) return;
        const Entry entry{priority, arc};
        // A raised entry's children stay below it wherever it rises to (the parent it passes
        // was above them), and a lowered one's parent stays above it: only one sift can move.
        if (priority > old)
            sift_up(at, entry);
        else
            sift_down(at, entry);
    }

private:
    static constexpr Index kAbsent = 0;
    static constexpr Index kRoot = 1;
    // Descendants three levels down: one cache line of 8-byte entries.
    static constexpr std::size_t kPrefetchSpan = 8;

    Index grow() noexcept { return static_cast<Index>(++count_); }

    void place(Index at, Entry entry) noexcept {
        heap_[at] = entry;
        position_[entry.arc] = at;
    }

    // Moves the hole at `hole` up past every strictly smaller parent and places `entry` there.
    void sift_up(Index hole, const Entry entry) noexcept {
        for (;;) {
            const Index parent = hole / 2;
            if (!(heap_[parent].priority < entry.priority)) break;
            place(hole, heap_[parent]);
            hole = parent;
        }
        place(hole, entry);
    }

    // Moves the hole down while a child is strictly greater than `entry`; between two children
    // the right one wins only if strictly greater than the left one.
    //
    // A sift down waits, level after level, on the load that tells which child leads on. Where
    // all four grandchildren exist a step takes two levels: it reads the children and the
    // grandchildren at once and picks the grandchildren's pair once the larger child is known,
    // one wait for two levels. Meanwhile it fetches the line of the next step's children.
    // Which child is larger is unpredictable, so it is chosen by arithmetic, not by a branch:
    // a mispredicted branch per level would cost more than the comparison.
    void sift_down(Index hole, const Entry entry) noexcept {
        const std::size_t count = count_;
        const Entry* const heap = heap_.data();
        std::size_t at = hole;
        while (4 * at + 3 <= count) {
            __builtin_prefetch(heap + std::min(kPrefetchSpan * at, count));
            const std::size_t left = 2 * at;
            const std::int32_t l = heap[left].priority, r = heap[left + 1].priority;
            const std::int32_t ll = heap[2 * left].priority, lr = heap[2 * left + 1].priority;
            const std::int32_t rl = heap[2 * left + 2].priority, rr = heap[2 * left + 3].priority;
            const bool right = r > l;
            const std::size_t child = left + right;
            const std::int32_t grand_left = right ? rl : ll, grand_right = right ? rr : lr;
            const bool grand_right_wins = grand_right > grand_left;
            const std::size_t grandchild = 2 * child + grand_right_wins;
            if (!((right ? r : l) > entry.priority)) return place(static_cast<Index>(at), entry);
            place(static_cast<Index>(at), heap[child]);
            if (!((grand_right_wins ? grand_right : grand_left) > entry.priority))
                return place(static_cast<Index>(child), entry);
            place(static_cast<Index>(child), heap[grandchild]);
            at = grandchild;
        }
        // The last levels, one at a time: a right child, or grandchildren, may be missing.
        for (;;) {
            const std::size_t left = 2 * at;
            if (left > count) break;
            std::size_t child = left;
            if (left < count) child += heap[left + 1].priority > heap[left].priority;
            if (!(heap[child].priority > entry.priority)) break;
            place(static_cast<Index>(at), heap[child]);
            at = child;
        }
        place(static_cast<Index>(at), entry);
    }

    std::vector<Entry, CacheLineAllocator<Entry>> heap_;  // heap_[1 .. count_]
    std::vector<Index> position_;                         // by arc; kAbsent when not queued
    std::size_t count_ = 0;
};

}  // namespace vemo
