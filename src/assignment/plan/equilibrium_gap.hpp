// The relative gap of the planner's congested equilibria, one definition for stopping and for
// reporting:
//
//   gap = (TC - MC) / TC
//   TC  = Σ_a t_a V_a + Σ_k Σ_i 0.5 max_{a out of i} v^k_a / f_a     the flows' total cost
//   MC  = Σ_k Σ_i g^k_i u^k_i                                       the cheapest total cost
//
// with v^k the flows toward destination k and V their sum over destinations, t_a and f_a the arc
// costs and frequencies those flows produce (an arc of infinite frequency adds no wait), g^k_i the
// trips from node i toward k that can arrive, and u^k_i the cost of i's cheapest strategy toward
// k under t and f. The waiting term is Spiess and Florian's, with the same factor 0.5 as the
// costs: flows that follow one strategy each have the same v^k_a / f_a = V^k_i / F_i on every
// attractive arc out of i, so their TC is the trips' expected cost, and TC = MC exactly at an
// equilibrium; for any other flows TC > MC, since the optimal strategies minimise TC. Sums are in
// double, destinations added in order.
#pragma once

#include <cstddef>
#include <span>

#include "assignment/plan/destination_flows.hpp"
#include "assignment/utils/arc_list.hpp"

namespace vemo {

// Σ_k Σ_i 0.5 max_{a out of i} v^k_a / f_a over the destinations of `flows`, f the given
// frequencies.
double strategy_waiting(const ArcList& arcs, std::span<const float> frequencies,
                        const DestinationFlows& flows, std::size_t node_count);

// Σ_a t_a V_a.
double flow_cost(std::span<const float> costs, std::span<const float> totals);

// (total - minimal) / total; 0 when total is 0 (no trip loaded).
double equilibrium_gap(double total, double minimal);

}  // namespace vemo
