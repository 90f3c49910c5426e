// The planner's assignment against the uncongested assignment it builds on, on random networks
// and every pool size: the same node costs, the same per-destination flows once the trips that
// cannot arrive are taken out, and totals that are those flows summed in destination order,
// however the destinations finish.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "assignment/plan/plan_assign.hpp"
#include "assignment/utils/sum_flows.hpp"
#include "core_adapters.hpp"

namespace vemo {
namespace {

constexpr float inf = std::numeric_limits<float>::infinity();

struct RandomCase {
    std::vector<std::size_t> from, to, dsts, every_node;
    std::vector<float> arc_freqs, costs, demands;
    std::size_t nodes = 0;

    explicit RandomCase(unsigned seed) {
        std::mt19937 random(seed);
        nodes = 2 + random() % 40;
        const std::size_t arcs = 1 + random() % (3 * nodes);
        std::uniform_real_distribution<float> cost(0.01f, 10.0f), frequency(0.01f, 2.0f);
        for (std::size_t a = 0; a < arcs; ++a) {
            from.push_back(random() % nodes);
            to.push_back(random() % nodes);
            costs.push_back(cost(random));
            arc_freqs.push_back(random() % 4 == 0 ? inf : frequency(random));
        }
        to.back() = nodes - 1;
        for (std::size_t k = 0; k < 9; ++k) {
            dsts.push_back(random() % nodes);
            for (std::size_t i = 0; i < nodes; ++i)
                demands.push_back(static_cast<float>(random() % 50));
        }
        every_node.resize(nodes);
        std::iota(every_node.begin(), every_node.end(), std::size_t{0});
    }

    // Node costs and flows of plan_assign, with flows per destination or as totals.
    Assignment plan(FlowResult flows, std::vector<double>& unassigned) const {
        Network network({from, to, arc_freqs, costs});
        const PlanDemand demand = PlanDemand::dense(demands);
        Assignment result{
            std::vector<float>(dsts.size() * nodes),
            std::vector<float>(flows == FlowResult::total ? from.size()
                                                          : dsts.size() * from.size())};
        std::vector<float> waiting(result.node_costs.size());
        unassigned.assign(dsts.size(), -1.0);
        plan_assign(network, {dsts, demand, {}, {}},
                    {.origins = every_node,
                     .node_costs = result.node_costs,
                     .waiting_time = waiting,
                     .flow_result = flows,
                     .arc_flows = result.arc_flows,
                     .unassigned = unassigned});
        return result;
    }
};

TEST(PlanAssign, AgreesWithTheAssignmentItBuildsOn) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        RandomCase c(seed);
        std::vector<double> unassigned, unassigned_again;
        const Assignment per_destination = c.plan(FlowResult::per_destination, unassigned);
        const Assignment totals = c.plan(FlowResult::total, unassigned_again);

        std::vector<float> reachable_demand = c.demands;
        const Assignment plain =
            testing::assign_arcs(c.from, c.to, c.arc_freqs, c.costs, c.demands, c.dsts);
        for (std::size_t k = 0; k < c.dsts.size(); ++k) {
            double lost = 0.0;
            for (std::size_t i = 0; i < c.nodes; ++i) {
                const std::size_t e = k * c.nodes + i;
                if (std::isinf(plain.node_costs[e])) {
                    lost += reachable_demand[e];
                    reachable_demand[e] = 0.0f;
                }
            }
            ASSERT_EQ(unassigned[k], lost) << "seed " << seed;
        }
        const Assignment loaded =
            testing::assign_arcs(c.from, c.to, c.arc_freqs, c.costs, reachable_demand, c.dsts);
        ASSERT_EQ(per_destination.node_costs, plain.node_costs) << "seed " << seed;
        ASSERT_EQ(per_destination.arc_flows, loaded.arc_flows) << "seed " << seed;
        ASSERT_EQ(totals.arc_flows, strided_sums(loaded.arc_flows, c.from.size(), c.from.size()))
            << "seed " << seed;
        ASSERT_EQ(unassigned_again, unassigned) << "seed " << seed;
    }
}

}  // namespace
}  // namespace vemo
