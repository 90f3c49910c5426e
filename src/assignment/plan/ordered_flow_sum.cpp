#include "assignment/plan/ordered_flow_sum.hpp"

#include <utility>

namespace vemo {

void OrderedFlowSum::pass_turn() {
    std::lock_guard lock(mutex_);
    advance();
}

void OrderedFlowSum::add(std::size_t k, SparseFlows flows) {
    std::lock_guard lock(mutex_);
    if (k != next_.load(std::memory_order_relaxed)) {
        waiting_.emplace(k, std::move(flows));
        return;
    }
    apply(flows);
    advance();
}

void OrderedFlowSum::advance() {
    std::size_t next = next_.load(std::memory_order_relaxed) + 1;
    for (auto it = waiting_.begin(); it != waiting_.end() && it->first == next;
         it = waiting_.erase(it)) {
        apply(it->second);
        ++next;
    }
    next_.store(next, std::memory_order_release);
}

void OrderedFlowSum::apply(const SparseFlows& flows) {
    for (std::size_t i = 0; i < flows.arcs.size(); ++i) totals_[flows.arcs[i]] += flows.flows[i];
}

}  // namespace vemo
