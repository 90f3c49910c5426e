// Every destination's arc flows, kept by a congested loop from one iteration to the next. A
// destination's strategy loads a small part of the network (a tenth of the arcs on a regional
// feed), so each destination keeps only the arcs that carry flow, in increasing order, with their
// flows: a dense destinations × arcs block would double the memory of the assignment it serves.
// An absent arc carries 0, so every operation gives what it would on the dense block, bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vemo {

struct ArcFlow {
    std::uint32_t arc;
    float flow;
};

// One destination's flows: nonzero, arcs strictly increasing.
using FlowRow = std::vector<ArcFlow>;

class DestinationFlows {
public:
    // Fails on a network of more arcs than a row's index holds.
    DestinationFlows(std::size_t destinations, std::size_t arc_count);

    std::size_t destinations() const noexcept { return rows_.size(); }
    std::size_t arc_count() const noexcept { return arc_count_; }
    FlowRow& row(std::size_t k) { return rows_[k]; }
    const FlowRow& row(std::size_t k) const { return rows_[k]; }

    // Puts in order a row filled with the nonzero flows of a strategy's loading, each arc once.
    void sort_row(std::size_t k);

    // Each arc's flow summed over destinations in destination order, in float32.
    std::vector<float> totals() const;

    // v + λ (y - v) in place, v these flows and y `target`'s, arc by arc; whether any flow
    // changed.
    bool step_toward(const DestinationFlows& target, float lambda);

    // The flows as a destinations × arcs block.
    void write_dense(std::span<float> block) const;

    void swap(DestinationFlows& other) noexcept { rows_.swap(other.rows_); }

private:
    std::size_t arc_count_;
    std::vector<FlowRow> rows_;
};

}  // namespace vemo
