#include "assignment/congested_linear/mat_linear_congested_assign.hpp"

#include <utility>

#include "assignment/utils/mat2graph.hpp"

namespace vemo {

// Only boarding arcs have a finite frequency in a line network, so they are the only arcs whose
// frequency congestion lowers.
MatAssignment mat_linear_congested_assign(std::vector<std::vector<std::size_t>> alignments,
                                          std::vector<float> freqs,
                                          std::vector<std::vector<float>> travel_time_mat,
                                          std::vector<std::vector<float>> demands_mat,
                                          const CongestionParameters& parameters) {
    const std::size_t stop_count = travel_time_mat.size();
    const LineNetwork net = mat2graph(std::move(alignments), std::move(freqs),
                                      std::move(travel_time_mat), std::move(demands_mat));
    const std::vector<std::size_t> dsts = destination_stops(stop_count);
    return line_results(congested_assign_on_arcs(net.arcs.view(), net.demands, dsts, parameters),
                        net.demands, stop_count);
}

}  // namespace vemo
