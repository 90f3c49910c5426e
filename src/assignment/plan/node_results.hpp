// The planner's node-level results: one entry per (destination, origin) in each result array,
// a destination's entries gathered from its node values.
//
// Origin-major arrays hold a destination's entries one row apart, so writing them one
// destination at a time touches a cache line per origin per array for one float. A worker
// instead stages a block of consecutive destinations, a row per destination as in the
// destination-major layout, and then copies each origin's entries of the block as one run.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "assignment/plan/plan_assign.hpp"
#include "assignment/plan/strategy_skims.hpp"

namespace vemo::plan_detail {

// Destinations an origin-major worker stages at once: 32 floats fill two 64-byte cache lines.
constexpr std::size_t kStagedDestinations = 32;

// Calls visit(result, value_at) for every node-level result array of `outputs` but the node
// costs, in a fixed order; value_at(skims, node) is the value at a node the destination's
// search reached, from that destination's `skims`.
template <class Visit>
void for_each_node_result(const PlanInputs& inputs, const PlanOutputs& outputs, Visit&& visit) {
    using Skims = const StrategySkims&;
    if (!outputs.waiting_time.empty())
        visit(outputs.waiting_time,
              [](Skims skims, std::size_t node) { return skims.waiting(node); });
    if (!outputs.no_boarding.empty())
        visit(outputs.no_boarding,
              [](Skims skims, std::size_t node) { return skims.no_boarding(node); });
    const std::size_t block = inputs.dsts.size() * outputs.origins.size();
    for (std::size_t s = 0; s < inputs.skim_values.size(); ++s) {
        visit(outputs.skims.subspan(s * block, block),
              [s](Skims skims, std::size_t node) { return skims.skim(node, s); });
    }
    if (outputs.trip_ends.empty()) return;
    const std::size_t splits = inputs.trip_end_skims->size();
    visit(outputs.trip_ends.first(block),
          [](Skims skims, std::size_t node) { return skims.first_wait(node); });
    for (std::size_t j = 0; j < splits; ++j) {
        visit(outputs.trip_ends.subspan((1 + j) * block, block),
              [j](Skims skims, std::size_t node) { return skims.before_first_boarding(node, j); });
        visit(outputs.trip_ends.subspan((1 + splits + j) * block, block),
              [j](Skims skims, std::size_t node) { return skims.after_last_boarding(node, j); });
    }
}

// The number of node-level result arrays: the node costs and those for_each_node_result visits.
inline std::size_t node_result_count(const PlanInputs& inputs, const PlanOutputs& outputs) {
    std::size_t count = 1;
    for_each_node_result(inputs, outputs, [&](std::span<float>, auto) { ++count; });
    return count;
}

// Writes destinations' node-level results: destination-major straight into the arrays,
// origin-major through a staged block (see the top of the file). A pass that `writes` no
// results (a congested loop's pass that cannot be its last) stages nothing.
class NodeResultWriter {
public:
    NodeResultWriter(const PlanInputs& inputs, const PlanOutputs& outputs, bool writes)
        : inputs_(inputs),
          outputs_(outputs),
          staged_rows_(stages(outputs, writes) ? std::min(kStagedDestinations, inputs.dsts.size())
                                               : 0),
          staged_(node_result_count(inputs, outputs) * staged_rows_ * outputs.origins.size()) {}

    // How many consecutive destinations a worker takes at once.
    static std::size_t block(const PlanOutputs& outputs, bool writes) noexcept {
        return stages(outputs, writes) ? kStagedDestinations : 1;
    }

    // Destination k's results; with an origin-major layout, k is staged until flush().
    // An unreached origin's costs are +infinity, its other results NaN.
    void write(std::span<const float> node_costs, const StrategySkims& skims, std::size_t k) {
        const std::span<const std::size_t> origins = outputs_.origins;
        const float* const costs = node_costs.data();
        std::size_t r = 0;
        // Destination k's row of a result: in the result itself, or among the staged rows.
        auto row = [&](std::span<float> result) {
            return (outputs_.origin_major
                        ? staged_.data() +
                              (r++ * staged_rows_ + k % kStagedDestinations) * origins.size()
                        : result.data() + k * origins.size());
        };
        float* const out_costs = row(outputs_.node_costs);
        for (std::size_t o = 0; o < origins.size(); ++o) out_costs[o] = costs[origins[o]];
        for_each_node_result(inputs_, outputs_, [&](std::span<float> result, auto value_at) {
            float* const out = row(result);
            for (std::size_t o = 0; o < origins.size(); ++o) {
                const std::size_t node = origins[o];
                out[o] = std::isfinite(costs[node]) ? static_cast<float>(value_at(skims, node))
                                                    : std::numeric_limits<float>::quiet_NaN();
            }
        });
    }

    // Copies the staged destinations [begin, end), all of one block, into the arrays: each
    // origin's entries of the block as one run.
    void flush(std::size_t begin, std::size_t end) {
        if (!outputs_.origin_major) return;
        const std::size_t origin_count = outputs_.origins.size();
        const std::size_t destinations = inputs_.dsts.size();
        std::size_t r = 0;
        auto copy = [&](std::span<float> result) {
            const float* const rows = staged_.data() + r++ * staged_rows_ * origin_count;
            for (std::size_t o = 0; o < origin_count; ++o) {
                float* const run = result.data() + o * destinations + begin;
                for (std::size_t j = 0; j < end - begin; ++j) run[j] = rows[j * origin_count + o];
            }
        };
        copy(outputs_.node_costs);
        for_each_node_result(inputs_, outputs_,
                             [&](std::span<float> result, auto) { copy(result); });
    }

private:
    static bool stages(const PlanOutputs& outputs, bool writes) noexcept {
        return writes && outputs.origin_major;
    }

    const PlanInputs& inputs_;
    const PlanOutputs& outputs_;
    std::size_t staged_rows_;    // destinations staged at once
    std::vector<float> staged_;  // per result, staged_rows_ rows of one entry per origin
};

}  // namespace vemo::plan_detail
