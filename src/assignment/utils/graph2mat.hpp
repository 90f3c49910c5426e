// The stop-to-stop matrix of per-destination node values of a line network.
#pragma once

#include <cstddef>
#include <vector>

namespace vemo {

// `values` holds n − 1 destination blocks of equal length e = len(values) / (n − 1), block k for
// destination stop k + 1. Returns the n × n matrix whose entry [i][j], for i < j, is the value of
// node i in the block of stop j; every other entry is 0. n = 0 gives the empty matrix; n = 1
// fails with "attempt to divide by zero", and a block too short to hold every stop fails with an
// index out of bounds.
std::vector<std::vector<float>> graph2mat(std::vector<float> values, std::size_t n);

}  // namespace vemo
