// Construction of the line network: the arc list and demand vector of a line description.
//
// Node numbering: stop s is node s for s < M (M = number of rows of travel_time_mat). Then every
// position of every line gets a line-stop node of its own, lines in input order: line i with n_i
// stops owns the nodes B_i … B_i + n_i − 1, with B_0 = M and B_(i+1) = B_i + n_i. So the network
// has N = M + Σ n_i nodes.
//
// Arcs of a line with stops s_0 … s_(n−1) and line-stop nodes B … B + n − 1, in emission order:
// boarding at position 0 (s_0 → B, the line's frequency, cost 0); then for k = 1 … n − 1 the
// in-vehicle arc (B + k − 1 → B + k, +inf, travel_time_mat[s_(k−1)][s_k]), the boarding arc at k
// unless k is the last position (s_k → B + k, frequency, 0) and the alighting arc
// (B + k → s_k, +inf, 0). A line of n stops thus has 3(n − 1) arcs.
#pragma once

#include <cstddef>
#include <vector>

#include "assignment/utils/arc_list.hpp"

namespace vemo {

struct LineNetwork {
    ArcVectors arcs;
    // One block of N entries per destination stop 1 … M − 1 (none when M ≤ 1): block of stop d
    // holds demands_mat[r][d] at every stop r ≠ d, minus their sum at d, and 0 at line-stop nodes.
    std::vector<float> demands;
};

// Fails when a line has fewer than two stops, a line has no frequency, a stop is not below M or
// its travel time is missing, or demands_mat has too few rows or columns for the stops.
LineNetwork mat2graph(std::vector<std::vector<std::size_t>> alignments, std::vector<float> freqs,
                      std::vector<std::vector<float>> travel_time_mat,
                      std::vector<std::vector<float>> demands_mat);

}  // namespace vemo
