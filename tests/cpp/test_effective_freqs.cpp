#include <gtest/gtest.h>
#include <math.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "core_adapters.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

using testing::effective_freqs;
using testing::failure_message;

constexpr float inf = std::numeric_limits<float>::infinity();

// Arc 0 (the arc under test) and arc 1 (no waiting) both enter node 4, one destination:
// V_0 = volume, T = volume + other.
float single_arc(float freq, float volume, float other, float capacity = 100, float beta = 0.2f) {
    return effective_freqs({freq, inf}, {4, 4}, {volume, other}, capacity, beta)[0];
}

TEST(EffectiveFreqs, FloorIsTheDocumentedFloat) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(kEffectiveFreqFloor), 0x3A833405u);
}

TEST(EffectiveFreqs, WorkedExamples) {
    // μ = 10, T = 8, V_a = 2: r = 0.5 and 0.1 × (1 − 0.5^0.2) ≈ 0.0129449.
    EXPECT_NEAR(single_arc(0.1f, 2, 6), 0.0129449f, 1e-7f);
    // T = V_a = 9.99: r ≈ 0.999 gives ≈ 0.00002, below the floor.
    EXPECT_EQ(single_arc(0.1f, 9.99f, 0), kEffectiveFreqFloor);
    // No flow on the arc itself: r = 0 and the nominal frequency is kept.
    EXPECT_EQ(single_arc(0.1f, 0, 8), 0.1f);
}

TEST(EffectiveFreqs, InfiniteNominalFrequenciesStayInfinite) {
    EXPECT_EQ(effective_freqs({-inf, inf}, {1, 1}, {5, 5}, 100, 0.2f),
              (std::vector<float>{inf, inf}));
}

TEST(EffectiveFreqs, SaturatedOrDegenerateArcsGetTheFloor) {
    EXPECT_EQ(single_arc(0.1f, 4, 6), kEffectiveFreqFloor);          // T = μ
    EXPECT_EQ(single_arc(0.1f, 4, 60), kEffectiveFreqFloor);         // T > μ
    EXPECT_EQ(single_arc(0.0f, 0, 0), kEffectiveFreqFloor);          // zero capacity
    EXPECT_EQ(single_arc(0.1f, 2, 6, 100, 0), kEffectiveFreqFloor);  // powf(r, 0) = 1
    EXPECT_EQ(single_arc(0.1f, 2, 6, NAN), kEffectiveFreqFloor);     // μ is NaN
    EXPECT_TRUE(std::isnan(single_arc(0.1f, 2, 6, 100, NAN)));       // NaN is not floored
}

// The formula as first stated: every sum recomputed for every arc, in the documented order.
std::vector<float> direct_effective_freqs(const std::vector<float>& freqs,
                                          const std::vector<std::size_t>& to,
                                          const std::vector<float>& flows, float capacity,
                                          float beta) {
    const std::size_t n = freqs.size();
    auto volume = [&](std::size_t b) {
        float v = 0.0f;
        for (std::size_t j = b; j < flows.size(); j += n) v += flows[j];
        return v;
    };
    std::vector<float> result(n, inf);
    for (std::size_t a = 0; a < n; ++a) {
        if (std::isinf(freqs[a])) continue;
        float inflow = 0.0f;
        for (std::size_t b = 0; b < to.size(); ++b)
            if (to[b] == to[a]) inflow += volume(b);
        const float mu = freqs[a] * capacity;
        float e = kEffectiveFreqFloor;
        if (mu > inflow) {
            const float v = volume(a);
            e = freqs[a] * (1.0f - powf(v / ((mu - inflow) + v), beta));
            if (e < kEffectiveFreqFloor) e = kEffectiveFreqFloor;
        }
        result[a] = e;
    }
    return result;
}

TEST(EffectiveFreqs, LinearFormMatchesTheDirectFormulaBitForBit) {
    for (const unsigned seed : {1u, 2u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> flow(0, 50), freq(0.01f, 0.5f);
        const std::size_t arcs = 10000, nodes = 50, destinations = 3;  // several tasks
        std::vector<float> freqs(arcs), flows(arcs * destinations);
        std::vector<std::size_t> to(arcs);
        for (std::size_t a = 0; a < arcs; ++a) {
            freqs[a] = a % 5 == 0 ? inf : freq(random);
            to[a] = random() % nodes;
        }
        for (float& f : flows) f = random() % 3 == 0 ? 0.0f : flow(random);
        EXPECT_EQ(effective_freqs(freqs, to, flows, 20, 0.2f),
                  direct_effective_freqs(freqs, to, flows, 20, 0.2f));
    }
}

TEST(EffectiveFreqs, FlowSumsStartingPastTheFlowsFail) {
    // No destinations: arc 0's own sum may start at the end, but arc 1 shares its head.
    EXPECT_EQ(failure_message([] { effective_freqs({0.5f, inf}, {3, 3}, {}, 1, 1); }),
              "range start index 1 out of range for slice of length 0");
    EXPECT_EQ(failure_message([] { effective_freqs({inf, 0.5f}, {3, 4}, {}, 1, 1); }),
              "range start index 1 out of range for slice of length 0");
    // Arc 0 alone at its head reads nothing past the end and succeeds.
    EXPECT_EQ(effective_freqs({0.5f, inf}, {3, 4}, {}, 1, 1), (std::vector<float>{0.5f, inf}));
}

TEST(EffectiveFreqs, MissingHeadOfAFiniteArcFails) {
    EXPECT_EQ(failure_message([] { effective_freqs({inf, 0.5f}, {3}, {1, 1}, 1, 1); }),
              "index out of bounds: the len is 1 but the index is 1");
    // An infinite-frequency arc needs no head.
    EXPECT_EQ(effective_freqs({0.5f, inf}, {3}, {0, 1}, 10, 1), (std::vector<float>{0.5f, inf}));
}

}  // namespace
}  // namespace vemo
