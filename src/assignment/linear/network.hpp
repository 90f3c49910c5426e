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

#include "assignment/utils/arc_list.hpp"
#include "assignment/linear/search_graph.hpp"

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
    // The tail of every arc.
    std::span<const std::size_t> tails() const noexcept { return arcs_.from; }

    // Reads the frequencies from `arc_freqs` from now on (it must outlive their use): a search
    // graph already built has its copies rewritten in place, its grouping of arcs kept.
    void use_frequencies(std::span<const float> arc_freqs);

    // visit(graph) with the search graph, whose indices are 32 bits wide when the network
    // allows. The graph is built at the first visit, on the calling thread, so that a call's
    // results are allocated (and refused, if too large) before it.
    template <class Visit>
    void with_search_graph(Visit&& visit) {
        if (std::holds_alternative<std::monostate>(graph_)) build_search_graph();
        std::visit(
            [&](const auto& graph) {
                if constexpr (!std::is_same_v<std::decay_t<decltype(graph)>, std::monostate>)
                    visit(graph);
            },
            graph_);
    }

private:
    void build_search_graph();

    ArcList arcs_;
    std::size_t node_count_;
    std::variant<std::monostate, SearchGraph<std::uint32_t>, SearchGraph<std::size_t>> graph_;
};

}  // namespace vemo
