// The search's stop at the unreached arcs: skipping them leaves every node cost as selecting
// them does, bit for bit, and the strategy a prefix of the full one; where the arcs left can
// change a node's cost (a zero frequency), nothing is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/find_strategy.hpp"
#include "assignment/linear/search_graph.hpp"

namespace vemo {
namespace {

constexpr float inf = std::numeric_limits<float>::infinity();

struct Search {
    std::vector<std::uint32_t> cost_bits;
    std::vector<std::uint32_t> strategy;
};

Search search(const ArcVectors& arcs, std::size_t node_count, std::size_t destination,
              UnreachedArcs unreached) {
    const SearchGraph<std::uint32_t> graph(arcs.view(), node_count);
    DestinationState<std::uint32_t> state(node_count, arcs.from.size());
    std::vector<float> costs(node_count, inf);
    find_strategy(arcs.view(), graph, destination, costs, state, unreached);
    Search result{{}, state.strategy};
    for (const float cost : costs) result.cost_bits.push_back(std::bit_cast<std::uint32_t>(cost));
    return result;
}

TEST(FindStrategy, SkipsOnlyArcsThatChangeNothing) {
    // Nodes 2 to 4 cannot reach destination 1.
    const std::vector<std::size_t> from{0, 2, 4, 3}, to{1, 3, 2, 4};
    struct Case {
        const char* name;
        std::vector<float> arc_freqs, costs;
        bool skipped;
    };
    const std::vector<Case> cases{
        {"inert", {1.0f, 1.0f, inf, 0.5f}, {1.0f, 2.0f, 3.0f, 4.0f}, true},
        // Node 2 would go to NaN, and node 4 then to a finite cost through it.
        {"zero frequency", {1.0f, 0.0f, 1.0f, 0.5f}, {1.0f, 2.0f, 3.0f, 4.0f}, false},
    };
    for (const Case& c : cases) {
        const ArcVectors arcs{from, to, c.arc_freqs, c.costs};
        const Search all = search(arcs, 5, 1, UnreachedArcs::select);
        const Search skipping = search(arcs, 5, 1, UnreachedArcs::skip);
        EXPECT_EQ(skipping.cost_bits, all.cost_bits) << c.name;
        ASSERT_LE(skipping.strategy.size(), all.strategy.size()) << c.name;
        EXPECT_TRUE(
            std::equal(skipping.strategy.begin(), skipping.strategy.end(), all.strategy.begin()))
            << c.name;
        EXPECT_EQ(skipping.strategy.size() < all.strategy.size(), c.skipped) << c.name;
    }
}

}  // namespace
}  // namespace vemo
