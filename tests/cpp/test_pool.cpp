#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

#include "parallel/pool.hpp"

namespace vemo::parallel {
namespace {

TEST(Pool, SizeFollowsTheEnvironment) {
    const char* requested = std::getenv("RAYON_NUM_THREADS");
    if (requested == nullptr) GTEST_SKIP() << "run by ctest with RAYON_NUM_THREADS set";
    EXPECT_EQ(pool_size(), std::strtoull(requested, nullptr, 10));
}

TEST(Pool, ChunksCoverTheRangeOnce) {
    for (const std::size_t grain : {1, 3, 64, 1000}) {
        std::vector<std::atomic<int>> visits(1001);
        for_each_chunk(visits.size(), grain, [&](std::size_t begin, std::size_t end) {
            ASSERT_LE(end - begin, grain);
            for (std::size_t i = begin; i < end; ++i) ++visits[i];
        });
        for (const auto& count : visits) ASSERT_EQ(count.load(), 1);
    }
    for_each_chunk(0, 4, [](std::size_t, std::size_t) { FAIL() << "no chunk for an empty range"; });
}

TEST(Pool, StateIsMadeOncePerParticipatingThread) {
    std::atomic<int> states{0};
    std::vector<int> seen(500, 0);
    for_each_with_state(
        seen.size(), [&] { return ++states; }, [&](int&, std::size_t i) { seen[i] += 1; });
    EXPECT_GE(states.load(), 1);
    EXPECT_LE(static_cast<std::size_t>(states.load()), pool_size());
    for (const int count : seen) ASSERT_EQ(count, 1);
}

TEST(Pool, ReductionIsTheSameForAnyPoolSize) {
    // Float addition is not associative: the association must depend on count and grain only.
    std::vector<float> values(100000);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = 1.0f / static_cast<float>(i + 1);
    auto sum = [&] {
        return reduce(
            values.size(), 1024, 0.0f, [&](std::size_t i) { return values[i]; },
            [](float a, float b) { return a + b; });
    };
    float expected = 0.0f;
    for (std::size_t begin = 0; begin < values.size(); begin += 1024) {
        float chunk = 0.0f;
        for (std::size_t i = begin; i < std::min(values.size(), begin + 1024); ++i)
            chunk += values[i];
        expected += chunk;
    }
    EXPECT_EQ(sum(), expected);
    EXPECT_EQ(
        reduce(0, 8, 5, [](std::size_t) { return 1; }, [](int a, int b) { return a + b; }), 5);
}

TEST(Pool, FailureOfTheLowestIndexIsRethrownAfterEveryTaskEnded) {
    std::atomic<int> running{0};
    for (int repeat = 0; repeat < 20; ++repeat) {
        try {
            for_each_with_state(
                64, [] { return 0; },
                [&](int&, std::size_t i) {
                    ++running;
                    std::this_thread::yield();
                    --running;
                    if (i % 7 == 3) throw std::runtime_error("failed at " + std::to_string(i));
                });
            FAIL() << "expected a failure";
        } catch (const std::runtime_error& failure) {
            EXPECT_STREQ(failure.what(), "failed at 3");
        }
        EXPECT_EQ(running.load(), 0);
    }
}

TEST(Pool, DoneTakesEveryItemInOrderOnceItIsFinished) {
    std::vector<std::atomic<bool>> finished(300);
    std::vector<std::size_t> taken;
    for_each_with_state(
        finished.size(), [] { return 0; }, [&](int&, std::size_t i) { finished[i] = true; },
        [&](std::size_t i) {
            EXPECT_TRUE(finished[i].load()) << i;
            taken.push_back(i);
        });
    std::vector<std::size_t> expected(finished.size());
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(taken, expected);
}

TEST(Pool, DoneOverlapsLaterItemsOnlyWithMoreThanOneThread) {
    // With more than one thread, item 1 waits (at most ten seconds) for done(0), which only a
    // caller working alongside the pool gives it. With one, done(0) comes after every item.
    const int waits = pool_size() > 1 ? 10000 : 0;
    std::atomic<bool> first_taken{false};
    bool item_one_saw_it = false;
    for_each_with_state(
        2, [] { return 0; },
        [&](int&, std::size_t i) {
            if (i != 1) return;
            for (int wait = 0; wait < waits && !first_taken; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            item_one_saw_it = first_taken;
        },
        [&](std::size_t i) { first_taken = first_taken || i == 0; });
    EXPECT_EQ(item_one_saw_it, pool_size() > 1);
}

TEST(Pool, NoDoneAtOrAfterAFailedItem) {
    std::vector<std::size_t> taken;
    EXPECT_THROW(for_each_with_state(
                     40, [] { return 0; },
                     [](int&, std::size_t i) {
                         if (i == 17) throw std::runtime_error("failed");
                     },
                     [&](std::size_t i) { taken.push_back(i); }),
                 std::runtime_error);
    for (const std::size_t i : taken) EXPECT_LT(i, 17u);
}

TEST(Pool, AFailureOfDoneComesBackAfterTheLoopHasEnded) {
    std::atomic<int> running{0};
    try {
        for_each_with_state(
            64, [] { return 0; },
            [&](int&, std::size_t) {
                ++running;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                --running;
            },
            [](std::size_t i) {
                if (i == 2) throw std::runtime_error("done failed");
            });
        FAIL() << "expected a failure";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "done failed");
    }
    EXPECT_EQ(running.load(), 0);
}

TEST(Pool, NestedLoopsFromWorkersDoNotDeadlock) {
    std::vector<long> totals(16, 0);
    for_each_with_state(
        totals.size(), [] { return 0; },
        [&](int&, std::size_t i) {
            totals[i] = reduce(
                1000, 10, 0L, [&](std::size_t j) { return static_cast<long>(i * j); },
                [](long a, long b) { return a + b; });
        });
    for (std::size_t i = 0; i < totals.size(); ++i)
        EXPECT_EQ(totals[i], static_cast<long>(i * 999 * 1000 / 2));
}

TEST(Pool, NestedLoopsFromALoopRunByItsCallerDoNotDeadlock) {
    // One chunk: the caller runs it itself, and then the nested loop as a pool thread would.
    long total = 0;
    for_each_chunk(1, 1, [&](std::size_t, std::size_t) {
        total = reduce(
            1000, 10, 0L, [](std::size_t j) { return static_cast<long>(j); },
            [](long a, long b) { return a + b; });
    });
    EXPECT_EQ(total, 999L * 1000L / 2);
}

TEST(Pool, ALoopThatCanUseOneThreadRunsOnItsIdleCaller) {
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id ran_on;
    for_each_chunk(1, 1, [&](std::size_t, std::size_t) { ran_on = std::this_thread::get_id(); });
    EXPECT_EQ(ran_on, caller);
    // With a pool of one thread, so does a loop of many chunks.
    std::atomic<int> elsewhere{0};
    for_each_chunk(
        8, 1, [&](std::size_t, std::size_t) { elsewhere += std::this_thread::get_id() != caller; });
    EXPECT_EQ(elsewhere.load() == 0, pool_size() == 1);
}

TEST(Pool, ThePoolSizeBoundsTheThreadsComputingAtOnce) {
    // Callers running their loops in place of pool threads must not add to them.
    std::atomic<std::size_t> running{0}, most{0};
    auto body = [&](std::size_t, std::size_t) {
        const std::size_t now = ++running;
        for (std::size_t seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        --running;
    };
    std::vector<std::thread> callers;
    for (int t = 0; t < 6; ++t) {
        callers.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) for_each_chunk(t % 2 == 0 ? 1 : 5, 1, body);
        });
    }
    for (auto& caller : callers) caller.join();
    EXPECT_GE(most.load(), 1u);
    EXPECT_LE(most.load(), pool_size());
}

TEST(Pool, SeveralOutsideThreadsSubmitAtOnce) {
    std::vector<std::thread> callers;
    std::vector<long> results(6, 0);
    for (std::size_t t = 0; t < results.size(); ++t) {
        callers.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                results[t] += reduce(
                    257, 16, 0L, [&](std::size_t i) { return static_cast<long>(i + t); },
                    [](long a, long b) { return a + b; });
            }
        });
    }
    for (auto& caller : callers) caller.join();
    for (std::size_t t = 0; t < results.size(); ++t)
        EXPECT_EQ(results[t], 50L * (256L * 257L / 2 + 257L * static_cast<long>(t)));
}

}  // namespace
}  // namespace vemo::parallel
