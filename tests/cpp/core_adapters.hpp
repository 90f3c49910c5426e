// The computation's entry points called on plain arc sequences, as the tests write their cases.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "assignment/congested_linear/calc_gap.hpp"
#include "assignment/congested_linear/effective_freqs.hpp"
#include "assignment/linear/linear_assign.hpp"
#include "assignment/linear/network.hpp"

namespace vemo::testing {

// The uncongested assignment of the arc list (from, to, arc_freqs, costs).
inline Assignment assign_arcs(std::span<const std::size_t> from, std::span<const std::size_t> to,
                              std::span<const float> arc_freqs, std::span<const float> costs,
                              std::span<const float> demands, std::span<const std::size_t> dsts) {
    Network network({from, to, arc_freqs, costs});
    return assign_on_network(network, demands, dsts);
}

// The effective frequencies with one capacity for every arc, on as many nodes as `to` names.
inline std::vector<float> effective_freqs(const std::vector<float>& arc_freqs,
                                          const std::vector<std::size_t>& to,
                                          const std::vector<float>& averaged_flows, float capacity,
                                          float beta) {
    const std::size_t node_count = to.empty() ? 0 : *std::max_element(to.begin(), to.end()) + 1;
    return effective_frequencies(arc_freqs, to, node_count, averaged_flows, {.shared = capacity},
                                 beta);
}

// The relative gap on `node_count` nodes, which may be more than the arcs name: `to` is lengthened
// past its arcs with the last node. A head `to` lacks for an arc is then that node too.
inline float relative_gap_of(std::size_t node_count, std::span<const std::size_t> from,
                             std::span<const std::size_t> to, std::span<const float> costs,
                             std::span<const float> effective_freqs,
                             std::span<const float> averaged_flows,
                             std::span<const float> node_costs, std::span<const std::size_t> dsts) {
    std::vector<std::size_t> heads(to.begin(), to.end());
    heads.resize(std::max(heads.size(), from.size()) + 1, node_count - 1);
    const Network network({from, heads, {}, costs});
    return relative_gap(network, averaged_flows, node_costs, effective_freqs, dsts);
}

}  // namespace vemo::testing
