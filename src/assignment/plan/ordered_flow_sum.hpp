// Per-destination arc flows summed into one total per arc, in destination order whatever the
// order in which destinations finish: each arc's total is ((0 + flow_0) + flow_1) + ..., the
// same for any number of threads, while only the flows of destinations that finished ahead of
// their turn are held, each as the few arcs its strategy uses.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <span>
#include <vector>

namespace vemo {

struct SparseFlows {
    std::vector<std::size_t> arcs;  // each arc once
    std::vector<float> flows;
};

class OrderedFlowSum {
public:
    explicit OrderedFlowSum(std::span<float> totals) : totals_(totals) {}

    // Destination k's flows: added now if every earlier destination's are, else when they are.
    // Returns a list whose flows have been added, emptied, for the caller to fill again (its
    // memory already mapped and touched), or an empty one when none was freed.
    SparseFlows add(std::size_t k, SparseFlows flows);

private:
    void apply(const SparseFlows& flows);

    std::span<float> totals_;
    std::mutex mutex_;
    std::size_t next_ = 0;
    std::map<std::size_t, SparseFlows> waiting_;
};

}  // namespace vemo
