// The congested assignment: repeated assignments with effective frequencies lowered where
// flows approach capacity, flows averaged over iterations, stopped by a relative gap.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "assignment/linear/linear_assign.hpp"

namespace vemo {

// The scalars of the congested loop, in the order of the Python functions.
struct CongestionParameters {
    float capacity;
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

// What a caller may add to the loop: a capacity per arc instead of `capacity` (per_arc of
// ArcCapacity), and a report after every iteration, on the calling thread, of the iteration's
// number (from 1) and gap.
struct CongestionOptions {
    std::span<const float> capacity_per_arc = {};
    const FunctionRef<void(std::size_t iteration, float gap)>* on_iteration = nullptr;
};

CongestedAssignment _linear_congested_assign(const ArcList& arcs, std::span<const float> demands,
                                             std::span<const std::size_t> dsts,
                                             const CongestionParameters& parameters,
                                             const CongestionOptions& options = {});

// `_linear_congested_assign` on vectors it owns.
Assignment linear_congested_assign(ArcVectors arcs, std::vector<float> demands,
                                   std::vector<std::size_t> dsts,
                                   const CongestionParameters& parameters);

}  // namespace vemo
