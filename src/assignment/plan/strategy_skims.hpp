// Expected values along one destination's optimal strategy.
//
// A traveller at node i with combined frequency F_i takes attractive arc a with the share the
// loading gives it: 1 for an arc of infinite frequency, f_a / F_i otherwise (0 where F_i is 0 or
// infinite), and first waits 0.5 / F_i (0 where F_i is infinite or 0). Then, with S_d = 0 and
// W_d = 0 at the destination,
//   S_i = Σ share_a (x_a + S_head(a))   for an additive arc value x (a skim),
//   W_i = wait_i + Σ share_a W_head(a)  (the waiting time),
//   P_i = Σ share_a (boarding_a ? 0 : P_head(a)), P_d = 1 (reaching the destination unboarded).
// At a trip's ends, for a traveller who has not boarded yet (every origin) and x a skim chosen
// to be split there:
//   FW_i = wait_i + Σ share_a (boarding_a ? 0 : FW_head(a))   (the wait before the first boarding),
//   X_i  = Σ share_a (boarding_a ? 0 : x_a + X_head(a))       (x before the first boarding),
//   Y_i  = Σ share_a (boarding_a ? Z_head(a) : Y_head(a))      (x after the last boarding),
//   Z_i  = Σ share_a ((boarding_a ? 0 : x_a P_head(a)) + Z_head(a))  (the same, once boarded):
// an arc's x counts after the last boarding with the chance that no boarding follows it.
// The search selects every attractive arc out of a node before any arc into it, so one pass
// over the strategy list in selection order finds each head's values complete. Computed in
// double; with x = the arc costs, W + S is the node cost up to the search's 1/60000 per arc.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "assignment/linear/destination_state.hpp"
#include "assignment/linear/search_graph.hpp"
#include "assignment/linear/strategy_walk.hpp"

namespace vemo {

// Every skim's value on every arc, an arc's values side by side: a strategy arc reads one run
// instead of a value from each skim's array, wherever they lie.
class ArcSkimTable {
public:
    // `skim_values` holds, per skim, one value per arc (arc_count at least).
    ArcSkimTable(std::span<const std::span<const float>> skim_values, std::size_t arc_count);

    const float* of(std::size_t arc) const noexcept { return values_.data() + arc * skim_count_; }

private:
    std::size_t skim_count_;
    std::vector<float> values_;  // arc by arc
};

// A node's values sit together in one record (its waiting time, each skim, then with boardings
// the probability of arriving unboarded, then with trip ends FW and the X, Y, Z of each split
// skim): a strategy arc reads its tail's record and its head's, two scattered reads however
// many skims there are.
class StrategySkims {
public:
    // `trip_end_skims`, given with boarding flags, names the skims whose parts before the
    // first boarding and after the last are wanted, with the first wait.
    StrategySkims(std::size_t node_count, std::size_t skim_count, bool with_boarding,
                  std::optional<std::span<const std::size_t>> trip_end_skims = std::nullopt);

    // `skim_values` holds the skims' values on every arc; `boarding` is empty or one flag per
    // arc.
    template <class Index>
    void compute(const SearchGraph<Index>& graph, const DestinationState<Index>& state,
                 std::size_t destination, const ArcSkimTable& skim_values,
                 std::span<const std::uint8_t> boarding);

    double waiting(std::size_t node) const noexcept { return values_[node * width_]; }
    double skim(std::size_t node, std::size_t k) const noexcept {
        return values_[node * width_ + 1 + k];
    }
    double no_boarding(std::size_t node) const noexcept {
        return values_[node * width_ + no_boarding_];
    }
    double first_wait(std::size_t node) const noexcept { return values_[node * width_ + ends_]; }
    double before_first_boarding(std::size_t node, std::size_t j) const noexcept {
        return values_[node * width_ + ends_ + 1 + j];
    }
    double after_last_boarding(std::size_t node, std::size_t j) const noexcept {
        return values_[node * width_ + ends_ + 1 + split_.size() + j];
    }

private:
    std::size_t skim_count_;
    bool with_boarding_;
    bool with_ends_;
    std::vector<std::size_t> split_;  // the skims split at the trip's ends
    std::size_t no_boarding_;         // offsets in a node's record
    std::size_t ends_;
    std::size_t width_;  // doubles per node
    std::vector<double> values_;
};

template <class Index>
void StrategySkims::compute(const SearchGraph<Index>& graph, const DestinationState<Index>& state,
                            std::size_t destination, const ArcSkimTable& skim_values,
                            std::span<const std::uint8_t> boarding) {
    const std::vector<float>& frequencies = state.node_frequencies;
    const std::size_t node_count = frequencies.size();
    const std::size_t width = width_;
    const std::size_t skim_count = skim_count_;
    const std::size_t p = no_boarding_;
    const std::size_t e = ends_;
    const std::size_t splits = split_.size();
    std::fill(values_.begin(), values_.end(), 0.0);
    for (std::size_t i = 0; i < node_count; ++i) {
        const double f = frequencies[i];
        if (f > 0.0 && !std::isinf(f)) values_[i * width] = 0.5 / f;
        if (with_ends_) values_[i * width + e] = values_[i * width];
    }
    if (with_boarding_) values_[destination * width + p] = 1.0;

    // The nodes' values and the arcs' skim inputs, besides the graph's records.
    auto fetch_named = [&](const SearchArc<Index>& next) __attribute__((always_inline)) {
        __builtin_prefetch(&frequencies[next.tail]);
        __builtin_prefetch(&values_[next.tail * width]);
        __builtin_prefetch(&values_[next.head * width]);
        __builtin_prefetch(skim_values.of(next.arc));
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
        const float* const x = skim_values.of(a);
        to[0] += share * from[0];
        for (std::size_t k = 0; k < skim_count; ++k) to[1 + k] += share * (x[k] + from[1 + k]);
        if (!with_boarding_) return;
        const bool boards = boarding[a] != 0;
        if (!boards) to[p] += share * from[p];
        if (!with_ends_) return;
        if (!boards) to[e] += share * from[e];
        double* const before = to + e + 1;
        double* const after = before + splits;
        double* const boarded = after + splits;
        const double* const head_before = from + e + 1;
        const double* const head_after = head_before + splits;
        const double* const head_boarded = head_after + splits;
        for (std::size_t j = 0; j < splits; ++j) {
            const double split = x[split_[j]];
            if (!boards) before[j] += share * (split + head_before[j]);
            after[j] += share * (boards ? head_boarded[j] : head_after[j]);
            boarded[j] += share * ((boards ? 0.0 : split * from[p]) + head_boarded[j]);
        }
    };
    walk_strategy<StrategyOrder::selected>(graph, state.strategy, fetch_named, add_arc);
}

}  // namespace vemo
