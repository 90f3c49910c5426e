// Implementation notes. The direct formulation compares every finite-frequency arc with every
// arc to form T; here each V_b is formed once per arc and each T once per head node, which
// gives bit-identical values because every sum keeps its order: V_b adds its destinations in
// increasing order from 0.0, and T adds the V_b of its arcs in increasing b from 0.0.
//
// A sum that would start past the end of the averaged flows (only possible when there are no
// destinations, or with malformed lengths) fails, but only when an arc that needs it is reached,
// in arc order, exactly where the direct formulation would fail: so such sums are noted per head
// node rather than failing up front.
#include "assignment/congested_linear/effective_freqs.hpp"

#include <math.h>

#include <cmath>
#include <limits>

#include "assignment/utils/sum_flows.hpp"
#include "base/failure.hpp"

namespace vemo {
namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

struct HeadInflows {
    std::vector<float> total;            // T per head node
    std::vector<std::size_t> bad_start;  // first arc into the node whose sum cannot start
};

HeadInflows head_inflows(std::span<const std::size_t> to, std::size_t node_count,
                         std::span<const float> volumes, std::size_t flow_count) {
    HeadInflows heads{
        .total = filled_vector(node_count, 0.0f),
        .bad_start = filled_vector(node_count, kNone),
    };
    for (std::size_t b = 0; b < to.size(); ++b) {
        const std::size_t head = to[b];
        if (b > flow_count) {
            if (heads.bad_start[head] == kNone) heads.bad_start[head] = b;
        } else {
            heads.total[head] += volumes[b];
        }
    }
    return heads;
}

}  // namespace

float effective_frequency(float freq, float volume, float inflow, float capacity, float beta) {
    const float service = freq * capacity;
    if (!(service > inflow)) return kEffectiveFreqFloor;  // also when either is NaN
    const float ratio = volume / ((service - inflow) + volume);
    const float freq_left = freq * (1.0f - powf(ratio, beta));
    // NaN compares false and is kept as it is.
    return freq_left < kEffectiveFreqFloor ? kEffectiveFreqFloor : freq_left;
}

std::vector<float> effective_frequencies(std::span<const float> arc_freqs,
                                         std::span<const std::size_t> to, std::size_t node_count,
                                         std::span<const float> averaged_flows,
                                         const ArcCapacity& capacity, float beta) {
    const std::size_t stride = arc_freqs.size();
    std::vector<float> effective = filled_vector(stride, std::numeric_limits<float>::infinity());
    if (stride == 0) return effective;

    // V_b: the entries b, b + stride, b + 2·stride, … of the flows, added in that order to 0.0
    // (0.0 when b is at or past the end).
    const std::size_t flow_count = averaged_flows.size();
    const std::vector<float> volumes = strided_sums(averaged_flows, stride, to.size());
    const HeadInflows heads = head_inflows(to, node_count, volumes, flow_count);

    for (std::size_t a = 0; a < stride; ++a) {
        const float freq = arc_freqs[a];
        if (std::isinf(freq)) continue;
        if (a > flow_count) fail_range_start(a, flow_count);
        const std::size_t head = checked_at(to, a);
        if (heads.bad_start[head] != kNone) fail_range_start(heads.bad_start[head], flow_count);
        effective[a] =
            effective_frequency(freq, volumes[a], heads.total[head], capacity.of(a), beta);
    }
    return effective;
}

}  // namespace vemo
