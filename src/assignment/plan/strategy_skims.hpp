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

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/search_graph.hpp"
#include "assignment/linear/strategy_walk.hpp"

namespace vemo {

// A node's values sit together in one record (its waiting time, each skim, then the
// probability of arriving unboarded when boardings are given): a strategy arc reads its tail's
// record and its head's, two scattered reads however many skims there are.
class StrategySkims {
public:
    StrategySkims(std::size_t node_count, std::size_t skim_count, bool with_boarding);

    // `skim_values` holds, per skim, one value per arc; `boarding` is empty or one flag per
    // arc.
    template <class Index>
    void compute(const SearchGraph<Index>& graph, const DestinationState<Index>& state,
                 std::size_t destination, std::span<const std::span<const float>> skim_values,
                 std::span<const std::uint8_t> boarding);

    double waiting(std::size_t node) const noexcept { return values_[node * width_]; }
    double skim(std::size_t node, std::size_t k) const noexcept {
        return values_[node * width_ + 1 + k];
    }
    double no_boarding(std::size_t node) const noexcept {
        return values_[node * width_ + width_ - 1];
    }

private:
    std::size_t skim_count_;
    bool with_boarding_;
    std::size_t width_;  // doubles per node
    std::vector<double> values_;
};

template <class Index>
void StrategySkims::compute(const SearchGraph<Index>& graph, const DestinationState<Index>& state,
                            std::size_t destination,
                            std::span<const std::span<const float>> skim_values,
                            std::span<const std::uint8_t> boarding) {
    const std::vector<float>& frequencies = state.node_frequencies;
    const std::size_t node_count = frequencies.size();
    const std::size_t width = width_;
    const std::size_t skim_count = skim_count_;
    std::fill(values_.begin(), values_.end(), 0.0);
    for (std::size_t i = 0; i < node_count; ++i) {
        const double f = frequencies[i];
        if (f > 0.0 && !std::isinf(f)) values_[i * width] = 0.5 / f;
    }
    if (with_boarding_) values_[destination * width + width - 1] = 1.0;

    // The nodes' values and the arcs' skim inputs, besides the graph's records.
    auto fetch_named = [&](const SearchArc<Index>& next) __attribute__((always_inline)) {
        __builtin_prefetch(&frequencies[next.tail]);
        __builtin_prefetch(&values_[next.tail * width]);
        __builtin_prefetch(&values_[next.head * width]);
        for (const std::span<const float> values : skim_values)
            __builtin_prefetch(values.data() + next.arc);
    };
    auto add_arc = [&](const SearchArc<Index>& arc) {
        const auto [a, tail, head, frequency] = arc;
        const double combined = frequencies[tail];
        const double share = std::isinf(frequency) ? 1.0
                             : combined == 0.0     ? 0.0
                                                   : frequency / combined;
        if (share == 0.0) return;
        double* const to = &values_[tail * width];
        const double* const from = &values_[head * width];
        to[0] += share * from[0];
        for (std::size_t k = 0; k < skim_count; ++k)
            to[1 + k] += share * (skim_values[k][a] + from[1 + k]);
        if (with_boarding_ && boarding[a] == 0) to[width - 1] += share * from[width - 1];
    };
    walk_strategy<StrategyOrder::selected>(graph, state.strategy, fetch_named, add_arc);
}

}  // namespace vemo
