// An arc list prepared once for a call: its node count and the search graph that every
// destination's search reads, shared read-only by all of them. The congested loop keeps one for
// all its iterations and only swaps in each iteration's frequencies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <utility>
#include <variant>

#include "assignment/linear/search_graph.hpp"
#include "assignment/utils/arc_list.hpp"
#include "base/failure.hpp"

namespace vemo {

// One more than the largest node index in `from` and in the whole of `to`.
// An empty `from` or `to` is an internal failure.
std::size_t node_count_of(std::span<const std::size_t> from, std::span<const std::size_t> to);

class Network {
public:
    // Fails as node_count_of does. The sequences must outlive the network.
    explicit Network(ArcList arcs);

    const ArcList& arcs() const noexcept { return arcs_; }
    std::size_t node_count() const noexcept { return node_count_; }
    std::size_t arc_count() const noexcept { return arcs_.arc_count(); }

    // Reads the frequencies from `arc_freqs` from now on (it must outlive their use): a search
    // graph already built has its copies rewritten in place, its grouping of arcs kept.
    void use_frequencies(std::span<const float> arc_freqs);

    // Reads the costs from `costs` from now on (it must outlive their use): the search graph,
    // which holds its own copies, is built again by the next prepare().
    void use_costs(std::span<const float> costs);

    // Builds the search graph, whose indices are 32 bits wide when the network allows, unless
    // it is built already. Assignments build it after allocating their results, so that a
    // call too large to hold is refused for its results first.
    void prepare();

    // visit(graph) with the search graph, which prepare() must have built.
    template <class Visit>
    void with_search_graph(Visit&& visit) const {
        std::visit(
            [&](const auto& graph) {
                if constexpr (std::is_same_v<std::decay_t<decltype(graph)>, std::monostate>)
                    fail("the search graph is used before it is built");
                else
                    visit(graph);
            },
            graph_);
    }

private:
    ArcList arcs_;
    std::size_t node_count_;
    std::variant<std::monostate, SearchGraph<std::uint32_t>, SearchGraph<std::size_t>> graph_;
};

}  // namespace vemo
