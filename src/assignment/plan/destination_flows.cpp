#include "assignment/plan/destination_flows.hpp"

#include <algorithm>
#include <atomic>
#include <limits>
#include <string>

#include "base/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {

DestinationFlows::DestinationFlows(std::size_t destinations, std::size_t arc_count)
    : arc_count_(arc_count), bit_words_((arc_count + 31) / 32) {
    if (arc_count > std::numeric_limits<std::uint32_t>::max())
        fail("the congested models take at most " +
             std::to_string(std::numeric_limits<std::uint32_t>::max()) +
             " arcs; this network has " + std::to_string(arc_count));
    reserve_exactly(rows_, destinations);
    rows_.resize(destinations);
}

void DestinationFlows::set_row(std::size_t k, ArcFlowList& loading) {
    std::sort(loading.begin(), loading.end(),
              [](const ArcFlow& a, const ArcFlow& b) { return a.arc < b.arc; });
    encode_row(k, loading);
}

void DestinationFlows::encode_row(std::size_t k, std::span<const ArcFlow> sorted) {
    Row row;
    reserve_exactly(row.flows, sorted.size());
    for (const ArcFlow& entry : sorted) row.flows.push_back(entry.flow);
    if (holds_bits(row)) {
        row.arcs = filled_vector<std::uint32_t>(bit_words_, 0);
        for (const ArcFlow& entry : sorted) row.arcs[entry.arc / 32] |= 1u << (entry.arc % 32);
    } else {
        reserve_exactly(row.arcs, sorted.size());
        for (const ArcFlow& entry : sorted) row.arcs.push_back(entry.arc);
    }
    rows_[k] = std::move(row);
}

void DestinationFlows::decode_row(std::size_t k, ArcFlowList& out) const {
    out.clear();
    for_each(k, [&](std::uint32_t arc, float flow) { out.push_back({arc, flow}); });
}

std::vector<float> DestinationFlows::totals() const {
    std::vector<float> totals = filled_vector(arc_count_, 0.0f);
    for (std::size_t k = 0; k < rows_.size(); ++k)
        for_each(k, [&](std::uint32_t arc, float flow) { totals[arc] += flow; });
    return totals;
}

bool DestinationFlows::step_toward(const DestinationFlows& target, float lambda) {
    struct Scratch {
        ArcFlowList from, toward, merged;
    };
    std::atomic<bool> changed = false;
    parallel::for_each_with_state(
        rows_.size(), [] { return Scratch(); },
        [&](Scratch& scratch, std::size_t k) {
            decode_row(k, scratch.from);
            target.decode_row(k, scratch.toward);
            const ArcFlowList& from = scratch.from;
            const ArcFlowList& toward = scratch.toward;
            ArcFlowList& merged = scratch.merged;
            merged.clear();
            bool moved = false;
            auto take = [&](std::uint32_t arc, float v, float y) {
                const float next = v + lambda * (y - v);
                moved |= next != v;
                if (next != 0.0f) merged.push_back({arc, next});
            };
            std::size_t i = 0;
            std::size_t j = 0;
            while (i < from.size() || j < toward.size()) {
                if (j == toward.size() || (i < from.size() && from[i].arc < toward[j].arc)) {
                    take(from[i].arc, from[i].flow, 0.0f);
                    ++i;
                } else if (i == from.size() || toward[j].arc < from[i].arc) {
                    take(toward[j].arc, 0.0f, toward[j].flow);
                    ++j;
                } else {
                    take(from[i].arc, from[i].flow, toward[j].flow);
                    ++i;
                    ++j;
                }
            }
            if (moved) changed.store(true, std::memory_order_relaxed);
            encode_row(k, merged);
        });
    return changed.load();
}

void DestinationFlows::write_dense(std::span<float> block) const {
    std::fill(block.begin(), block.end(), 0.0f);
    for (std::size_t k = 0; k < rows_.size(); ++k)
        for_each(k, [&](std::uint32_t arc, float flow) { block[k * arc_count_ + arc] = flow; });
}

}  // namespace vemo
