#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "assignment/congested_linear/calc_gap.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

using testing::failure_message;

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
        return _calc_gap(node_count, outgoing_arcs(from, node_count), flows, from.size(),
                         node_costs, to, costs, effective, dsts);
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

TEST(Gap, ArcsWithoutFlowOrWithAnUnreachableEndContributeNothing) {
    GapCase zero_flow;
    zero_flow.flows[1] = -0.0f;
    zero_flow.effective[1] = 0;  // would be an infinite waiting term
    EXPECT_EQ(zero_flow.gap(), ((4 + 2 - 7) * 3 + 6.0f) / 21.0f);

    GapCase unreachable_head;
    unreachable_head.node_costs[2] = inf;
    EXPECT_EQ(unreachable_head.gap(), ((4 + 2 - 7) * 3 + 6.0f) / 21.0f);

    GapCase unreachable_tail;
    unreachable_tail.node_costs[0] = inf;
    EXPECT_TRUE(std::isnan(unreachable_tail.gap()));  // 0 / 0
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
    EXPECT_TRUE(std::isnan(_calc_gap(4, outgoing_arcs(base.from, 4), {}, 2, {}, base.to, base.costs,
                                     base.effective, {})));
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

TEST(Gap, ZeroTermsStopTheChecks) {
    // Arc 1 has no head, cost or frequency, but carries no flow.
    GapCase no_flow;
    no_flow.to = {1};
    no_flow.costs = {2};
    no_flow.effective = {0.5f};
    no_flow.flows[1] = 0;
    EXPECT_EQ(no_flow.gap(), ((4 + 2 - 7) * 3 + 6.0f) / 21.0f);
    // Arc 1 leads to an unreachable node: its cost and frequency are not read.
    GapCase unreachable = no_flow;
    unreachable.to = {1, 2};
    unreachable.flows[1] = 1;
    unreachable.node_costs[2] = inf;
    EXPECT_EQ(unreachable.gap(), ((4 + 2 - 7) * 3 + 6.0f) / 21.0f);
}

TEST(Gap, ManyArcsLeavingOneNode) {
    // 10,000 parallel arcs of equal terms out of node 0: sums of integers stay exact.
    GapCase many;
    const std::size_t arcs = 10'000;
    many.from.assign(arcs, 0);
    many.to.assign(arcs, 1);
    many.costs.assign(arcs, 4);
    many.effective.assign(arcs, 0.5f);
    many.flows.assign(arcs, 1);
    // Each arc: excess (4 + 4 − 7) × 1 = 1, waiting 2, weighted cost 7.
    EXPECT_EQ(many.gap(), (10'000.0f + 2.0f) / 70'000.0f);
}

}  // namespace
}  // namespace vemo
