#include "assignment/plan/ordered_flow_sum.hpp"

#include <utility>

namespace vemo {

SparseFlows OrderedFlowSum::add(std::size_t k, SparseFlows flows) {
    std::lock_guard lock(mutex_);
    if (k != next_) {
        waiting_.emplace(k, std::move(flows));
        return {};
    }
    apply(flows);
    ++next_;
    for (auto it = waiting_.begin(); it != waiting_.end() && it->first == next_;
         it = waiting_.erase(it)) {
        apply(it->second);
        ++next_;
    }
    flows.arcs.clear();
    flows.flows.clear();
    return flows;
}

void OrderedFlowSum::apply(const SparseFlows& flows) {
    for (std::size_t i = 0; i < flows.arcs.size(); ++i) totals_[flows.arcs[i]] += flows.flows[i];
}

}  // namespace vemo
