// Folding per-destination arc values into one total per arc.
#pragma once

#include <cstddef>
#include <vector>

namespace vemo {

// Splits `flows` into blocks of m = len(flows) / n entries and returns, for every i < m, the sum
// of flows[i + j·m] over every j with i + j·m < len(flows), in increasing j from +0.0. With
// len(flows) = n × arc_count that is the total flow on each arc over all n destinations; entries
// past the last full block fall into the first outputs by the same rule. n = 0 fails with
// "attempt to divide by zero".
std::vector<float> sum_flows(std::vector<float> flows, std::size_t n);

}  // namespace vemo
