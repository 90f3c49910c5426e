#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core_adapters.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

using testing::failure_message;
using testing::relative_gap_of;

constexpr float inf = std::numeric_limits<float>::infinity();

// Arcs leave node 0 for nodes 1 and 2; node 3 is the destination. Node costs 7, 4, 5, 0.
struct GapCase {
    std::vector<std::size_t> from{0, 0};
    std::vector<std::size_t> to{1, 2};
    std::vector<float> costs{2, 1};
    std::vector<float> effective{0.5f, 0.25f};
    std::vector<float> flows{3, 1};
    std::vector<float> node_costs{7, 4, 5, 0};
    std::vector<std::size_t> dsts{3};

    float gap() const {
        const std::size_t node_count = node_costs.size() / dsts.size();
        return relative_gap_of(node_count, from, to, costs, effective, flows, node_costs, dsts);
    }
};

TEST(Gap, WorkedExample) {
    // X = (4 + 2 − 7) × 3 + (5 + 1 − 7) × 1 = −4, Y = max(3 / 0.5, 1 / 0.25) = 6, Z = 21 + 7.
    EXPECT_EQ(GapCase{}.gap(), 2.0f / 28.0f);
}

TEST(Gap, WaitingMaximumPassesOverNaN) {
    GapCase nan_wait;
    nan_wait.effective[1] = NAN;  // the excess and weighted cost of arc 1 are unchanged
    EXPECT_EQ(nan_wait.gap(), 2.0f / 28.0f);
}

TEST(Gap, DestinationSkipsOnlyItsOwnOutgoingArcs) {
    GapCase two;
    two.dsts = {0, 3};  // node 0 is the first destination, so its arcs count for the second only
    two.flows = {3, 1, 3, 1};
    two.node_costs = {7, 4, 5, 0, 7, 4, 5, 0};
    EXPECT_EQ(two.gap(), 2.0f / 28.0f);
}

TEST(Gap, NoFlowOrNoDestinationsIsNaN) {
    GapCase no_flow;
    no_flow.flows = {0, 0};
    EXPECT_TRUE(std::isnan(no_flow.gap()));

    const GapCase base;
    EXPECT_TRUE(
        std::isnan(relative_gap_of(4, base.from, base.to, base.costs, base.effective, {}, {}, {})));
}

TEST(Gap, ShortInputsFailWithTheirIndex) {
    GapCase short_flows;
    short_flows.flows = {3};
    EXPECT_EQ(failure_message([&] { short_flows.gap(); }),
              "index out of bounds: the len is 1 but the index is 1");
    GapCase short_effective;
    short_effective.effective = {};
    EXPECT_EQ(failure_message([&] { short_effective.gap(); }),
              "index out of bounds: the len is 0 but the index is 0");
}

TEST(Gap, ZeroTermsAddNothingAndStopTheChecks) {
    // Arc 1 has no cost or frequency, but carries no flow (−0 counts as zero).
    GapCase no_flow;
    no_flow.to = {1};
    no_flow.costs = {2};
    no_flow.effective = {0.5f};
    no_flow.flows[1] = -0.0f;
    EXPECT_EQ(no_flow.gap(), ((4 + 2 - 7) * 3 + 6.0f) / 21.0f);
    // Arc 1 leads to an unreachable node: its cost and frequency are not read.
    GapCase unreachable = no_flow;
    unreachable.to = {1, 2};
    unreachable.flows[1] = 1;
    unreachable.node_costs[2] = inf;
    EXPECT_EQ(unreachable.gap(), ((4 + 2 - 7) * 3 + 6.0f) / 21.0f);
    // From an unreachable tail nothing counts at all: 0 / 0.
    GapCase unreachable_tail;
    unreachable_tail.node_costs[0] = inf;
    EXPECT_TRUE(std::isnan(unreachable_tail.gap()));
}

}  // namespace
}  // namespace vemo
