// An indexed binary max-heap of arc indices keyed by int32 priorities.
//
// The heap discipline is part of the results: equal priorities leave in the order it decides,
// and that order decides the strategy. Push sifts up while the parent is strictly smaller;
// pop moves the last entry to the root and sifts it down; sifting down keeps the parent on
// ties and prefers the left child to the right one; a priority change sifts up, then down.
// Sifts move a hole instead of swapping, which places each entry once and keeps the position
// table in step through the single `place`.
//
// `Index` is the arc index type: 32 bits whenever the network allows, which halves the memory
// the heap and its position table walk through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "assignment/utils/failure.hpp"

namespace vemo {

template <class Index>
class StrategyQueue {
public:
    struct Entry {
        std::int32_t priority;
        Index arc;
    };

    // Sizes the position table for arcs 0 .. arc_count - 1, none of them queued. The largest
    // Index marks "not queued", so arc_count must be below it.
    explicit StrategyQueue(std::size_t arc_count) : position_(filled_vector(arc_count, kAbsent)) {
        reserve_exactly(heap_, arc_count);
    }

    bool empty() const noexcept { return heap_.empty(); }
    std::size_t size() const noexcept { return heap_.size(); }
    bool contains(Index arc) const noexcept { return position_[arc] != kAbsent; }
    const std::vector<Entry>& entries() const noexcept { return heap_; }

    // Empties the queue; cheap when it is already empty, as after a finished search.
    void clear() noexcept {
        for (const Entry& entry : heap_) position_[entry.arc] = kAbsent;
        heap_.clear();
    }

    // Undefined if `arc` is already queued.
    void push(Index arc, std::int32_t priority) {
        heap_.push_back({priority, arc});
        sift_up(static_cast<Index>(heap_.size() - 1), heap_.back());
    }

    // Queues `arc` with the lowest priority, which never moves past a parent: a push without
    // the sift. Undefined if `arc` is already queued.
    void push_lowest(Index arc) {
        position_[arc] = static_cast<Index>(heap_.size());
        heap_.push_back({kLowest, arc});
    }

    // Undefined on an empty queue.
    Entry pop() noexcept {
        const Entry top = heap_.front();
        position_[top.arc] = kAbsent;
        const Entry last = heap_.back();
        heap_.pop_back();
        if (!heap_.empty()) sift_down(0, last);
        return top;
    }

    // Undefined if `arc` is not queued.
    void change_priority(Index arc, std::int32_t priority) noexcept {
        const Index at = position_[arc];
        // Unchanged, both sifts would stop where they start.
        if (heap_[at].priority == priority) return;
        const Entry entry{priority, arc};
        sift_down(sift_up(at, entry), entry);
    }

private:
    static constexpr Index kAbsent = std::numeric_limits<Index>::max();
    static constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();

    void place(Index at, Entry entry) noexcept {
        heap_[at] = entry;
        position_[entry.arc] = at;
    }

    // Moves the hole at `hole` up past every strictly smaller parent, places `entry` there and
    // returns where it went.
    Index sift_up(Index hole, const Entry entry) noexcept {
        while (hole > 0) {
            const Index parent = (hole - 1) / 2;
            if (!(heap_[parent].priority < entry.priority)) break;
            place(hole, heap_[parent]);
            hole = parent;
        }
        place(hole, entry);
        return hole;
    }

    // Moves the hole down while a child is strictly greater than `entry`; between two children
    // the right one wins only if strictly greater than the left one.
    void sift_down(Index hole, const Entry entry) noexcept {
        const std::size_t count = heap_.size();
        for (;;) {
            const std::size_t left = 2 * std::size_t{hole} + 1;
            if (left >= count) break;
            // Written as an addition so that the compiler does not branch on it: which child
            // is larger is unpredictable, and a mispredicted branch per level costs more than
            // the comparison.
            std::size_t child = left;
            if (left + 1 < count) child += heap_[left + 1].priority > heap_[left].priority;
            if (!(heap_[child].priority > entry.priority)) break;
            place(hole, heap_[child]);
            hole = static_cast<Index>(child);
        }
        place(hole, entry);
    }

    std::vector<Entry> heap_;
    std::vector<Index> position_;
};

}  // namespace vemo
