// The congested line-based pipeline.
#pragma once

#include <cstddef>
#include <vector>

#include "assignment/linear/mat_linear_assign.hpp"

namespace vemo {

MatAssignment mat_linear_congested_assign(std::vector<std::vector<std::size_t>> alignments,
                                          std::vector<float> freqs,
                                          std::vector<std::vector<float>> travel_time_mat,
                                          std::vector<std::vector<float>> demands_mat,
                                          float capacity, float average_decay_factor, float beta,
                                          float tol, std::size_t max_iters);

}  // namespace vemo
