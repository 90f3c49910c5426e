// Every destination's arc flows, kept by a congested loop from one iteration to the next. A
// destination's strategy loads a small part of the network (a tenth to a sixth of the arcs on
// regional feeds), so each destination keeps only the arcs that carry flow, with their flows, in
// increasing arc order: a dense destinations × arcs block would double the memory of the
// assignment it serves. Which arcs carry flow is kept as their indices, or, where more than one
// arc in 32 does, as a bit per arc of the network, whichever takes less room.
// An absent arc carries 0, so every operation gives what it would on the dense block, bit for bit.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vemo {

struct ArcFlow {
    std::uint32_t arc;
    float flow;
};

// A loading's flows as they are made.
using ArcFlowList = std::vector<ArcFlow>;

class DestinationFlows {
public:
    // Fails on a network of more arcs than a row's index holds.
    DestinationFlows(std::size_t destinations, std::size_t arc_count);

    std::size_t destinations() const noexcept { return rows_.size(); }
    std::size_t arc_count() const noexcept { return arc_count_; }

    // Makes row k the nonzero flows of a strategy's loading, each arc once, in any order; sorts
    // `loading`.
    void set_row(std::size_t k, ArcFlowList& loading);

    // visit(arc, flow) for each flow of row k, in increasing arc order.
    template <class Visit>
    void for_each(std::size_t k, Visit&& visit) const {
        const Row& row = rows_[k];
        if (!holds_bits(row)) {
            for (std::size_t i = 0; i < row.flows.size(); ++i) visit(row.arcs[i], row.flows[i]);
            return;
        }
        std::size_t i = 0;
        for (std::size_t word = 0; word < row.arcs.size(); ++word) {
            for (std::uint32_t bits = row.arcs[word]; bits != 0; bits &= bits - 1) {
                const auto arc = static_cast<std::uint32_t>(word * 32 + std::countr_zero(bits));
                visit(arc, row.flows[i++]);
            }
        }
    }

    // Each arc's flow summed over destinations in destination order, in float32.
    std::vector<float> totals() const;

    // v + λ (y - v) in place, v these flows and y `target`'s, arc by arc; whether any flow
    // changed.
    bool step_toward(const DestinationFlows& target, float lambda);

    // The flows as a destinations × arcs block.
    void write_dense(std::span<float> block) const;

    void swap(DestinationFlows& other) noexcept { rows_.swap(other.rows_); }

private:
    struct Row {
        std::vector<std::uint32_t> arcs;  // the arcs of the flows, or bit a % 32 of word a / 32
        std::vector<float> flows;
    };

    bool holds_bits(const Row& row) const noexcept { return row.flows.size() > bit_words_; }
    // Row k from flows in increasing arc order, in no more room than they need.
    void encode_row(std::size_t k, std::span<const ArcFlow> sorted);
    void decode_row(std::size_t k, ArcFlowList& out) const;

    std::size_t arc_count_;
    std::size_t bit_words_;  // the words of a bit per arc
    std::vector<Row> rows_;
};

}  // namespace vemo
