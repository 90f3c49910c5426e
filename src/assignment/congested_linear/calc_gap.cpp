// Implementation notes. The destinations are reduced on the pool by component-wise addition
// from (0, 0), one destination per chunk, so the association of the sums does not depend on the
// number of threads. The arcs of a node are reduced by (sum, maximum, sum) from (0, 0, 0): a
// list that fits in one chunk is folded in place, which is exactly what the pool would compute
// for a single chunk, without a round trip through the pool for every node.
#include "assignment/congested_linear/calc_gap.hpp"

#include <cmath>

#include "assignment/utils/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {
namespace {

constexpr std::size_t kArcGrain = 4096;

struct NodeTerms {
    float excess = 0.0f;
    float waiting = 0.0f;
    float weighted_cost = 0.0f;
};

NodeTerms combine(const NodeTerms& a, const NodeTerms& b) {
    // fmax passes over a NaN operand and takes the other.
    return {a.excess + b.excess, std::fmax(a.waiting, b.waiting),
            a.weighted_cost + b.weighted_cost};
}

struct GapSums {
    float numerator = 0.0f;
    float denominator = 0.0f;
};

// The read-only inputs of one evaluation, and the terms of one destination.
struct GapInputs {
    std::size_t node_count;
    const OutgoingArcs& outgoing;
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

    NodeTerms node_terms(std::size_t k, std::size_t node) const {
        const std::span<const std::size_t> arcs = outgoing.of(node);
        auto term = [&](std::size_t j) { return arc_terms(k, node, arcs[j]); };
        if (arcs.size() <= kArcGrain) {
            NodeTerms terms;
            for (std::size_t j = 0; j < arcs.size(); ++j) terms = combine(terms, term(j));
            return terms;
        }
        return parallel::reduce(arcs.size(), kArcGrain, NodeTerms{}, term, combine);
    }

    GapSums destination_sums(std::size_t k, std::size_t destination) const {
        GapSums sums;
        for (std::size_t node = 0; node < node_count; ++node) {
            if (node == destination || outgoing.of(node).empty()) continue;
            const NodeTerms terms = node_terms(k, node);
            sums.numerator += terms.excess + terms.waiting;
            sums.denominator += terms.weighted_cost;
        }
        return sums;
    }
};

}  // namespace

float _calc_gap(std::size_t node_count, const OutgoingArcs& outgoing,
                std::span<const float> averaged_flows, std::size_t arc_count,
                std::span<const float> node_costs, std::span<const std::size_t> to,
                std::span<const float> costs, std::span<const float> effective_freqs,
                std::span<const std::size_t> dsts) {
    const GapInputs inputs{node_count, outgoing, averaged_flows, arc_count,
                           node_costs, to,       costs,          effective_freqs};
    const GapSums total = parallel::reduce(
        dsts.size(), 1, GapSums{},
        [&](std::size_t k) { return inputs.destination_sums(k, dsts[k]); },
        [](const GapSums& a, const GapSums& b) {
            return GapSums{a.numerator + b.numerator, a.denominator + b.denominator};
        });
    return total.numerator / total.denominator;
}

}  // namespace vemo
