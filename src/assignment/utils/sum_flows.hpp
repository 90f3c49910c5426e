// Folding per-destination arc values into one total per arc.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace vemo {

// Splits `flows` into blocks of m = len(flows) / n entries and returns, for every i < m, the sum
// of flows[i + j·m] over every j with i + j·m < len(flows), in increasing j from +0.0. With
// len(flows) = n × arc_count that is the total flow on each arc over all n destinations; entries
// past the last full block fall into the first outputs by the same rule. n = 0 fails with
// "attempt to divide by zero".
std::vector<float> sum_flows(std::vector<float> flows, std::size_t n);

// For every i < count, the sum of values[i + j·stride] over every j with i + j·stride <
// len(values), in increasing j from +0.0: per-destination values with a block stride folded
// into one total each. A stride of 0 with a count above 0 is undefined.
std::vector<float> strided_sums(std::span<const float> values, std::size_t stride,
                                std::size_t count);

}  // namespace vemo
