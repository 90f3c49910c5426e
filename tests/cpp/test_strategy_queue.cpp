#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "assignment/linear/strategy_queue.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

// The heap invariant and the position table, checked after every operation.
// Both index widths the search uses must behave alike.
template <class Queue>
class StrategyQueueTest : public ::testing::Test {};
using QueueTypes = ::testing::Types<StrategyQueue<std::uint32_t>, StrategyQueue<std::size_t>>;
TYPED_TEST_SUITE(StrategyQueueTest, QueueTypes);

template <class Queue>
void expect_sound(const Queue& queue, std::size_t arc_count) {
    const auto& heap = queue.entries();
    for (std::size_t p = 1; p < heap.size(); ++p)
        ASSERT_GE(heap[(p - 1) / 2].priority, heap[p].priority) << "at position " << p;
    std::size_t queued = 0;
    for (std::size_t arc = 0; arc < arc_count; ++arc) queued += queue.contains(arc);
    ASSERT_EQ(queued, heap.size());
    for (const auto& entry : heap) ASSERT_TRUE(queue.contains(entry.arc));
}

// A push as the search makes one: queued with the lowest priority, then re-keyed.
template <class Queue>
void push(Queue& queue, std::size_t arc, std::int32_t priority) {
    queue.push_lowest(arc);
    queue.change_priority(arc, priority);
}

template <class Queue>
std::vector<std::size_t> pop_all(Queue& queue, std::size_t arc_count) {
    std::vector<std::size_t> order;
    while (!queue.empty()) {
        order.push_back(queue.pop().arc);
        expect_sound(queue, arc_count);
    }
    return order;
}

TYPED_TEST(StrategyQueueTest, EqualPrioritiesPopInTheHeapsTieOrder) {
    TypeParam five(5);
    for (std::size_t arc = 0; arc < 5; ++arc) push(five, arc, 7);
    EXPECT_EQ(pop_all(five, 5), (std::vector<std::size_t>{0, 4, 3, 2, 1}));

    TypeParam three(3);
    for (std::size_t arc = 0; arc < 3; ++arc) push(three, arc, -3);
    EXPECT_EQ(pop_all(three, 3), (std::vector<std::size_t>{0, 2, 1}));
}

TYPED_TEST(StrategyQueueTest, SiftDownPrefersLeftChildOnTiesAndKeepsParentOnTies) {
    // Root 0 (priority 5) with children 1 and 2 of priority 5: popping moves the last arc (2)
    // to the root; it ties with the left child, so it stays and leaves next.
    TypeParam queue(4);
    push(queue, 0, 9);
    push(queue, 1, 5);
    push(queue, 2, 5);
    push(queue, 3, 5);
    EXPECT_EQ(pop_all(queue, 4), (std::vector<std::size_t>{0, 3, 2, 1}));
}

TYPED_TEST(StrategyQueueTest, ChangePriorityMovesBothWays) {
    TypeParam queue(6);
    for (std::size_t arc = 0; arc < 6; ++arc) push(queue, arc, static_cast<std::int32_t>(arc));
    queue.change_priority(0, 100);
    expect_sound(queue, 6);
    queue.change_priority(5, -100);
    expect_sound(queue, 6);
    EXPECT_EQ(pop_all(queue, 6), (std::vector<std::size_t>{0, 4, 3, 2, 1, 5}));
}

TYPED_TEST(StrategyQueueTest, ClearForgetsQueuedArcs) {
    TypeParam queue(3);
    push(queue, 2, 1);
    push(queue, 0, 4);
    queue.clear();
    EXPECT_TRUE(queue.empty());
    EXPECT_FALSE(queue.contains(0));
    EXPECT_FALSE(queue.contains(2));
    push(queue, 2, 0);
    EXPECT_EQ(queue.pop().arc, 2u);
}

// The heap discipline written plainly, with swaps: a priority change sifts up, then down. The
// queue must place every entry where this model does, since the placement decides tie order.
class ModelHeap {
public:
    struct Entry {
        std::int32_t priority;
        std::size_t arc;
    };
    void push_lowest(std::size_t arc) {
        heap_.push_back({std::numeric_limits<std::int32_t>::min(), arc});
    }
    void pop() {
        heap_.front() = heap_.back();
        heap_.pop_back();
        down(0);
    }
    void change_priority(std::size_t arc, std::int32_t priority) {
        std::size_t at = 0;
        while (heap_[at].arc != arc) ++at;
        heap_[at].priority = priority;
        down(up(at));
    }
    const std::vector<Entry>& entries() const { return heap_; }

private:
    std::size_t up(std::size_t at) {
        for (; at > 0 && heap_[(at - 1) / 2].priority < heap_[at].priority; at = (at - 1) / 2)
            std::swap(heap_[at], heap_[(at - 1) / 2]);
        return at;
    }
    void down(std::size_t at) {
        for (;;) {
            std::size_t child = 2 * at + 1;
            if (child >= heap_.size()) return;
            if (child + 1 < heap_.size() && heap_[child + 1].priority > heap_[child].priority)
                ++child;
            if (!(heap_[child].priority > heap_[at].priority)) return;
            std::swap(heap_[at], heap_[child]);
            at = child;
        }
    }
    std::vector<Entry> heap_;
};

// Random operations with many equal priorities (ties only show with many equal keys), and the
// extremes the search uses (unreached, and a cost of -infinity): the heap stays sound and every
// entry sits where the model puts it.
TYPED_TEST(StrategyQueueTest, RandomOperationsKeepTheInvariant) {
    std::mt19937 random(20261208);
    constexpr std::size_t arc_count = 200;
    TypeParam queue(arc_count);
    ModelHeap model;
    std::uniform_int_distribution<int> pick(-5, 5);
    auto priority = [&pick](std::mt19937& random) -> std::int32_t {
        const int key = pick(random);
        if (key == -5) return std::numeric_limits<std::int32_t>::min();
        if (key == 5) return std::numeric_limits<std::int32_t>::max();
        return key;
    };
    std::size_t next_arc = 0;
    for (int step = 0; step < 3000; ++step) {
        const int action = static_cast<int>(random() % 3);
        if (action == 0 && next_arc < arc_count) {
            const std::int32_t key = priority(random);
            model.push_lowest(next_arc);
            model.change_priority(next_arc, key);
            push(queue, next_arc++, key);
        } else if (action == 1 && !queue.empty()) {
            const std::int32_t top = queue.entries().front().priority;
            const auto announced = queue.top();
            const auto popped = queue.pop();
            model.pop();
            ASSERT_EQ(popped.priority, top);
            ASSERT_EQ(popped.arc, announced);
            ASSERT_FALSE(queue.contains(popped.arc));
        } else if (!queue.empty()) {
            const auto arc = queue.entries()[random() % queue.entries().size()].arc;
            const std::int32_t key = priority(random);
            model.change_priority(arc, key);
            queue.change_priority(arc, key);
        }
        expect_sound(queue, arc_count);
        const auto& entries = queue.entries();
        ASSERT_EQ(entries.size(), model.entries().size());
        for (std::size_t p = 0; p < entries.size(); ++p) {
            ASSERT_EQ(entries[p].arc, model.entries()[p].arc) << "at step " << step;
            ASSERT_EQ(entries[p].priority, model.entries()[p].priority) << "at step " << step;
        }
    }
}

// The sift down prefetches whole cache lines of descendants, which only line up on storage that
// starts on a line; such storage, refused, is an internal failure like any other.
TEST(CacheLineAllocator, AlignsBlocksAndReportsRefusals) {
    for (std::size_t count : {1, 3, 1000, 100000}) {
        std::vector<std::uint32_t, CacheLineAllocator<std::uint32_t>> values(count);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(values.data()) % kCacheLineBytes, 0u);
    }
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's operator new aborts instead of throwing std::bad_alloc";
#endif
    std::vector<std::uint32_t, CacheLineAllocator<std::uint32_t>> huge;
    EXPECT_EQ(testing::failure_message([&] { reserve_exactly(huge, std::size_t{1} << 40); }),
              "memory allocation of 4398046511104 bytes failed");
}

}  // namespace
}  // namespace vemo
