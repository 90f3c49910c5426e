#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "assignment/plan/destination_flows.hpp"

namespace vemo {
namespace {

// Sparse rows from dense ones (destinations × arcs), zeros left out as the loop leaves them.
DestinationFlows from_dense(const std::vector<std::vector<float>>& dense) {
    DestinationFlows flows(dense.size(), dense.front().size());
    for (std::size_t k = 0; k < dense.size(); ++k) {
        for (std::size_t a = dense[k].size(); a-- > 0;)
            if (dense[k][a] != 0.0f)
                flows.row(k).push_back({static_cast<std::uint32_t>(a), dense[k][a]});
        flows.sort_row(k);
    }
    return flows;
}

// The step and the sums must give what the dense block gives, bit for bit, on rows whose arcs
// overlap, differ or are missing on one side, and drop the flows a full step empties.
TEST(DestinationFlows, StepAndTotalsAsOnTheDenseBlock) {
    const std::vector<std::vector<float>> v = {
        {0, 0.3f, 0, 7, 0}, {1.5f, 0, 0, 0, 0}, {0, 0, 0, 0, 0}};
    const std::vector<std::vector<float>> y = {
        {0.1f, 0.7f, 0, 0, 0}, {0, 0, 2, 0, 0}, {0, 0, 0, 0, 4}};
    for (const float lambda : {0.0f, 0.37f, 1.0f}) {
        DestinationFlows flows = from_dense(v);
        const bool changed = flows.step_toward(from_dense(y), lambda);
        EXPECT_EQ(changed, lambda != 0.0f);
        std::vector<float> block(15, -1.0f);
        flows.write_dense(block);
        std::vector<float> totals(5, 0.0f);
        for (std::size_t k = 0; k < 3; ++k) {
            for (std::size_t a = 0; a < 5; ++a) {
                const float expected = v[k][a] + lambda * (y[k][a] - v[k][a]);
                EXPECT_EQ(block[k * 5 + a], expected) << "destination " << k << ", arc " << a;
                totals[a] += expected;
            }
            for (const ArcFlow& entry : flows.row(k)) EXPECT_NE(entry.flow, 0.0f);
        }
        EXPECT_EQ(flows.totals(), totals) << "lambda " << lambda;
    }
}

}  // namespace
}  // namespace vemo
