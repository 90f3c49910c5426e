#include "assignment/utils/sum_flows.hpp"

#include <algorithm>

#include "base/failure.hpp"
#include "parallel/pool.hpp"

namespace vemo {
namespace {

// Outputs per task. Each task walks the blocks in order and adds a contiguous run of each, so
// every output is still one sequential sum in increasing block order.
constexpr std::size_t kOutputGrain = 4096;

}  // namespace

std::vector<float> sum_flows(std::vector<float> flows, std::size_t n) {
    if (n == 0) fail_divide_by_zero();
    const std::size_t block = flows.size() / n;
    return strided_sums(flows, block, block);
}

std::vector<float> strided_sums(std::span<const float> values, std::size_t stride,
                                std::size_t count) {
    const std::size_t length = values.size();
    std::vector<float> totals = filled_vector(count, 0.0f);
    parallel::for_each_chunk(count, kOutputGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t base = 0; base + begin < length; base += stride) {
            const std::size_t stop = std::min(end, length - base);
            for (std::size_t i = begin; i < stop; ++i) totals[i] += values[base + i];
        }
    });
    return totals;
}

}  // namespace vemo
