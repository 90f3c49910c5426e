// Implementation notes. Each destination is one task. Its terms are formed in one pass over the
// arcs in increasing index, each folded into its tail node's accumulators, and then the nodes
// are added up in increasing order. Every node thus folds its arcs in increasing index from
// (0, 0, 0), exactly as a walk through its outgoing list would, while the flows, heads, costs
// and frequencies are read in order rather than gathered node by node. A node without
// outgoing arcs keeps zero terms, and adding +0.0 leaves a sum that started at +0.0 unchanged,
// so such nodes need no lookup to be passed over. The per-destination pairs are then added in
// destination order from (0, 0), so the association of every sum is fixed whatever the number
// of threads.
#include "assignment/congested_linear/calc_gap.hpp"

#include <cmath>
#include <vector>

#include "base/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {
namespace {

struct NodeTerms {
    float excess = 0.0f;
    float waiting = 0.0f;
    float weighted_cost = 0.0f;
};

// The larger of the two; a NaN operand is passed over and the other taken. Written out rather
// than std::fmax, which is a library call per arc here.
float nan_skipping_max(float a, float b) {
    if (std::isnan(a)) return b;
    if (std::isnan(b)) return a;
    return a < b ? b : a;
}

void add_arc_terms(NodeTerms& node, const NodeTerms& arc) {
    node.excess += arc.excess;
    node.waiting = nan_skipping_max(node.waiting, arc.waiting);
    node.weighted_cost += arc.weighted_cost;
}

struct GapSums {
    float numerator = 0.0f;
    float denominator = 0.0f;
};

// The read-only inputs of one evaluation, and the terms of one destination.
struct GapInputs {
    std::size_t node_count;
    std::span<const std::size_t> tails;
    std::span<const float> averaged_flows;
    std::size_t arc_count;
    std::span<const float> node_costs;
    std::span<const std::size_t> to;
    std::span<const float> costs;
    std::span<const float> effective_freqs;

    // Zero terms stop the checks: an arc without flow, or with an unreachable end, reads
    // nothing further.
    NodeTerms arc_terms(std::size_t k, std::size_t tail, std::size_t a) const {
        const float v = checked_at(averaged_flows, k * arc_count + a);
        if (v == 0.0f) return {};
        const std::size_t head = checked_at(to, a);
        const float u_head = checked_at(node_costs, k * node_count + head);
        if (std::isinf(u_head)) return {};
        const float u_tail = checked_at(node_costs, k * node_count + tail);
        if (std::isinf(u_tail)) return {};
        const float c = checked_at(costs, a);
        const float e = checked_at(effective_freqs, a);
        return {((u_head + c) - u_tail) * v, v / e, v * u_tail};
    }

    // `terms` is the task's scratch of node_count entries.
    GapSums destination_sums(std::size_t k, std::size_t destination,
                             std::vector<NodeTerms>& terms) const {
        std::fill(terms.begin(), terms.end(), NodeTerms{});
        for (std::size_t a = 0; a < tails.size(); ++a) {
            const std::size_t tail = tails[a];
            if (tail == destination) continue;
            add_arc_terms(terms[tail], arc_terms(k, tail, a));
        }
        GapSums sums;
        for (std::size_t node = 0; node < node_count; ++node) {
            if (node == destination) continue;
            sums.numerator += terms[node].excess + terms[node].waiting;
            sums.denominator += terms[node].weighted_cost;
        }
        return sums;
    }
};

float gap_of(const GapInputs& inputs, std::span<const std::size_t> dsts) {
    std::vector<GapSums> per_destination = filled_vector(dsts.size(), GapSums{});
    parallel::for_each_with_state(
        dsts.size(), [&] { return filled_vector(inputs.node_count, NodeTerms{}); },
        [&](std::vector<NodeTerms>& terms, std::size_t k) {
            per_destination[k] = inputs.destination_sums(k, dsts[k], terms);
        });
    GapSums total;
    for (const GapSums& sums : per_destination) {
        total.numerator += sums.numerator;
        total.denominator += sums.denominator;
    }
    return total.numerator / total.denominator;
}

}  // namespace

float relative_gap(const Network& network, std::span<const float> averaged_flows,
                   std::span<const float> node_costs, std::span<const float> effective_freqs,
                   std::span<const std::size_t> dsts) {
    const ArcList& arcs = network.arcs();
    return gap_of({network.node_count(), arcs.from, averaged_flows, network.arc_count(), node_costs,
                   arcs.to, arcs.costs, effective_freqs},
                  dsts);
}

}  // namespace vemo
