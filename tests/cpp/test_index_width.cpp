// The search runs with 32-bit indices whenever the network allows and with 64-bit ones
// otherwise; both must give the same results.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "assignment/linear/find_strategy.hpp"
#include "assignment/linear/load_demand.hpp"

namespace vemo {
namespace {

template <class Index>
std::pair<std::vector<float>, std::vector<float>> assign_one(const ArcList& arcs,
                                                             std::size_t node_count,
                                                             std::span<const float> demand,
                                                             std::size_t destination) {
    const SearchGraph<Index> graph(arcs, node_count);
    DestinationState<Index> state(node_count, arcs.arc_count());
    std::copy(demand.begin(), demand.end(), state.node_volumes.begin());
    std::vector<float> costs(node_count, std::numeric_limits<float>::infinity());
    std::vector<float> flows(arcs.arc_count(), 0.0f);
    find_strategy(arcs, graph, destination, costs, state);
    load_demand(graph, state, flows);
    return {costs, flows};
}

TEST(IndexWidth, BothWidthsAgree) {
    const float inf = std::numeric_limits<float>::infinity();
    for (unsigned seed = 1; seed <= 100; ++seed) {
        std::mt19937 random(seed);
        const std::size_t nodes = 2 + random() % 20, arc_count = 1 + random() % 60;
        std::vector<std::size_t> from, to;
        std::vector<float> freqs, costs, demand;
        for (std::size_t a = 0; a < arc_count; ++a) {
            from.push_back(random() % nodes);
            to.push_back(random() % nodes);
            freqs.push_back(random() % 4 == 0 ? inf : 0.1f * static_cast<float>(1 + random() % 9));
            costs.push_back(static_cast<float>(random() % 6));
        }
        for (std::size_t i = 0; i < nodes; ++i) demand.push_back(static_cast<float>(random() % 9));
        to.back() = nodes - 1;
        const ArcList arcs{from, to, freqs, costs};
        const std::size_t destination = random() % nodes;
        EXPECT_EQ(assign_one<std::uint32_t>(arcs, nodes, demand, destination),
                  assign_one<std::size_t>(arcs, nodes, demand, destination))
            << "seed " << seed;
    }
}

}  // namespace
}  // namespace vemo
