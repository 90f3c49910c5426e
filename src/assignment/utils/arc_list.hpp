// The arc list every assignment reads: four parallel arc sequences, as the caller gave them.
// Their lengths may differ; the computation fails where it would read past the end of one.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace vemo {

// A read-only view of the four sequences.
struct ArcList {
    std::span<const std::size_t> from;
    std::span<const std::size_t> to;
    std::span<const float> arc_freqs;
    std::span<const float> costs;

    std::size_t arc_count() const noexcept { return from.size(); }
};

// The four sequences owned: what the Python layer converts and what mat2graph builds.
struct ArcVectors {
    std::vector<std::size_t> from;
    std::vector<std::size_t> to;
    std::vector<float> arc_freqs;
    std::vector<float> costs;

    ArcList view() const noexcept { return {from, to, arc_freqs, costs}; }
};

}  // namespace vemo
