// The network every assignment reads: four parallel arc sequences and the node count derived
// from them. Shared read-only by all destinations of a call.
#pragma once

#include <cstddef>
#include <span>

namespace vemo {

struct ArcList {
    std::span<const std::size_t> from;
    std::span<const std::size_t> to;
    std::span<const float> arc_freqs;
    std::span<const float> costs;
    std::size_t node_count = 0;

    std::size_t arc_count() const noexcept { return from.size(); }
};

}  // namespace vemo
