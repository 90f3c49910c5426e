// The congested assignment: repeated assignments with effective frequencies lowered where
// flows approach capacity, flows averaged over iterations, stopped by a relative gap.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "assignment/congested_linear/effective_freqs.hpp"
#include "assignment/linear/linear_assign.hpp"

namespace vemo {

// The parameters of the congested loop, in the order of the Python functions.
struct CongestionParameters {
    ArcCapacity capacity;
    float average_decay_factor;
    float beta;
    float tol;
    std::size_t max_iters;  // 0 sets no limit on the number of iterations
};

// The node costs of the last assignment run, the averaged flows, how many iterations ran, the gap
// after each, the effective frequencies the last one used (the nominal ones if none ran), and
// whether the loop ended on its own: the gap met `tol` or the flows settled.
struct CongestedAssignment : Assignment {
    std::size_t iterations = 0;
    std::vector<float> gaps = {};
    std::vector<float> effective_freqs = {};
    bool converged = false;
};

// What a caller may add to the loop: a report after every iteration, on the calling thread, of
// the iteration's number (from 1) and gap.
struct CongestionOptions {
    const FunctionRef<void(std::size_t iteration, float gap)>* on_iteration = nullptr;
};

CongestedAssignment congested_assign_on_arcs(const ArcList& arcs, std::span<const float> demands,
                                             std::span<const std::size_t> dsts,
                                             const CongestionParameters& parameters,
                                             const CongestionOptions& options = {});

// One assignment of the loop toward every destination with the network's current frequencies:
// pass 0 with the nominal ones, pass i with those of iteration i. Its node costs and flows are
// per destination, as assign_on_network gives them.
using LoopAssignment = FunctionRef<Assignment(Network& network, std::size_t pass)>;

// The loop of congested_assign_on_arcs on `network` (built on the nominal frequencies), its
// assignments made by `assign`: a caller may do more with each one than the loop needs.
CongestedAssignment congested_loop(Network& network, std::span<const std::size_t> dsts,
                                   const CongestionParameters& parameters,
                                   const CongestionOptions& options, LoopAssignment assign);

// `congested_assign_on_arcs` on vectors it owns.
Assignment linear_congested_assign(ArcVectors arcs, std::vector<float> demands,
                                   std::vector<std::size_t> dsts,
                                   const CongestionParameters& parameters);

}  // namespace vemo
