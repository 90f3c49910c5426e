#include "assignment/linear/network.hpp"

#include <algorithm>
#include <limits>

#include "base/failure.hpp"

namespace vemo {
namespace {

std::size_t largest(std::span<const std::size_t> indices, const char* absent) {
    if (indices.empty()) fail_value_absent(absent);
    return *std::max_element(indices.begin(), indices.end());
}

}  // namespace

std::size_t node_count_of(std::span<const std::size_t> from, std::span<const std::size_t> to) {
    const std::size_t largest_from = largest(from, "the arc list `from` is empty");
    const std::size_t largest_index =
        std::max(largest_from, largest(to, "the arc list `to` is empty"));
    if (largest_index == std::numeric_limits<std::size_t>::max()) fail_capacity_overflow();
    return largest_index + 1;
}

Network::Network(ArcList arcs) : arcs_(arcs), node_count_(node_count_of(arcs.from, arcs.to)) {}

void Network::use_frequencies(std::span<const float> arc_freqs) {
    arcs_.arc_freqs = arc_freqs;
    std::visit(
        [&](auto& graph) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(graph)>, std::monostate>)
                graph.use_frequencies(arc_freqs);
        },
        graph_);
}

void Network::use_costs(std::span<const float> costs) {
    arcs_.costs = costs;
    graph_.emplace<std::monostate>();
}

void Network::prepare() {
    if (!std::holds_alternative<std::monostate>(graph_)) return;
    if (SearchGraph<std::uint32_t>::fits(arc_count(), node_count_))
        graph_.emplace<SearchGraph<std::uint32_t>>(arcs_, node_count_);
    else
        graph_.emplace<SearchGraph<std::size_t>>(arcs_, node_count_);
}

}  // namespace vemo
