#include "assignment/congested_linear/outgoing_arcs.hpp"

#include "base/failure.hpp"
#include "assignment/utils/grouped_index.hpp"

namespace vemo {

OutgoingArcs outgoing_arcs(std::span<const std::size_t> from, std::size_t node_count) {
    auto tail_of = [&](std::size_t a) { return checked_index(from[a], node_count); };
    OutgoingArcs index{
        .first_out = group_offsets<std::size_t>(from.size(), node_count, tail_of),
        .arcs = filled_vector<std::size_t>(from.size(), 0),
    };
    place_in_groups(index.first_out, from.size(), tail_of,
                    [&](std::size_t slot, std::size_t a) { index.arcs[slot] = a; });
    return index;
}

}  // namespace vemo
