// TEMPORARY: placeholders until the congested and line-based computations land.
#include "assignment/congested_linear/linear_congested_assign.hpp"
#include "assignment/congested_linear/mat_linear_congested_assign.hpp"
#include "assignment/utils/failure.hpp"

namespace vemo {

Assignment linear_congested_assign(std::vector<std::size_t>, std::vector<std::size_t>,
                                   std::vector<float>, std::vector<float>, std::vector<float>,
                                   std::vector<std::size_t>, float, float, float, float,
                                   std::size_t) {
    fail("not built yet");
}

MatAssignment mat_linear_assign(std::vector<std::vector<std::size_t>>, std::vector<float>,
                                std::vector<std::vector<float>>, std::vector<std::vector<float>>) {
    fail("not built yet");
}

MatAssignment mat_linear_congested_assign(std::vector<std::vector<std::size_t>>,
                                          std::vector<float>, std::vector<std::vector<float>>,
                                          std::vector<std::vector<float>>, float, float, float,
                                          float, std::size_t) {
    fail("not built yet");
}

}  // namespace vemo
