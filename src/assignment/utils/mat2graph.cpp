#include "assignment/utils/mat2graph.hpp"

#include <limits>
#include <span>
#include <string>

#include "base/failure.hpp"

namespace vemo {
namespace {

using std::to_string;

std::size_t checked_sum(std::size_t a, std::size_t b) {
    std::size_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) fail_capacity_overflow();
    return sum;
}

// Every line is checked here, before any arc is written, so a line too short to have arcs can
// never push its boarding arc past the end of the arc list.
std::size_t count_arcs(const std::vector<std::vector<std::size_t>>& alignments) {
    std::size_t count = 0;
    for (std::size_t line = 0; line < alignments.size(); ++line) {
        const std::size_t stops = alignments[line].size();
        if (stops < 2) {
            fail("line " + to_string(line) + " has " + to_string(stops) +
                 (stops == 1 ? " stop" : " stops") + "; a line needs at least two");
        }
        count = checked_sum(count, checked_size_product(3, stops - 1));
    }
    return count;
}

// A stop index at or beyond M would be taken for a line-stop node, so it is refused even where a
// long row of travel_time_mat happens to hold a time for it.
std::size_t checked_stop(std::span<const std::size_t> line_stops, std::size_t position,
                         std::size_t line, std::size_t stop_count) {
    const std::size_t stop = line_stops[position];
    if (stop >= stop_count) {
        fail("stop " + to_string(stop) + " at position " + to_string(position) + " of line " +
             to_string(line) + " is not below the stop count " + to_string(stop_count) +
             " (the rows of travel_time_mat)");
    }
    return stop;
}

float travel_time(const std::vector<std::vector<float>>& travel_time_mat, std::size_t a,
                  std::size_t b) {
    const std::vector<float>& row = travel_time_mat[a];
    if (b >= row.size()) {
        fail("travel_time_mat row " + to_string(a) + " has " + to_string(row.size()) +
             " entries, so it has no travel time to stop " + to_string(b));
    }
    return row[b];
}

// Destination stop d's block: demands_mat[r][d] at each stop r ≠ d, their negated sum at d
// (subtracted one value at a time from 0.0), zeros elsewhere.
std::vector<float> build_demands(const std::vector<std::vector<float>>& demands_mat,
                                 std::size_t stop_count, std::size_t node_count) {
    if (stop_count < 2) return {};
    if (demands_mat.size() < stop_count) {
        fail("demands_mat has " + to_string(demands_mat.size()) + " rows, fewer than the " +
             to_string(stop_count) + " stops");
    }
    std::vector<float> demands =
        filled_vector(checked_size_product(stop_count - 1, node_count), 0.0f);
    for (std::size_t d = 1; d < stop_count; ++d) {
        cancellation_point();
        float* block = demands.data() + (d - 1) * node_count;
        for (std::size_t r = 0; r < stop_count; ++r) {
            if (r == d) continue;
            const std::vector<float>& row = demands_mat[r];
            if (d >= row.size()) {
                fail("demands_mat row " + to_string(r) + " has " + to_string(row.size()) +
                     " entries, so it has no demand to stop " + to_string(d));
            }
            block[r] = row[d];
            block[d] -= row[d];
        }
    }
    return demands;
}

}  // namespace

LineNetwork mat2graph(std::vector<std::vector<std::size_t>> alignments, std::vector<float> freqs,
                      std::vector<std::vector<float>> travel_time_mat,
                      std::vector<std::vector<float>> demands_mat) {
    constexpr float kNoWait = std::numeric_limits<float>::infinity();
    const std::size_t stop_count = travel_time_mat.size();
    const std::size_t arc_count = count_arcs(alignments);

    LineNetwork net{
        .arcs =
            {
                .from = filled_vector<std::size_t>(arc_count, 0),
                .to = filled_vector<std::size_t>(arc_count, 0),
                .arc_freqs = filled_vector(arc_count, kNoWait),
                .costs = filled_vector(arc_count, 0.0f),
            },
        .demands = {},
    };
    std::size_t slot = 0;
    auto emit = [&](std::size_t tail, std::size_t head, float freq, float cost) {
        net.arcs.from[slot] = tail;
        net.arcs.to[slot] = head;
        net.arcs.arc_freqs[slot] = freq;
        net.arcs.costs[slot] = cost;
        ++slot;
    };

    std::size_t next = stop_count;  // first line-stop node of the current line
    for (std::size_t line = 0; line < alignments.size(); ++line) {
        const std::span<const std::size_t> stops = alignments[line];
        if (line >= freqs.size()) {
            fail("line " + to_string(line) + " has no frequency: freqs has " +
                 to_string(freqs.size()) + " entries");
        }
        const float freq = freqs[line];
        const std::size_t last = stops.size() - 1;
        std::size_t previous = checked_stop(stops, 0, line, stop_count);
        emit(previous, next, freq, 0.0f);
        for (std::size_t k = 1; k <= last; ++k) {
            const std::size_t stop = checked_stop(stops, k, line, stop_count);
            emit(next + k - 1, next + k, kNoWait, travel_time(travel_time_mat, previous, stop));
            if (k < last) emit(stop, next + k, freq, 0.0f);
            emit(next + k, stop, kNoWait, 0.0f);
            previous = stop;
        }
        next = checked_sum(next, stops.size());
    }
    net.demands = build_demands(demands_mat, stop_count, next);
    return net;
}

}  // namespace vemo
