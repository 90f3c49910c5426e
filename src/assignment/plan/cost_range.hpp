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
#include <vector>

#include "assignment/linear/queue_priority.hpp"
#include "assignment/linear/search_graph.hpp"
#include "assignment/utils/grouped_index.hpp"
#include "base/failure.hpp"

namespace vemo::plan_detail {

// Whether a search stayed within its range, given its node costs: no finite cost past the range,
// and no arc of a positive frequency from a node left at infinity into one with a finite cost
// (the search would have reached it). Built at the start of each assignment run (each pass of a
// congested loop), it looks along the arcs out of the nodes left at infinity, which are few
// wherever most of the network reaches the destination.
template <class Index>
class CostRangeCheck {
public:
    CostRangeCheck(const SearchGraph<Index>& graph, std::size_t node_count) : graph_(graph) {
        const std::size_t slots = graph.slot_count();
        auto tail_of = [&](std::size_t slot) { return graph.at(static_cast<Index>(slot)).tail; };
        first_out_ = group_offsets<Index>(slots, node_count, tail_of);
        out_slots_ = filled_vector<Index>(slots, 0);
        place_in_groups(first_out_, slots, tail_of, [&](Index at, std::size_t slot) {
            out_slots_[at] = static_cast<Index>(slot);
        });
    }

    void operator()(std::span<const float> costs, std::size_t destination) const {
        bool within = true;
        for (std::size_t node = 0; node < costs.size(); ++node) {
            if (std::isfinite(costs[node])) {
                within &= queue_priority(costs[node]) != kLowestPriority;
            } else if (std::isinf(costs[node])) {
                for (Index out = first_out_[node]; out < first_out_[node + 1]; ++out) {
                    const SearchArc<Index>& arc = graph_.at(out_slots_[out]);
                    within &= !(arc.frequency > 0.0f && std::isfinite(costs[arc.head]));
                }
            }
        }
        // An input the search cannot take, not an internal fault: no report on standard error.
        if (!within)
            throw InternalFailure(
                "a cost toward destination node " + std::to_string(destination) +
                " reaches 35791.39 (2^31 / 60000) time units or more, past the range of the "
                "search, which keeps costs in steps of 1/60000 in 32-bit integers: use a larger "
                "time unit, such as minutes");
    }

private:
    const SearchGraph<Index>& graph_;
    std::vector<Index> first_out_;  // node_count + 1 offsets into out_slots_
    std::vector<Index> out_slots_;  // the slots of the arcs out of each node
};

}  // namespace vemo::plan_detail
