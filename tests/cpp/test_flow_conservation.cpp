// Flow conservation on random networks: at every node that can reach the destination, what
// leaves equals its demand plus what arrives, and the destination receives the demand of every
// node that can reach it. Checked on arc networks and on line networks built as the line-based
// functions build them (zero-cost boarding and alighting arcs, many lines through shared stops).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "assignment/utils/mat2graph.hpp"
#include "core_adapters.hpp"

namespace vemo {
namespace {

constexpr float inf = std::numeric_limits<float>::infinity();

struct Case {
    std::vector<std::size_t> from, to, dsts;
    std::vector<float> arc_freqs, costs, demands;
};

void expect_conserved(const Case& c, unsigned seed) {
    const Assignment result =
        testing::assign_arcs(c.from, c.to, c.arc_freqs, c.costs, c.demands, c.dsts);
    const std::size_t n = result.node_costs.size() / c.dsts.size();
    const std::size_t m = c.from.size();
    for (std::size_t k = 0; k < c.dsts.size(); ++k) {
        const float* costs = result.node_costs.data() + k * n;
        const float* flows = result.arc_flows.data() + k * m;
        const float* demand = c.demands.data() + k * n;
        std::vector<double> in(n, 0.0), out(n, 0.0);
        double scale = 1.0;
        for (std::size_t a = 0; a < m; ++a) {
            ASSERT_FALSE(std::isnan(flows[a])) << "seed " << seed << " arc " << a;
            out[c.from[a]] += flows[a];
            in[c.to[a]] += flows[a];
        }
        double expected_arrivals = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            scale += std::fabs(demand[i]);
            if (i != c.dsts[k] && std::isfinite(costs[i])) expected_arrivals += demand[i];
        }
        const double tolerance = 1e-4 * scale;
        for (std::size_t i = 0; i < n; ++i) {
            if (i == c.dsts[k] || !std::isfinite(costs[i])) continue;
            ASSERT_NEAR(out[i], demand[i] + in[i], tolerance)
                << "seed " << seed << " destination " << c.dsts[k] << " node " << i;
        }
        ASSERT_NEAR(in[c.dsts[k]], expected_arrivals, tolerance) << "seed " << seed;
    }
}

TEST(FlowConservation, RandomArcNetworks) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        const std::size_t nodes = 2 + random() % 30;
        const std::size_t arcs = 1 + random() % (4 * nodes);
        std::uniform_real_distribution<float> cost(0.01f, 10.0f), frequency(0.01f, 2.0f);
        Case c;
        for (std::size_t a = 0; a < arcs; ++a) {
            c.from.push_back(random() % nodes);
            c.to.push_back(random() % nodes);
            c.costs.push_back(cost(random));
            c.arc_freqs.push_back(random() % 4 == 0 ? inf : frequency(random));
        }
        c.to.back() = nodes - 1;  // every node index below `nodes` exists
        for (std::size_t k = 0; k < 3; ++k) {
            c.dsts.push_back(random() % nodes);
            for (std::size_t i = 0; i < nodes; ++i)
                c.demands.push_back(static_cast<float>(random() % 50));
        }
        expect_conserved(c, seed);
    }
}

TEST(FlowConservation, RandomLineNetworks) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 random(seed);
        const std::size_t stops = 3 + random() % 12;
        const std::size_t lines = 1 + random() % 8;
        std::vector<std::vector<std::size_t>> alignments;
        std::vector<float> freqs;
        for (std::size_t l = 0; l < lines; ++l) {
            std::vector<std::size_t> line(2 + random() % 6);
            for (auto& stop : line) stop = random() % stops;
            alignments.push_back(line);
            freqs.push_back(0.05f + static_cast<float>(random() % 20) / 40.0f);
        }
        std::vector<std::vector<float>> times(stops, std::vector<float>(stops)),
            demands(stops, std::vector<float>(stops));
        for (std::size_t r = 0; r < stops; ++r) {
            for (std::size_t s = 0; s < stops; ++s) {
                times[r][s] = static_cast<float>(1 + random() % 9);
                demands[r][s] = static_cast<float>(random() % 100);
            }
        }
        LineNetwork net = mat2graph(alignments, freqs, times, demands);
        Case c{std::move(net.arcs.from),      std::move(net.arcs.to),    {},
               std::move(net.arcs.arc_freqs), std::move(net.arcs.costs), std::move(net.demands)};
        for (std::size_t d = 1; d < stops; ++d) c.dsts.push_back(d);
        expect_conserved(c, seed);
    }
}

TEST(FlowConservation, TwoLinesThroughASharedStopDeliverEveryTrip) {
    // Lines [0, 1, 2] and [3, 1, 4], frequencies 0.1, 5 between consecutive stops; 100 trips
    // from each of stops 0 and 1 to stop 2.
    std::vector<std::vector<float>> times(5, std::vector<float>(5, 5.0f)),
        demands(5, std::vector<float>(5, 0.0f));
    demands[0][2] = 100;
    demands[1][2] = 100;
    LineNetwork net = mat2graph({{0, 1, 2}, {3, 1, 4}}, {0.1f, 0.1f}, times, demands);
    const std::size_t n = 5 + 6;
    const std::vector<float> block(net.demands.begin() + n, net.demands.begin() + 2 * n);
    const std::vector<std::size_t> destination{2};
    const Assignment result = testing::assign_arcs(net.arcs.from, net.arcs.to, net.arcs.arc_freqs,
                                                   net.arcs.costs, block, destination);
    float arrived = 0.0f;
    for (std::size_t a = 0; a < net.arcs.from.size(); ++a)
        if (net.arcs.to[a] == 2) arrived += result.arc_flows[a];
    EXPECT_EQ(arrived, 200.0f);
}

}  // namespace
}  // namespace vemo
