#include "assignment/plan/destination_flows.hpp"

#include <algorithm>
#include <atomic>
#include <limits>
#include <string>

#include "base/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {

DestinationFlows::DestinationFlows(std::size_t destinations, std::size_t arc_count)
    : arc_count_(arc_count) {
    if (arc_count > std::numeric_limits<std::uint32_t>::max())
        fail("the congested models take at most " +
             std::to_string(std::numeric_limits<std::uint32_t>::max()) +
             " arcs; this network has " + std::to_string(arc_count));
    reserve_exactly(rows_, destinations);
    rows_.resize(destinations);
}

void DestinationFlows::sort_row(std::size_t k) {
    std::sort(rows_[k].begin(), rows_[k].end(),
              [](const ArcFlow& a, const ArcFlow& b) { return a.arc < b.arc; });
}

std::vector<float> DestinationFlows::totals() const {
    std::vector<float> totals = filled_vector(arc_count_, 0.0f);
    for (const FlowRow& row : rows_)
        for (const ArcFlow& entry : row) totals[entry.arc] += entry.flow;
    return totals;
}

bool DestinationFlows::step_toward(const DestinationFlows& target, float lambda) {
    std::atomic<bool> changed = false;
    parallel::for_each_with_state(
        rows_.size(), [] { return FlowRow(); },
        [&](FlowRow& merged, std::size_t k) {
            const FlowRow& from = rows_[k];
            const FlowRow& toward = target.rows_[k];
            merged.clear();
            reserve_exactly(merged, from.size() + toward.size());
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
            // Copied rather than swapped: a row keeps room only for as many flows as it has held.
            rows_[k].assign(merged.begin(), merged.end());
        });
    return changed.load();
}

void DestinationFlows::write_dense(std::span<float> block) const {
    std::fill(block.begin(), block.end(), 0.0f);
    for (std::size_t k = 0; k < rows_.size(); ++k)
        for (const ArcFlow& entry : rows_[k]) block[k * arc_count_ + entry.arc] = entry.flow;
}

}  // namespace vemo
