// The uncongested line-based pipeline: line description in, stop cost matrix, arc flow totals
// and total cost out.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "assignment/linear/linear_assign.hpp"

namespace vemo {

struct MatAssignment {
    std::vector<std::vector<float>> stop_costs;  // stop_count rows of stop_count entries
    std::vector<float> arc_flow_totals;          // one per arc of the line network
    float total_cost = 0.0f;
};

MatAssignment mat_linear_assign(std::vector<std::vector<std::size_t>> alignments,
                                std::vector<float> freqs,
                                std::vector<std::vector<float>> travel_time_mat,
                                std::vector<std::vector<float>> demands_mat);

// The destinations of a line network with `stop_count` stops: every stop but stop 0, in order.
std::vector<std::size_t> destination_stops(std::size_t stop_count);

// The three results of a line-based pipeline from the assignment of its line network:
// graph2mat of the node costs, sum_flows of the arc flows over the stop_count − 1 destinations,
// and the total of node cost × demand over every entry whose node cost is finite.
MatAssignment line_results(Assignment assignment, std::span<const float> demands,
                           std::size_t stop_count);

}  // namespace vemo
