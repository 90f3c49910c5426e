#include <gtest/gtest.h>

#include <vector>

#include "assignment/utils/sum_flows.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

using testing::failure_message;

TEST(SumFlows, AddsTheBlocksPerArc) {
    EXPECT_EQ(sum_flows({1, 2, 3, 10, 20, 30}, 2), (std::vector<float>{11, 22, 33}));
}

TEST(SumFlows, TrailingEntriesFallIntoTheFirstOutputs) {
    // m = 7 / 2 = 3, so entry 6 is a third term of output 0.
    EXPECT_EQ(sum_flows({1, 2, 3, 10, 20, 30, 100}, 2), (std::vector<float>{111, 22, 33}));
}

TEST(SumFlows, MoreBlocksThanEntriesGiveNoOutput) {
    EXPECT_TRUE(sum_flows({1, 2, 3}, 4).empty());
    EXPECT_TRUE(sum_flows({}, 1).empty());
}

TEST(SumFlows, ZeroBlocksIsADivisionByZero) {
    EXPECT_EQ(failure_message([] { sum_flows({1, 2}, 0); }), "attempt to divide by zero");
}

TEST(SumFlows, EachOutputIsOneSumInIncreasingBlockOrder) {
    // (1e8 + 1) rounds back to 1e8, so only the left-to-right order gives 0 here.
    EXPECT_EQ(sum_flows({1e8f, 1, -1e8f}, 3), (std::vector<float>{0}));
}

TEST(SumFlows, ManyOutputsMatchASequentialSum) {
    // Enough outputs for several tasks, with a trailing partial block.
    const std::size_t blocks = 7, arcs = 10'000;
    std::vector<float> flows(blocks * arcs + 123);
    for (std::size_t i = 0; i < flows.size(); ++i) flows[i] = static_cast<float>(i % 97) * 0.1f;
    const std::size_t outputs = flows.size() / blocks;
    std::vector<float> expected(outputs, 0.0f);
    for (std::size_t i = 0; i < flows.size(); ++i) expected[i % outputs] += flows[i];
    EXPECT_EQ(sum_flows(flows, blocks), expected);
}

}  // namespace
}  // namespace vemo
