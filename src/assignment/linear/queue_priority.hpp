// The strategy queue orders arcs by an integer priority made from a cost: the cost times
// -60000, truncated toward zero and saturated to the int32 range. The largest priority is the
// cheapest cost, and the candidate cost the search uses is the one recovered from the
// priority, so costs count in steps of 1/60000 and ties are decided by the heap alone.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace vemo {

inline constexpr float kPriorityScale = -60000.0f;
// The largest float below 2^31 (0x4EFFFFFF): products above it saturate.
inline constexpr float kPrioritySaturation = 2147483520.0f;
inline constexpr std::int32_t kLowestPriority = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int32_t kHighestPriority = std::numeric_limits<std::int32_t>::max();

inline std::int32_t queue_priority(float cost) {
    const float scaled = cost * kPriorityScale;
    // One test for the usual case: NaN fails both comparisons.
    if (scaled > -2147483648.0f && scaled <= kPrioritySaturation) [[likely]]
        return static_cast<std::int32_t>(scaled);  // truncates toward zero
    if (std::isnan(scaled)) return 0;
    return scaled > 0.0f ? kHighestPriority : kLowestPriority;
}

// The cost a popped priority stands for; the lowest priority stands for +infinity.
inline float candidate_cost(std::int32_t priority) {
    if (priority == kLowestPriority) return std::numeric_limits<float>::infinity();
    return static_cast<float>(priority) / kPriorityScale;
}

}  // namespace vemo
