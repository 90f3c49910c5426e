#include "assignment/linear/load_demand.hpp"

#include <cmath>
#include <cstdint>

namespace vemo {

template <class Index>
void load_demand(const SearchGraph<Index>& graph, DestinationState<Index>& state,
                 std::span<float> arc_flows) {
    std::vector<float>& volumes = state.node_volumes;
    const std::vector<float>& node_frequencies = state.node_frequencies;
    for (auto it = state.strategy.rbegin(); it != state.strategy.rend(); ++it) {
        const auto [a, tail, head, frequency] = graph.at(*it);
        float flow;
        if (std::isinf(frequency)) {
            flow = volumes[tail];
        } else if (node_frequencies[tail] == 0.0f) {
            // Only zero-frequency arcs are attractive here (a line switched off): nothing
            // leaves, instead of 0/0 sending NaN into every flow downstream.
            flow = 0.0f;
        } else {
            flow = (frequency / node_frequencies[tail]) * volumes[tail];
        }
        arc_flows[a] = flow;
        volumes[head] = flow + volumes[head];
    }
}

template void load_demand(const SearchGraph<std::uint32_t>&, DestinationState<std::uint32_t>&,
                          std::span<float>);
template void load_demand(const SearchGraph<std::size_t>&, DestinationState<std::size_t>&,
                          std::span<float>);

}  // namespace vemo
