// The search keeps candidate costs as integers of 1/60000 of the time unit in an int32
// (queue_priority.hpp): a cost of 2^31 / 60000 = 35791.39 or more saturates to +infinity, and a
// wait of 0.5 / frequency or a product frequency × cost past float32 overflows. Either leaves a
// node that reaches the destination with an infinite cost, or one whose cost lies past that
// range; the planner fails then instead of returning a silent infinity.
#pragma once

#include <cmath>
#include <cstddef>
#include <span>
#include <string>

#include "assignment/linear/queue_priority.hpp"
#include "assignment/linear/search_graph.hpp"
#include "base/failure.hpp"

namespace vemo::plan_detail {

// Whether the search toward `destination` stayed within its range, given its node costs: no
// finite cost past the range, and no arc of a positive frequency from a node left at infinity
// into one with a finite cost (the search would have reached it).
template <class Index>
void check_cost_range(const SearchGraph<Index>& graph, std::span<const float> costs,
                      std::size_t destination) {
    bool within = true;
    for (std::size_t node = 0; node < costs.size(); ++node) {
        if (!std::isfinite(costs[node])) continue;
        within &= queue_priority(costs[node]) != kLowestPriority;
        const auto head = static_cast<Index>(node);
        for (Index in = graph.first_in(head), end = graph.end_in(head); in < end; ++in) {
            const SearchArc<Index>& arc = graph.at(in);
            within &= !(arc.frequency > 0.0f && std::isinf(costs[arc.tail]));
        }
    }
    // An input the search cannot take, not an internal fault: no report on standard error.
    if (!within)
        throw InternalFailure("a cost toward destination node " + std::to_string(destination) +
                              " reaches 35791.39 (2^31 / 60000) time units or more, past the "
                              "range of the search, which keeps costs in steps of 1/60000 in "
                              "32-bit integers: use a larger time unit, such as minutes");
}

}  // namespace vemo::plan_detail
