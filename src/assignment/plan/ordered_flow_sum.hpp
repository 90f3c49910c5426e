// Per-destination arc flows summed into one total per arc, in destination order whatever the
// order in which destinations finish: each arc's total is ((0 + flow_0) + flow_1) + ..., the
// same for any number of threads.
//
// A destination whose turn it is (every earlier one added) adds its flows straight into the
// totals, with no copy and no lock: no other destination can be added before it, so its worker
// alone writes them. Only a destination that finishes ahead of its turn is held, as the few arcs
// its strategy uses, until every earlier one is in.
#pragma once

#include <atomic>
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

    // Whether destination k may add its flows into totals() now. Once true it stays true until
    // k's worker calls pass_turn(), and only that worker may write the totals meanwhile.
    bool in_turn(std::size_t k) const noexcept {
        return next_.load(std::memory_order_acquire) == k;
    }
    std::span<float> totals() const noexcept { return totals_; }

    // The destination in turn has added its flows: adds those of the destinations held behind it.
    void pass_turn();

    // Destination k's flows: added now if every earlier destination's are, else when they are.
    void add(std::size_t k, SparseFlows flows);

private:
    void apply(const SparseFlows& flows);
    // With the lock held: destination `next_` is in; adds the held ones that follow.
    void advance();

    std::span<float> totals_;
    std::mutex mutex_;
    std::atomic<std::size_t> next_ = 0;  // changed only with the lock held
    std::map<std::size_t, SparseFlows> waiting_;
};

}  // namespace vemo
