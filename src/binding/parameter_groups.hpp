// The groups of parameters that the entry points share, each converted in parameter order
// (the first failing parameter decides the error) into the owned vectors of the computation.
#pragma once

#include <cstddef>
#include <vector>

#include "binding/function_description.hpp"

namespace vemo {

// from, to, arc_freqs, costs, demands, dsts: parameters 0 to 5.
struct ArcListArguments {
    std::vector<std::size_t> from;
    std::vector<std::size_t> to;
    std::vector<float> arc_freqs;
    std::vector<float> costs;
    std::vector<float> demands;
    std::vector<std::size_t> dsts;
};
ArcListArguments extract_arc_list(const BoundArguments& bound);

// alignments, freqs, travel_time_mat, demands_mat: parameters 0 to 3.
struct LineDescriptionArguments {
    std::vector<std::vector<std::size_t>> alignments;
    std::vector<float> freqs;
    std::vector<std::vector<float>> travel_time_mat;
    std::vector<std::vector<float>> demands_mat;
};
LineDescriptionArguments extract_line_description(const BoundArguments& bound);

// capacity, then the optional average_decay_factor, beta, tol and max_iters with their
// defaults: parameters `first` to `first` + 4.
struct CongestionArguments {
    float capacity;
    float average_decay_factor;
    float beta;
    float tol;
    std::size_t max_iters;
};
CongestionArguments extract_congestion(const BoundArguments& bound, std::size_t first);

}  // namespace vemo
