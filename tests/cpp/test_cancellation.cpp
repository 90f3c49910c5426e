#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/cancellation.hpp"
#include "core_adapters.hpp"
#include "parallel/pool.hpp"

namespace vemo::parallel {
namespace {

// A poll that answers true from its `answer_from`-th question on, counting the questions and
// checking that only the calling thread asks them.
struct CountingPoll {
    int answer_from;
    std::thread::id caller = std::this_thread::get_id();
    int asked = 0;
    bool asked_elsewhere = false;

    bool operator()() {
        asked_elsewhere = asked_elsewhere || std::this_thread::get_id() != caller;
        return ++asked >= answer_from;
    }
};

// Items that each take `item_time`, calling cancellation points meanwhile.
struct SlowItems {
    std::chrono::microseconds item_time;
    std::atomic<int> started{0}, running{0};

    void operator()(int&, std::size_t) {
        ++started;
        ++running;
        const auto end = std::chrono::steady_clock::now() + item_time;
        try {
            while (std::chrono::steady_clock::now() < end) cancellation_point();
        } catch (...) {
            --running;
            throw;
        }
        --running;
    }
};

TEST(Cancellation, APollAnsweringTrueStopsTheLoopOnceNoItemRuns) {
    CountingPoll poll{.answer_from = 3};
    SlowItems items{std::chrono::milliseconds(5)};
    const CancellableCall call(poll);
    EXPECT_THROW(for_each_with_state(2000, [] { return 0; }, std::ref(items)), Cancelled);
    EXPECT_TRUE(call.interrupted());
    EXPECT_EQ(items.running.load(), 0);
    EXPECT_LT(items.started.load(), 2000);
    EXPECT_EQ(poll.asked, 3);
    EXPECT_FALSE(poll.asked_elsewhere);
}

TEST(Cancellation, NothingIsCancelledOrPolledOutsideACancellableCall) {
    EXPECT_EQ(current_cancellation(), nullptr);
    SlowItems items{std::chrono::microseconds(100)};
    for_each_with_state(20, [] { return 0; }, std::ref(items));
    EXPECT_EQ(items.started.load(), 20);
}

TEST(Cancellation, TheLoopsOfAnUninterruptedCallRunToTheirEnd) {
    CountingPoll poll{.answer_from = std::numeric_limits<int>::max()};
    SlowItems items{std::chrono::milliseconds(2)};
    {
        const CancellableCall call(poll);
        for_each_with_state(40, [] { return 0; }, std::ref(items));
        EXPECT_FALSE(call.interrupted());
    }
    EXPECT_EQ(items.started.load(), 40);
    EXPECT_GE(poll.asked, 1);
    EXPECT_FALSE(poll.asked_elsewhere);
    // The pool answers the next loop as usual.
    EXPECT_EQ(reduce(
                  100, 7, 0L, [](std::size_t i) { return static_cast<long>(i); },
                  [](long a, long b) { return a + b; }),
              4950L);
}

TEST(Cancellation, AFailedDoneStopsTheLoopAndIsWhatComesBack) {
    CountingPoll poll{.answer_from = std::numeric_limits<int>::max()};
    SlowItems items{std::chrono::milliseconds(5)};
    const CancellableCall call(poll);
    try {
        for_each_with_state(
            100, [] { return 0; }, std::ref(items),
            [](std::size_t) { throw std::runtime_error("done failed"); });
        FAIL() << "expected a failure";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "done failed");
    }
    EXPECT_FALSE(call.interrupted());
    EXPECT_EQ(items.running.load(), 0);
    // With one thread, done comes after every item; with more, the rest are cancelled.
    if (pool_size() > 1) {
        EXPECT_LT(items.started.load(), 100);
    }
}

TEST(Cancellation, ALongSearchStopsPartWay) {
    // One destination on an 800 x 800 grid: its single search, of a few hundred milliseconds, is
    // the only place where the second question of the poll, one interval after the first, can
    // be asked and the loop stopped.
    const std::size_t side = 800;
    std::vector<std::size_t> from, to;
    auto link = [&](std::size_t a, std::size_t b) {
        from.insert(from.end(), {a, b});
        to.insert(to.end(), {b, a});
    };
    for (std::size_t r = 0; r < side; ++r) {
        for (std::size_t c = 0; c < side; ++c) {
            if (c + 1 < side) link(r * side + c, r * side + c + 1);
            if (r + 1 < side) link(r * side + c, (r + 1) * side + c);
        }
    }
    const std::vector<float> freqs(from.size(), 0.2f), costs(from.size(), 1.0f);
    const std::vector<float> demands(side * side, 1.0f);
    const std::vector<std::size_t> dsts{0};

    CountingPoll poll{.answer_from = 2};
    const CancellableCall call(poll);
    EXPECT_THROW(testing::assign_arcs(from, to, freqs, costs, demands, dsts), Cancelled);
    EXPECT_EQ(poll.asked, 2);
}

}  // namespace
}  // namespace vemo::parallel
