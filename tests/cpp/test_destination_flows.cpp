#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "assignment/plan/destination_flows.hpp"

namespace vemo {
namespace {

using Dense = std::vector<std::vector<float>>;

// Sparse rows from dense ones (destinations × arcs), zeros left out as the loop leaves them,
// the flows given in decreasing arc order.
DestinationFlows from_dense(const Dense& dense) {
    DestinationFlows flows(dense.size(), dense.front().size());
    for (std::size_t k = 0; k < dense.size(); ++k) {
        ArcFlowList loading;
        for (std::size_t a = dense[k].size(); a-- > 0;)
            if (dense[k][a] != 0.0f)
                loading.push_back({static_cast<std::uint32_t>(a), dense[k][a]});
        flows.set_row(k, loading);
    }
    return flows;
}

// `arcs` zero flows with the given ones, destination by destination.
Dense with_flows(std::size_t arcs,
                 const std::vector<std::vector<std::pair<std::size_t, float>>>& rows) {
    Dense dense(rows.size(), std::vector<float>(arcs, 0.0f));
    for (std::size_t k = 0; k < rows.size(); ++k)
        for (const auto& [a, flow] : rows[k]) dense[k][a] = flow;
    return dense;
}

// The step and the sums must give what the dense block gives, bit for bit, on rows whose arcs
// overlap, differ or are missing on one side, and drop the flows a full step empties. Rows hold
// their arcs as indices (few flows) or as bits (more than one arc in 32), across words of bits,
// and a step can turn one into the other.
TEST(DestinationFlows, StepAndTotalsAsOnTheDenseBlock) {
    const std::vector<std::pair<Dense, Dense>> cases = {
        {{{0, 0.3f, 0, 7, 0}, {1.5f, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
         {{0.1f, 0.7f, 0, 0, 0}, {0, 0, 2, 0, 0}, {0, 0, 0, 0, 4}}},
        {with_flows(70, {{{0, 1}, {31, 2}, {32, 3}, {63, 4}, {64, 5}, {69, 6}}, {{33, 0.5f}}}),
         with_flows(70, {{{31, 0.25f}}, {{1, 1}, {32, 2}, {33, 3}, {34, 4}, {68, 5}}})},
    };
    for (const auto& [v, y] : cases) {
        const std::size_t destinations = v.size();
        const std::size_t arcs = v.front().size();
        for (const float lambda : {0.0f, 0.37f, 1.0f}) {
            DestinationFlows flows = from_dense(v);
            EXPECT_EQ(flows.step_toward(from_dense(y), lambda), lambda != 0.0f);
            std::vector<float> block(destinations * arcs, -1.0f);
            flows.write_dense(block);
            std::vector<float> totals(arcs, 0.0f);
            for (std::size_t k = 0; k < destinations; ++k) {
                for (std::size_t a = 0; a < arcs; ++a) {
                    const float expected = v[k][a] + lambda * (y[k][a] - v[k][a]);
                    EXPECT_EQ(block[k * arcs + a], expected)
                        << arcs << " arcs, destination " << k << ", arc " << a;
                    totals[a] += expected;
                }
                flows.for_each(k, [](std::uint32_t, float flow) { EXPECT_NE(flow, 0.0f); });
            }
            EXPECT_EQ(flows.totals(), totals) << arcs << " arcs, lambda " << lambda;
        }
    }
}

}  // namespace
}  // namespace vemo
