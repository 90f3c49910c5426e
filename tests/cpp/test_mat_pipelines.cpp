#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "assignment/congested_linear/mat_linear_congested_assign.hpp"
#include "assignment/linear/mat_linear_assign.hpp"
#include "failure_message.hpp"

namespace vemo {
namespace {

using testing::failure_message;
using Lines = std::vector<std::vector<std::size_t>>;
using Matrix = std::vector<std::vector<float>>;

constexpr float inf = std::numeric_limits<float>::infinity();

struct LineCase {
    Lines alignments;
    std::vector<float> freqs;
    Matrix travel_times;
    Matrix demands;

    MatAssignment assign() const {
        return mat_linear_assign(alignments, freqs, travel_times, demands);
    }
    MatAssignment congested(float capacity, float tol, std::size_t max_iters) const {
        return mat_linear_congested_assign(alignments, freqs, travel_times, demands,
                                           {.capacity = {.shared = capacity},
                                            .average_decay_factor = 0.01f,
                                            .beta = 0.2f,
                                            .tol = tol,
                                            .max_iters = max_iters});
    }
};

// One line 0 -> 1 -> 2 every 2 minutes (frequency 0.5), 10 then 20 minutes in the vehicle.
const LineCase three_stops{{{0, 1, 2}},
                           {0.5f},
                           {{0, 10, 99}, {99, 0, 20}, {99, 99, 0}},
                           {{0, 2, 1}, {0, 0, 3}, {0, 0, 0}}};

void expect_same(const MatAssignment& a, const MatAssignment& b) {
    EXPECT_EQ(a.stop_costs, b.stop_costs);
    EXPECT_EQ(a.arc_flow_totals, b.arc_flow_totals);
    EXPECT_EQ(a.total_cost, b.total_cost);
}

TEST(MatPipelines, OneLineOfTwoStops) {
    const MatAssignment result =
        LineCase{{{0, 1}}, {0.5f}, {{0, 10}, {0, 0}}, {{0, 4}, {0, 0}}}.assign();
    EXPECT_EQ(result.stop_costs, (Matrix{{0, 11}, {0, 0}}));
    EXPECT_EQ(result.arc_flow_totals, (std::vector<float>{4, 4, 4}));
    EXPECT_EQ(result.total_cost, 44);
}

TEST(MatPipelines, OneLineOfThreeStops) {
    const MatAssignment result = three_stops.assign();
    EXPECT_EQ(result.stop_costs, (Matrix{{0, 11, 31}, {0, 0, 21}, {0, 0, 0}}));
    EXPECT_EQ(result.arc_flow_totals, (std::vector<float>{3, 3, 3, 2, 4, 4}));
    EXPECT_EQ(result.total_cost, 116);
}

TEST(MatPipelines, CongestedWithoutIterationsIsTheUncongestedResult) {
    expect_same(three_stops.congested(100, inf, 1000), three_stops.assign());
}

TEST(MatPipelines, DegenerateLineDescriptionsFail) {
    // One stop: a line can only go round from stop 0 to itself, and there is no destination.
    const LineCase one_stop{{{0, 0}}, {0.5f}, {{1}}, {{0}}};
    EXPECT_EQ(failure_message([&] { one_stop.assign(); }), "attempt to divide by zero");
    EXPECT_EQ(failure_message([&] { one_stop.congested(1, 0.001f, 10); }),
              "attempt to divide by zero");
    // No lines: an empty arc list.
    const LineCase no_lines{{}, {}, three_stops.travel_times, three_stops.demands};
    EXPECT_EQ(failure_message([&] { no_lines.assign(); }).rfind("a required value was absent", 0),
              0u);
}

}  // namespace
}  // namespace vemo
