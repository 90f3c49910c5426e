// Expected values along one destination's optimal strategy.
//
// A traveller at node i with combined frequency F_i takes attractive arc a with the share the
// loading gives it: 1 for an arc of infinite frequency, f_a / F_i otherwise (0 where F_i is 0 or
// infinite), and first waits 0.5 / F_i (0 where F_i is infinite or 0). Then, with S_d = 0 and
// W_d = 0 at the destination,
//   S_i = Σ share_a (x_a + S_head(a))   for an additive arc value x (a skim),
//   W_i = wait_i + Σ share_a W_head(a)  (the waiting time),
//   P_i = Σ share_a (boarding_a ? 0 : P_head(a)), P_d = 1 (reaching the destination unboarded).
// The search selects every attractive arc out of a node before any arc into it, so one pass
// over the strategy list in selection order finds each head's values complete. Computed in
// double; with x = the arc costs, W + S is the node cost up to the search's 1/60000 per arc.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/search_graph.hpp"

namespace vemo {

struct StrategySkims {
    std::vector<double> waiting;      // per node
    std::vector<double> skims;        // skim k of node i at k × node_count + i
    std::vector<double> no_boarding;  // per node, when boardings are given

    StrategySkims(std::size_t node_count, std::size_t skim_count, bool with_boarding);

    // `skim_values` holds skim k of arc a at k × arc_count + a; `boarding` is empty or one flag
    // per arc.
    template <class Index>
    void compute(const SearchGraph<Index>& graph, const DestinationState<Index>& state,
                 std::size_t destination, std::span<const float> skim_values,
                 std::size_t arc_count, std::span<const std::uint8_t> boarding);
};

template <class Index>
void StrategySkims::compute(const SearchGraph<Index>& graph, const DestinationState<Index>& state,
                            std::size_t destination, std::span<const float> skim_values,
                            std::size_t arc_count, std::span<const std::uint8_t> boarding) {
    const std::vector<float>& frequencies = state.node_frequencies;
    const std::size_t node_count = frequencies.size();
    const std::size_t skim_count = node_count == 0 ? 0 : skims.size() / node_count;
    for (std::size_t i = 0; i < node_count; ++i) {
        const double f = frequencies[i];
        waiting[i] = f > 0.0 && !std::isinf(f) ? 0.5 / f : 0.0;
    }
    std::fill(skims.begin(), skims.end(), 0.0);
    if (!no_boarding.empty()) {
        std::fill(no_boarding.begin(), no_boarding.end(), 0.0);
        no_boarding[destination] = 1.0;
    }
    for (const Index slot : state.strategy) {
        const auto [a, tail, head, frequency] = graph.at(slot);
        const double combined = frequencies[tail];
        const double share = std::isinf(frequency) ? 1.0
                             : combined == 0.0     ? 0.0
                                                   : frequency / combined;
        if (share == 0.0) continue;
        waiting[tail] += share * waiting[head];
        for (std::size_t k = 0; k < skim_count; ++k) {
            double& skim = skims[k * node_count + tail];
            skim += share * (skim_values[k * arc_count + a] + skims[k * node_count + head]);
        }
        if (!no_boarding.empty() && boarding[a] == 0)
            no_boarding[tail] += share * no_boarding[head];
    }
}

}  // namespace vemo
