#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "assignment/congested_linear/linear_congested_assign.hpp"
#include "core_adapters.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

using testing::assign_arcs;
using testing::effective_freqs;
using testing::failure_message;

constexpr float inf = std::numeric_limits<float>::infinity();

struct Params {
    float alpha = 0.01f, beta = 0.2f, capacity = 100, tol = 0.001f;
    std::size_t max_iters = 1000;
};

// Arc 0: 0 -> 2 (0.125, 12), arc 1: 0 -> 1 (0.5, 5), arc 2: 1 -> 2 (no wait, 10); 60 trips from
// node 0 to node 2 and 20 from node 1. Arc 1's head receives 48 of its capacity of 50.
struct Network {
    std::vector<std::size_t> from{0, 0, 1}, to{2, 1, 2};
    std::vector<float> arc_freqs{0.125f, 0.5f, inf}, costs{12, 5, 10};
    std::vector<float> demands{60, 20, 0};
    std::vector<std::size_t> dsts{2};

    Assignment uncongested() const {
        return assign_arcs(from, to, arc_freqs, costs, demands, dsts);
    }
    CongestedAssignment congested(const Params& p) const {
        return congested_assign_on_arcs(ArcList{from, to, arc_freqs, costs}, demands, dsts,
                                        {.capacity = {.shared = p.capacity},
                                         .average_decay_factor = p.alpha,
                                         .beta = p.beta,
                                         .tol = p.tol,
                                         .max_iters = p.max_iters});
    }
    // One iteration of the loop, written out.
    Assignment iterate(const Assignment& previous, const Params& p) const {
        const std::vector<float> effective =
            effective_freqs(arc_freqs, to, previous.arc_flows, p.capacity, p.beta);
        Assignment next = assign_arcs(from, to, effective, costs, demands, dsts);
        for (std::size_t i = 0; i < next.arc_flows.size(); ++i)
            next.arc_flows[i] = p.alpha * next.arc_flows[i] + (1 - p.alpha) * previous.arc_flows[i];
        return next;
    }
};

void expect_same(const Assignment& a, const Assignment& b) {
    EXPECT_EQ(a.node_costs, b.node_costs);
    EXPECT_EQ(a.arc_flows, b.arc_flows);
}

TEST(Congested, MaxItersCountsIterationsWhateverTheGap) {
    const Network net;
    const Params p{.alpha = 0.5f, .tol = -inf};
    const Assignment once = net.iterate(net.uncongested(), p);
    expect_same(net.congested({.alpha = 0.5f, .tol = -inf, .max_iters = 1}), once);
    expect_same(net.congested({.alpha = 0.5f, .tol = -inf, .max_iters = 2}), net.iterate(once, p));
    EXPECT_NE(once.arc_flows, net.uncongested().arc_flows);  // congestion does change the flows
}

TEST(Congested, ZeroMaxItersSetsNoLimit) {
    // With this capacity the gap falls below 0.08 after five iterations.
    const Network net;
    const Params unlimited{.alpha = 0.5f, .capacity = 1000, .tol = 0.08f, .max_iters = 0};
    Params huge_limit = unlimited, one = unlimited, four = unlimited, five = unlimited;
    huge_limit.max_iters = 1'000'000;
    one.max_iters = 1;
    four.max_iters = 4;
    five.max_iters = 5;
    const Assignment result = net.congested(unlimited);
    expect_same(result, net.congested(huge_limit));
    expect_same(result, net.congested(five));
    EXPECT_NE(result.arc_flows, net.congested(four).arc_flows);
    EXPECT_NE(result.arc_flows, net.congested(one).arc_flows);
}

TEST(Congested, ALoopEndsWhereItsFlowsSettleWithTheResultsOfRunningOn) {
    // One route, no choice: the averaged flows settle on the demand, while a gap that must be
    // below -inf is never met.
    const Network net{.from = {0, 1},
                      .to = {1, 2},
                      .arc_freqs = {0.1f, inf},
                      .costs = {5, 3},
                      .demands = {0.7f, 0, 0}};
    const CongestedAssignment settled = net.congested({.capacity = 8, .tol = -inf, .max_iters = 0});
    EXPECT_GT(settled.iterations, 1u);
    EXPECT_LT(settled.iterations, 1000u);
    // Twenty more iterations, written out, repeat the last one bit for bit.
    Assignment ran_on = settled;
    for (int i = 0; i < 20; ++i) ran_on = net.iterate(ran_on, {.capacity = 8});
    expect_same(settled, ran_on);
    // Where the flows keep moving, nothing ends early.
    const Network choice;
    EXPECT_EQ(choice.congested({.tol = -inf, .max_iters = 30}).iterations, 30u);
}

TEST(Congested, NaNGapEndsTheLoopAfterOneIteration) {
    Network net;
    net.demands = {0, 0, 0};  // no flow: 0 / 0
    expect_same(net.congested({.max_iters = 0}), net.congested({.max_iters = 1}));
}

TEST(Congested, EmptyDestinationList) {
    Network net;
    net.dsts = {};
    // Arc 0 comes first; its head also receives arc 2, whose flow sum starts past the end.
    EXPECT_EQ(failure_message([&] { net.congested({}); }),
              "range start index 2 out of range for slice of length 0");
    net.arc_freqs = {inf, inf, inf};
    const Assignment result = net.congested({});
    EXPECT_TRUE(result.node_costs.empty());
    EXPECT_TRUE(result.arc_flows.empty());
}

}  // namespace
}  // namespace vemo
