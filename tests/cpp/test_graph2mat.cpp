#include <gtest/gtest.h>

#include <vector>

#include "assignment/utils/graph2mat.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

using testing::failure_message;
using Matrix = std::vector<std::vector<float>>;

TEST(Graph2Mat, FillsTheUpperTriangleFromTheDestinationBlocks) {
    // Two blocks of six: destination stops 1 and 2.
    const std::vector<float> values{10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 24, 25};
    EXPECT_EQ(graph2mat(values, 3), (Matrix{{0, 10, 20}, {0, 0, 21}, {0, 0, 0}}));
    EXPECT_EQ(graph2mat({7, 8, 9}, 2), (Matrix{{0, 7}, {0, 0}}));
}

TEST(Graph2Mat, NoStopsGiveAnEmptyMatrix) { EXPECT_TRUE(graph2mat({1, 2, 3}, 0).empty()); }

TEST(Graph2Mat, OneStopIsADivisionByZeroEvenWithoutValues) {
    EXPECT_EQ(failure_message([] { graph2mat({}, 1); }), "attempt to divide by zero");
}

TEST(Graph2Mat, BlocksShorterThanTheStopsFail) {
    // Four stops, blocks of one entry: stop 1 in the block of stop 3 lies past the end.
    EXPECT_EQ(failure_message([] { graph2mat({1, 2, 3}, 4); }),
              "index out of bounds: the len is 3 but the index is 3");
}

}  // namespace
}  // namespace vemo
