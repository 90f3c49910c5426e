// The demand of a planning assignment: one dense block of node_count trips per destination, or
// (origin node, destination position, trips) triples, of which repeated pairs add.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace vemo {

class PlanDemand {
public:
    // Block k of `blocks` (node_count entries) toward destination k.
    static PlanDemand dense(std::span<const float> blocks);

    // Triples; every origin must be below node_count and every position below `destinations`.
    static PlanDemand triples(std::span<const std::size_t> origins,
                              std::span<const std::size_t> positions, std::span<const float> trips,
                              std::size_t destinations);

    // Writes destination k's trips from every node into `volumes` (node_count entries): the
    // triples of one pair add in the order given, from 0.
    void fill(std::size_t k, std::span<float> volumes) const;

private:
    bool dense_ = false;
    std::span<const float> blocks_;
    std::span<const std::size_t> origins_;
    std::span<const float> trips_;
    std::vector<std::size_t> first_of_;     // per destination position, into by_position_
    std::vector<std::size_t> by_position_;  // triple indices grouped by position, in order
};

}  // namespace vemo
