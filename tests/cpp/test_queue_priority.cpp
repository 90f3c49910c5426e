#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "assignment/linear/queue_priority.hpp"

namespace vemo {
namespace {

constexpr float inf = std::numeric_limits<float>::infinity();

TEST(QueuePriority, ScalesTruncatesAndSaturates) {
    EXPECT_EQ(queue_priority(12.0f), -720000);
    EXPECT_EQ(queue_priority(10.0f), -600000);
    EXPECT_EQ(queue_priority(15.0f), -900000);
    EXPECT_EQ(queue_priority(0.00001f), 0);
    EXPECT_EQ(queue_priority(0.00002f), -1);
    EXPECT_EQ(queue_priority(inf), kLowestPriority);
    EXPECT_EQ(queue_priority(-inf), kHighestPriority);
    EXPECT_EQ(queue_priority(-40000.0f), kHighestPriority);
    EXPECT_EQ(queue_priority(std::nanf("")), 0);
    // From 35791.39453125 on, the product reaches -2^31 and the cost counts as +infinity.
    EXPECT_EQ(queue_priority(35791.39453125f), kLowestPriority);
    EXPECT_GT(queue_priority(35791.39f), kLowestPriority);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(kPrioritySaturation), 0x4EFFFFFFu);
}

TEST(QueuePriority, CandidateCostComesBackOnTheGrid) {
    EXPECT_EQ(candidate_cost(-720000), 12.0f);
    EXPECT_EQ(candidate_cost(kLowestPriority), inf);
    const float zero = candidate_cost(0);
    EXPECT_EQ(zero, 0.0f);
    EXPECT_TRUE(std::signbit(zero));
    EXPECT_EQ(candidate_cost(-1), 1.0f / 60000.0f);
}

}  // namespace
}  // namespace vemo
