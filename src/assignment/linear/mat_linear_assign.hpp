// The uncongested line-based pipeline: line description in, stop cost matrix, arc flow totals
// and total cost out.
#pragma once

#include <cstddef>
#include <vector>

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

}  // namespace vemo
