#include "assignment/plan/equilibrium_gap.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "base/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {

double strategy_waiting(const ArcList& arcs, std::span<const float> frequencies,
                        const DestinationFlows& flows, std::size_t node_count) {
    const std::size_t destinations = flows.destinations();
    std::vector<double> per_destination = filled_vector(destinations, 0.0);
    // Per worker: each node's largest ratio, and the nodes that have one.
    struct Scratch {
        std::vector<double> largest;
        std::vector<std::size_t> touched;
    };
    parallel::for_each_with_state(
        destinations, [&] { return Scratch{filled_vector(node_count, 0.0), {}}; },
        [&](Scratch& scratch, std::size_t k) {
            flows.for_each(k, [&](std::uint32_t a, float flow) {
                // Only arcs of finite frequency make anyone wait.
                if (!std::isfinite(frequencies[a])) return;
                const std::size_t tail = arcs.from[a];
                const double ratio = static_cast<double>(flow) / frequencies[a];
                if (scratch.largest[tail] == 0.0) scratch.touched.push_back(tail);
                scratch.largest[tail] = std::max(scratch.largest[tail], ratio);
            });
            std::sort(scratch.touched.begin(), scratch.touched.end());
            double waiting = 0.0;
            for (const std::size_t node : scratch.touched) {
                waiting += 0.5 * scratch.largest[node];
                scratch.largest[node] = 0.0;
            }
            scratch.touched.clear();
            per_destination[k] = waiting;
        });
    double total = 0.0;
    for (const double waiting : per_destination) total += waiting;
    return total;
}

double flow_cost(std::span<const float> costs, std::span<const float> totals) {
    double total = 0.0;
    for (std::size_t a = 0; a < totals.size(); ++a)
        if (totals[a] != 0.0f) total += static_cast<double>(costs[a]) * totals[a];
    return total;
}

double equilibrium_gap(double total, double minimal) {
    return total == 0.0 ? 0.0 : (total - minimal) / total;
}

}  // namespace vemo
