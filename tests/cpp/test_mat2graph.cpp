#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "assignment/utils/mat2graph.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

using testing::failure_message;
using Lines = std::vector<std::vector<std::size_t>>;
using Matrix = std::vector<std::vector<float>>;
using Arc = std::tuple<std::size_t, std::size_t, float, float>;

constexpr float inf = std::numeric_limits<float>::infinity();

// travel_time_mat[a][b] = 10a + b + 1, so every arc's time names its stops.
Matrix numbered_times(std::size_t stops) {
    Matrix times(stops, std::vector<float>(stops));
    for (std::size_t a = 0; a < stops; ++a)
        for (std::size_t b = 0; b < stops; ++b) times[a][b] = static_cast<float>(10 * a + b + 1);
    return times;
}

Matrix zeros(std::size_t stops) { return Matrix(stops, std::vector<float>(stops, 0.0f)); }

std::vector<Arc> arcs_of(const LineNetwork& net) {
    std::vector<Arc> arcs;
    for (std::size_t a = 0; a < net.arcs.from.size(); ++a)
        arcs.emplace_back(net.arcs.from[a], net.arcs.to[a], net.arcs.arc_freqs[a],
                          net.arcs.costs[a]);
    return arcs;
}

TEST(Mat2Graph, OneLineEmitsBoardingInVehicleAndAlightingArcsInOrder) {
    const LineNetwork net = mat2graph({{0, 1, 2}}, {0.5f}, numbered_times(3), zeros(3));
    EXPECT_EQ(arcs_of(net), (std::vector<Arc>{{0, 3, 0.5f, 0},
                                              {3, 4, inf, 2},
                                              {1, 4, 0.5f, 0},
                                              {4, 1, inf, 0},
                                              {4, 5, inf, 13},
                                              {5, 2, inf, 0}}));
}

TEST(Mat2Graph, LinesTakeConsecutiveLineStopNodes) {
    const LineNetwork net = mat2graph({{0, 1}, {1, 2}}, {0.5f, 0.25f}, numbered_times(3), zeros(3));
    EXPECT_EQ(arcs_of(net), (std::vector<Arc>{{0, 3, 0.5f, 0},
                                              {3, 4, inf, 2},
                                              {4, 1, inf, 0},
                                              {1, 5, 0.25f, 0},
                                              {5, 6, inf, 13},
                                              {6, 2, inf, 0}}));
    EXPECT_EQ(net.demands.size(), 2u * 7u);  // N = 3 + 2 + 2
}

TEST(Mat2Graph, RepeatedStopsGetALineStopNodeEach) {
    const LineNetwork circular = mat2graph({{0, 1, 0}}, {1.0f}, numbered_times(2), zeros(2));
    EXPECT_EQ(circular.arcs.from, (std::vector<std::size_t>{0, 2, 1, 3, 3, 4}));
    EXPECT_EQ(circular.arcs.to, (std::vector<std::size_t>{2, 3, 3, 1, 4, 0}));

    const LineNetwork twice = mat2graph({{0, 2, 1, 2}}, {1.0f}, numbered_times(3), zeros(3));
    EXPECT_EQ(twice.arcs.from, (std::vector<std::size_t>{0, 3, 2, 4, 4, 1, 5, 5, 6}));
    EXPECT_EQ(twice.arcs.to, (std::vector<std::size_t>{3, 4, 4, 2, 5, 5, 1, 6, 2}));
    EXPECT_EQ(twice.arcs.costs, (std::vector<float>{0, 3, 0, 0, 22, 0, 0, 13, 0}));
}

TEST(Mat2Graph, DemandBlocksPerDestinationStop) {
    // Column 0 and the diagonal are never read.
    const Matrix demands{{9, 1, 2}, {9, 9, 3}, {9, 4, 9}};
    const LineNetwork net = mat2graph({{0, 1, 2}}, {0.5f}, numbered_times(3), demands);
    EXPECT_EQ(net.demands, (std::vector<float>{1, -5, 4, 0, 0, 0,  //
                                               2, 3, -5, 0, 0, 0}));
}

TEST(Mat2Graph, DestinationEntryIsSubtractedOneValueAtATime) {
    // Towards stop 1: 0 − 1e8 − 1 − (−1e8) is +0 in float32 (1e8 + 1 rounds to 1e8), where
    // negating the sum 1e8 + 1 − 1e8 would give −0.
    Matrix demands = zeros(4);
    demands[0][1] = 1e8f;
    demands[2][1] = 1;
    demands[3][1] = -1e8f;
    const LineNetwork net = mat2graph({{0, 1}, {2, 3}}, {1.0f, 1.0f}, numbered_times(4), demands);
    EXPECT_EQ(net.demands[1], 0.0f);
    EXPECT_FALSE(std::signbit(net.demands[1]));
}

TEST(Mat2Graph, NoLinesAndSingleStopNetworks) {
    const LineNetwork none = mat2graph({}, {}, numbered_times(3), zeros(3));
    EXPECT_TRUE(none.arcs.from.empty());
    EXPECT_EQ(none.demands.size(), 2u * 3u);  // N = M without lines

    const LineNetwork single = mat2graph({}, {}, numbered_times(1), zeros(1));
    EXPECT_TRUE(single.demands.empty());
}

TEST(Mat2Graph, BadLineDescriptionsFail) {
    auto build = [](Lines lines, std::vector<float> freqs, Matrix times, Matrix demands) {
        return failure_message([&] { mat2graph(lines, freqs, times, demands); });
    };
    EXPECT_EQ(build({{0, 1}, {5}}, {1, 1}, numbered_times(3), zeros(3)),
              "line 1 has 1 stop; a line needs at least two");
    EXPECT_EQ(build({{}}, {1}, numbered_times(3), zeros(3)),
              "line 0 has 0 stops; a line needs at least two");
    EXPECT_EQ(build({{0, 1}, {1, 2}}, {1}, numbered_times(3), zeros(3)),
              "line 1 has no frequency: freqs has 1 entries");
    EXPECT_EQ(build({{0, 3}}, {1}, numbered_times(3), zeros(3)),
              "stop 3 at position 1 of line 0 is not below the stop count 3 (the rows of "
              "travel_time_mat)");
    // A long row holds a time for stop 3, which would still be taken for a line-stop node.
    EXPECT_EQ(build({{3, 0}}, {1}, Matrix{{0, 1, 2, 3}, {0, 0, 0}, {0, 0, 0}}, zeros(3)),
              "stop 3 at position 0 of line 0 is not below the stop count 3 (the rows of "
              "travel_time_mat)");
    EXPECT_EQ(build({{1, 2}}, {1}, Matrix{{0, 1, 2}, {0, 0}, {0, 0, 0}}, zeros(3)),
              "travel_time_mat row 1 has 2 entries, so it has no travel time to stop 2");
    EXPECT_EQ(build({{0, 1}}, {1}, numbered_times(3), zeros(2)),
              "demands_mat has 2 rows, fewer than the 3 stops");
    EXPECT_EQ(build({{0, 1}}, {1}, numbered_times(3), Matrix{{0, 1, 2}, {0, 0}, {0, 0, 0}}),
              "demands_mat row 1 has 2 entries, so it has no demand to stop 2");
}

}  // namespace
}  // namespace vemo
