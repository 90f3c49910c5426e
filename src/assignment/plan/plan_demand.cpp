#include "assignment/plan/plan_demand.hpp"

#include <algorithm>

#include "assignment/utils/grouped_index.hpp"
#include "base/failure.hpp"

namespace vemo {

PlanDemand PlanDemand::dense(std::span<const float> blocks) {
    PlanDemand demand;
    demand.dense_ = true;
    demand.blocks_ = blocks;
    return demand;
}

PlanDemand PlanDemand::triples(std::span<const std::size_t> origins,
                               std::span<const std::size_t> positions, std::span<const float> trips,
                               std::size_t destinations) {
    PlanDemand demand;
    demand.origins_ = origins;
    demand.trips_ = trips;
    auto position_of = [&](std::size_t t) { return checked_index(positions[t], destinations); };
    demand.first_of_ = group_offsets<std::size_t>(positions.size(), destinations, position_of);
    demand.by_position_ = filled_vector<std::size_t>(positions.size(), 0);
    place_in_groups(demand.first_of_, positions.size(), position_of,
                    [&](std::size_t slot, std::size_t t) { demand.by_position_[slot] = t; });
    return demand;
}

void PlanDemand::fill(std::size_t k, std::span<float> volumes) const {
    if (dense_) {
        const std::size_t n = volumes.size();
        std::copy_n(blocks_.begin() + k * n, n, volumes.begin());
        return;
    }
    std::fill(volumes.begin(), volumes.end(), 0.0f);
    for (std::size_t slot = first_of_[k]; slot < first_of_[k + 1]; ++slot) {
        const std::size_t t = by_position_[slot];
        volumes[checked_index(origins_[t], volumes.size())] += trips_[t];
    }
}

}  // namespace vemo
