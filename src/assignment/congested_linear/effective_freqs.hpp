// Effective frequencies: nominal frequencies lowered where the flow entering an arc's head node
// approaches the arc's capacity (nominal frequency × capacity).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vemo {

// The lowest effective frequency of a finite-frequency arc: 0.001001001, not 0.001.
inline constexpr float kEffectiveFreqFloor = std::bit_cast<float>(std::uint32_t{0x3A833405});

// The capacity per unit of frequency of each arc: one value for every arc, or one per arc.
struct ArcCapacity {
    float shared = 0.0f;
    std::span<const float> per_arc = {};  // empty: `shared` for every arc

    float of(std::size_t a) const noexcept { return per_arc.empty() ? shared : per_arc[a]; }
};

// One arc's effective frequency: freq × (1 − powf(volume / ((μ − inflow) + volume), beta)) with
// μ = freq × capacity, raised to the floor if below it; the floor when μ ≤ inflow or either is
// NaN.
float effective_frequency(float freq, float volume, float inflow, float capacity, float beta);

// One entry per arc a of arc_freqs (n = len(arc_freqs) arcs, the stride of the destination blocks
// of `averaged_flows`):
// - +inf when arc_freqs[a] is infinite;
// - otherwise, with V_a the averaged flow of arc a over all destinations, T the sum of V_b over
//   every arc b of `to` entering to[a] and μ = arc_freqs[a] × capacity.of(a): when μ > T,
//   arc_freqs[a] × (1 − powf(V_a / ((μ − T) + V_a), beta)) raised to the floor if below it;
//   else the floor.
// Every entry of `to` must be below node_count. Fails with an index out of bounds when `to` has
// no head for a finite-frequency arc, and with a range start failure when a flow sum would start
// past the end of `averaged_flows`.
std::vector<float> effective_frequencies(std::span<const float> arc_freqs,
                                         std::span<const std::size_t> to, std::size_t node_count,
                                         std::span<const float> averaged_flows,
                                         const ArcCapacity& capacity, float beta);

}  // namespace vemo
