// The congested line-based pipeline.
#pragma once

#include <cstddef>
#include <vector>

#include "assignment/congested_linear/linear_congested_assign.hpp"
#include "assignment/linear/mat_linear_assign.hpp"

namespace vemo {

MatAssignment mat_linear_congested_assign(std::vector<std::vector<std::size_t>> alignments,
                                          std::vector<float> freqs,
                                          std::vector<std::vector<float>> travel_time_mat,
                                          std::vector<std::vector<float>> demands_mat,
                                          const CongestionParameters& parameters);

}  // namespace vemo
