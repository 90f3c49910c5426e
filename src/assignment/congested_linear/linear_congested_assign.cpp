// Implementation notes. The loop runs the uncongested assignment once with the nominal
// frequencies, then per iteration: effective frequencies from the averaged flows, an assignment
// with them, the new average α × new + (1 − α) × old (float32, in exactly that order), and the
// relative gap. It stops when the gap is not greater than `tol` (a NaN gap included), or when the
// iteration count reaches `max_iters`, tested for equality so that 0 sets no limit, or when the
// averaged flows come out bit for bit as they went in: the effective frequencies, and so every
// later iteration, would then repeat this one exactly.
#include "assignment/congested_linear/linear_congested_assign.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "assignment/congested_linear/calc_gap.hpp"
#include "assignment/congested_linear/effective_freqs.hpp"
#include "base/cancellation.hpp"
#include "parallel/pool.hpp"

namespace vemo {
namespace {

constexpr std::size_t kAverageGrain = 16384;

// Averages in place in the latest flows, which are not needed afterwards, so no vector is
// allocated. The result has as many entries as the shorter of the two.
std::vector<float> averaged_flows(std::vector<float> latest, std::span<const float> previous,
                                  float average_decay_factor) {
    latest.resize(std::min(latest.size(), previous.size()));
    const float alpha = average_decay_factor;
    const float keep = 1.0f - alpha;
    parallel::for_each_chunk(latest.size(), kAverageGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            latest[i] = alpha * latest[i] + keep * previous[i];
    });
    return latest;
}

bool same_bits(std::span<const float> a, std::span<const float> b) {
    // An empty vector's data may be null, which memcmp must not be given.
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size_bytes()) == 0);
}

}  // namespace

CongestedAssignment congested_loop(Network& network, std::span<const std::size_t> dsts,
                                   const CongestionParameters& parameters,
                                   const CongestionOptions& options, LoopAssignment assign) {
    const ArcList nominal = network.arcs();  // use_frequencies replaces the network's own
    CongestedAssignment current{assign(network, 0)};

    float gap = std::numeric_limits<float>::infinity();
    std::vector<float> effective_freqs;
    while (gap > parameters.tol) {
        cancellation_point();
        effective_freqs =
            effective_frequencies(nominal.arc_freqs, nominal.to, network.node_count(),
                                  current.arc_flows, parameters.capacity, parameters.beta);
        network.use_frequencies(effective_freqs);
        Assignment latest = assign(network, current.iterations + 1);
        std::vector<float> averaged = averaged_flows(std::move(latest.arc_flows), current.arc_flows,
                                                     parameters.average_decay_factor);
        const bool settled = same_bits(averaged, current.arc_flows);
        current.arc_flows = std::move(averaged);
        current.node_costs = std::move(latest.node_costs);
        const float next_gap =
            relative_gap(network, current.arc_flows, current.node_costs, effective_freqs, dsts);
        current.gaps.push_back(next_gap);
        if (options.on_iteration != nullptr) (*options.on_iteration)(current.gaps.size(), next_gap);
        ++current.iterations;
        current.converged = settled || !(next_gap > parameters.tol);
        if (current.iterations == parameters.max_iters || settled) break;
        gap = next_gap;
    }
    if (current.iterations == 0) current.converged = true;  // tol let no iteration run
    current.effective_freqs =
        current.iterations == 0
            ? std::vector<float>(nominal.arc_freqs.begin(), nominal.arc_freqs.end())
            : std::move(effective_freqs);
    return current;
}

CongestedAssignment congested_assign_on_arcs(const ArcList& arcs, std::span<const float> demands,
                                             std::span<const std::size_t> dsts,
                                             const CongestionParameters& parameters,
                                             const CongestionOptions& options) {
    Network network(arcs);
    auto assign = [&](Network& current, std::size_t) {
        return assign_on_network(current, demands, dsts);
    };
    return congested_loop(network, dsts, parameters, options, LoopAssignment(assign));
}

Assignment linear_congested_assign(ArcVectors arcs, std::vector<float> demands,
                                   std::vector<std::size_t> dsts,
                                   const CongestionParameters& parameters) {
    return congested_assign_on_arcs(arcs.view(), demands, dsts, parameters);
}

}  // namespace vemo
