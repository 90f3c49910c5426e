// An indexed binary max-heap of arc indices keyed by int32 priorities.
//
// The heap discipline is part of the results: equal priorities leave in the order it decides,
// and that order decides the strategy. Push sifts up while the parent is strictly smaller;
// pop moves the last entry to the root and sifts it down; sifting down keeps the parent on
// ties and prefers the left child to the right one; a priority change sifts up, then down.
// Sifts move a hole instead of swapping, which places each entry once and keeps the position
// table in step through the single `place`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "assignment/utils/failure.hpp"

namespace vemo {

class StrategyQueue {
public:
    struct Entry {
        std::int32_t priority;
        std::size_t arc;
    };

    // Sizes the position table for arcs 0 .. arc_count - 1, none of them queued.
    explicit StrategyQueue(std::size_t arc_count) : position_(filled_vector(arc_count, kAbsent)) {
        reserve_exactly(heap_, arc_count);
    }

    bool empty() const noexcept { return heap_.empty(); }
    std::size_t size() const noexcept { return heap_.size(); }
    bool contains(std::size_t arc) const noexcept { return position_[arc] != kAbsent; }
    const std::vector<Entry>& entries() const noexcept { return heap_; }

    // Empties the queue; cheap when it is already empty, as after a finished search.
    void clear() noexcept {
        for (const Entry& entry : heap_) position_[entry.arc] = kAbsent;
        heap_.clear();
    }

    // Undefined if `arc` is already queued.
    void push(std::size_t arc, std::int32_t priority) {
        heap_.push_back({priority, arc});
        sift_up(heap_.size() - 1, heap_.back());
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
    void change_priority(std::size_t arc, std::int32_t priority) noexcept {
        const Entry entry{priority, arc};
        sift_down(sift_up(position_[arc], entry), entry);
    }

private:
    static constexpr std::size_t kAbsent = std::numeric_limits<std::size_t>::max();

    void place(std::size_t at, const Entry& entry) noexcept {
        heap_[at] = entry;
        position_[entry.arc] = at;
    }

    // Moves the hole at `hole` up past every strictly smaller parent, places `entry` there and
    // returns where it went.
    std::size_t sift_up(std::size_t hole, const Entry entry) noexcept {
        while (hole > 0) {
            const std::size_t parent = (hole - 1) / 2;
            if (!(heap_[parent].priority < entry.priority)) break;
            place(hole, heap_[parent]);
            hole = parent;
        }
        place(hole, entry);
        return hole;
    }

    void sift_down(std::size_t hole, const Entry entry) noexcept {
        const std::size_t count = heap_.size();
        for (;;) {
            const std::size_t left = 2 * hole + 1;
            const std::size_t right = left + 1;
            std::size_t best = hole;
            std::int32_t best_priority = entry.priority;
            if (left < count && heap_[left].priority > best_priority) {
                best = left;
                best_priority = heap_[left].priority;
            }
            if (right < count && heap_[right].priority > best_priority) best = right;
            if (best == hole) break;
            place(hole, heap_[best]);
            hole = best;
        }
        place(hole, entry);
    }

    std::vector<Entry> heap_;
    std::vector<std::size_t> position_;
};

}  // namespace vemo
