#include "assignment/utils/graph2mat.hpp"

#include "base/failure.hpp"

namespace vemo {

std::vector<std::vector<float>> graph2mat(std::vector<float> values, std::size_t n) {
    std::vector<std::vector<float>> matrix;
    reserve_exactly(matrix, n);
    for (std::size_t i = 0; i < n; ++i) matrix.push_back(filled_vector(n, 0.0f));
    if (n == 0) return matrix;

    if (n == 1) fail_divide_by_zero();
    const std::size_t block = values.size() / (n - 1);
    // Stop 0 is never a destination, so block j − 1 belongs to stop j and column 0 stays 0.
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            matrix[i][j] = values[checked_index((j - 1) * block + i, values.size())];
        }
    }
    return matrix;
}

}  // namespace vemo
