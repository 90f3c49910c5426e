#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core_adapters.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

constexpr float inf = std::numeric_limits<float>::infinity();

struct Network {
    std::vector<std::size_t> from, to;
    std::vector<float> arc_freqs, costs;

    Assignment assign(const std::vector<float>& demands,
                      const std::vector<std::size_t>& dsts) const {
        return testing::assign_arcs(from, to, arc_freqs, costs, demands, dsts);
    }
};

// Arc 0: 0 -> 2 (frequency 0.125, cost 12); arc 1: 0 -> 1 (0.5, 5); arc 2: 1 -> 2 (inf, 10).
const Network worked{{0, 0, 1}, {2, 1, 2}, {0.125f, 0.5f, inf}, {12, 5, 10}};

using testing::failure_message;

TEST(LinearAssign, WorkedExample) {
    const Assignment result = worked.assign({60, 0, 0}, {2});
    EXPECT_EQ(result.node_costs, (std::vector<float>{15.2f, 10, 0}));
    EXPECT_EQ(result.node_costs[0], 15.1999998f);
    EXPECT_EQ(result.arc_flows, (std::vector<float>{12, 48, 48}));
}

TEST(LinearAssign, DestinationsAreIndependentBlocks) {
    // Destination 2 twice, with different demand blocks, then destination 1.
    const Assignment result = worked.assign({60, 0, 0, 30, 0, 0, 7, 0, 9}, {2, 2, 1});
    EXPECT_EQ(result.node_costs, (std::vector<float>{15.2f, 10, 0, 15.2f, 10, 0, 6.0f, 0, inf}));
    EXPECT_EQ(result.arc_flows, (std::vector<float>{12, 48, 48, 6, 24, 24, 0, 7, 0}));
}

TEST(LinearAssign, NodeCountCoversUnusedNodesAndTheWholeOfTo) {
    // `to` has an entry past the last arc: node 5 exists, isolated, and so does node 4.
    const Network net{{0}, {1, 5}, {1.0f}, {2}};
    const Assignment result = net.assign({3, 0, 0, 0, 8, 0}, {1});
    EXPECT_EQ(result.node_costs, (std::vector<float>{2.5f, 0, inf, inf, inf, inf}));
    EXPECT_EQ(result.arc_flows, (std::vector<float>{3}));
}

TEST(LinearAssign, EmptyDestinationsAndExtraDemandsAreAccepted) {
    const Assignment none = worked.assign({}, {});
    EXPECT_TRUE(none.node_costs.empty());
    EXPECT_TRUE(none.arc_flows.empty());
    const Assignment extra = worked.assign({60, 0, 0, 1, 2, 3, 4}, {2});
    EXPECT_EQ(extra.arc_flows, (std::vector<float>{12, 48, 48}));
}

TEST(LinearAssign, DemandAtTheDestinationStays) {
    const Assignment result = worked.assign({0, 0, 50}, {2});
    EXPECT_EQ(result.arc_flows, (std::vector<float>{0, 0, 0}));
}

TEST(LinearAssign, ArcsOutOfTheDestinationAreNeverAttractive) {
    // 1 -> 0 is cheap but leaves the destination 1; 0 -> 1 is the only way in.
    const Network net{{1, 0}, {0, 1}, {1, 1}, {0, 4}};
    const Assignment result = net.assign({5, 0}, {1});
    EXPECT_EQ(result.node_costs, (std::vector<float>{4.5f, 0}));
    EXPECT_EQ(result.arc_flows, (std::vector<float>{0, 5}));
}

TEST(LinearAssign, CombinedFrequenciesShareTheVolume) {
    // Two parallel arcs of frequencies 1 and 3 and equal cost carry 25 and 75 of 100.
    const Network net{{0, 0}, {1, 1}, {1, 3}, {2, 2}};
    const Assignment result = net.assign({100, 0}, {1});
    EXPECT_EQ(result.arc_flows, (std::vector<float>{25, 75}));
    // First arc: 2 + 0.5 / 3; second: the frequency-weighted mean with candidate 2.
    const float first = (2.0f * 3.0f + 0.5f) / 3.0f;
    EXPECT_EQ(result.node_costs[0], (2.0f * 1.0f + first * 3.0f) / (3.0f + 1.0f));
}

TEST(LinearAssign, UnreachableNodesKeepTheirDemandAmongThemselves) {
    // Nodes 2 and 3 only reach each other; node 0 reaches the destination 1.
    const Network net{{0, 2, 3}, {1, 3, 2}, {1, 1, 1}, {1, 1, 1}};
    const Assignment result = net.assign({4, 0, 6, 0}, {1});
    EXPECT_EQ(result.node_costs, (std::vector<float>{1.5f, 0, inf, inf}));
    EXPECT_EQ(result.arc_flows[0], 4.0f);
    // Of the loop 2 -> 3 -> 2 only one arc is attractive: no volume goes round it.
    EXPECT_EQ(result.arc_flows[1] + result.arc_flows[2], 0.0f);
}

TEST(LinearAssign, ZeroFrequencyLineCarriesNothingAndSpoilsNothing) {
    // Node 0's only way out has frequency 0 (a line switched off); node 2 has a real line.
    const Network net{{0, 2}, {1, 1}, {0.0f, 0.5f}, {1, 1}};
    const Assignment result = net.assign({10, 0, 20}, {1});
    EXPECT_EQ(result.node_costs, (std::vector<float>{inf, 0, 2}));
    EXPECT_EQ(result.arc_flows, (std::vector<float>{0, 20}));
}

TEST(LinearAssign, SecondInfiniteFrequencyArcAtATieIsNotAttractive) {
    // Two walking arcs of equal cost out of node 0: the volume leaves once.
    const Network net{{0, 0}, {1, 1}, {inf, inf}, {3, 3}};
    const Assignment result = net.assign({10, 0}, {1});
    EXPECT_EQ(result.node_costs, (std::vector<float>{3, 0}));
    EXPECT_EQ(result.arc_flows[0] + result.arc_flows[1], 10.0f);
    // A finite arc tying with an infinite one must not make the cost NaN.
    const Network tied{{0, 0, 2}, {1, 2, 1}, {inf, 2, inf}, {3, 0.5f, 2.5f}};
    const Assignment tie = tied.assign({10, 0, 0}, {1});
    EXPECT_FALSE(std::isnan(tie.node_costs[0]));
    EXPECT_EQ(tie.arc_flows[0] + tie.arc_flows[1], 10.0f);
}

TEST(LinearAssign, LoopsAreNeverAttractive) {
    // A zero-cost loop at node 0 ties with node 0's cost; taking it would feed part of the
    // volume back after the other shares were fixed, and trips would vanish.
    for (const float loop_frequency : {0.5f, inf}) {
        const Network net{{0, 0}, {1, 0}, {0.5f, loop_frequency}, {5, 0}};
        const Assignment result = net.assign({60, 0}, {1});
        EXPECT_EQ(result.node_costs, (std::vector<float>{6, 0}));
        EXPECT_EQ(result.arc_flows, (std::vector<float>{60, 0}));
    }
}

// Two lines [0, 1, 2] and [3, 1, 4], frequency 0.1, 5 between consecutive stops, as the line
// network is built: stops 0..4, line-stop nodes 5..10. 100 trips from each of stops 0 and 1
// to stop 2 must all arrive, although line 2's boarding and alighting arcs at stop 1 tie.
TEST(LinearAssign, ZeroCostTiesAtSharedStopsLoseNoTrips) {
    const Network net{{0, 5, 1, 6, 6, 7, 3, 8, 1, 9, 9, 10},
                      {5, 6, 6, 1, 7, 2, 8, 9, 9, 1, 10, 4},
                      {0.1f, inf, 0.1f, inf, inf, inf, 0.1f, inf, 0.1f, inf, inf, inf},
                      {0, 5, 0, 0, 5, 0, 0, 5, 0, 0, 5, 0}};
    std::vector<float> demands(11, 0.0f);
    demands[0] = 100;
    demands[1] = 100;
    const Assignment result = net.assign(demands, {2});
    float arrived = 0;
    for (std::size_t a = 0; a < net.from.size(); ++a)
        if (net.to[a] == 2) arrived += result.arc_flows[a];
    EXPECT_EQ(arrived, 200.0f);
}

TEST(LinearAssign, FailuresCarryTheirMessages) {
    EXPECT_EQ(failure_message([] { testing::assign_arcs({}, {}, {}, {}, {}, {}); }),
              "a required value was absent: the arc list `from` is empty");
    EXPECT_EQ(failure_message([] { worked.assign({60, 0, 0}, {3}); }),
              "index out of bounds: the len is 3 but the index is 3");
    EXPECT_EQ(failure_message([] { worked.assign({60, 0, 0, 1}, {2, 1}); }),
              "range end index 6 out of range for slice of length 4");
    // Arc 2 is popped first: it is the one without a frequency.
    const Network short_freqs{worked.from, worked.to, {0.125f}, worked.costs};
    EXPECT_EQ(failure_message([&] { short_freqs.assign({60, 0, 0}, {2}); }),
              "index out of bounds: the len is 1 but the index is 2");
    const Network short_costs{worked.from, worked.to, worked.arc_freqs, {12, 5}};
    EXPECT_EQ(failure_message([&] { short_costs.assign({60, 0, 0}, {2}); }),
              "index out of bounds: the len is 2 but the index is 2");
    const Network short_to{worked.from, {2}, worked.arc_freqs, worked.costs};
    EXPECT_EQ(failure_message([&] { short_to.assign({60, 0, 0}, {2}); }),
              "index out of bounds: the len is 1 but the index is 1");
}

TEST(LinearAssign, ShortArraysPastArcsLeavingTheDestinationAreNeverRead) {
    // Arc 2 leaves the destination 1 and has no cost entry: it is never queued.
    const Network net{{0, 2, 1}, {1, 1, 0}, {1, 1, 1}, {1, 1}};
    const Assignment result = net.assign({1, 0, 1}, {1});
    EXPECT_EQ(result.arc_flows, (std::vector<float>{1, 1, 0}));
}

TEST(LinearAssign, LowestFailingDestinationIsReported) {
    // Destinations 1, 2 and 3 all lack demand blocks; the first of them decides the message.
    for (int repeat = 0; repeat < 20; ++repeat) {
        EXPECT_EQ(failure_message([] { worked.assign({60, 0, 0}, {2, 2, 2, 2}); }),
                  "range end index 6 out of range for slice of length 3");
    }
}

TEST(LinearAssign, HugeSizesFailCleanly) {
    const Network widest{{0}, {std::numeric_limits<std::size_t>::max()}, {1}, {1}};
    EXPECT_EQ(failure_message([&] { widest.assign({}, {0}); }), "capacity overflow");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's operator new aborts instead of throwing std::bad_alloc";
#endif
    // 2^40 + 1 nodes of 4 bytes for one destination's node costs.
    const Network huge{{0}, {std::size_t{1} << 40}, {1}, {1}};
    EXPECT_EQ(failure_message([&] { huge.assign({}, {0}); }),
              "memory allocation of 4398046511108 bytes failed");
}

}  // namespace
}  // namespace vemo
