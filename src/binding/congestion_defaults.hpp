// Defaults of the optional parameters of the two congested functions.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vemo {

// The 32-bit floats nearest to 0.01, 0.2 and 0.001.
inline constexpr float kDefaultAverageDecayFactor = 0.01f;
inline constexpr float kDefaultBeta = 0.2f;
inline constexpr float kDefaultTol = 0.001f;
inline constexpr std::size_t kDefaultMaxIters = 1000;

static_assert(std::bit_cast<std::uint32_t>(kDefaultAverageDecayFactor) == 0x3C23D70A);
static_assert(std::bit_cast<std::uint32_t>(kDefaultBeta) == 0x3E4CCCCD);
static_assert(std::bit_cast<std::uint32_t>(kDefaultTol) == 0x3A83126F);

}  // namespace vemo
