// Implementation notes. Flows are kept per destination (v, sparse rows: destination_flows.hpp)
// beside the latest assignment's loading of every destination's strategy (y, the same). Pass 0
// assigns under the nominal network, counts the trips that cannot arrive and starts v at its
// loading. Iteration n then sets the network the flows v produce (effective frequencies or crowded
// costs from its totals), assigns under it, which gives the cheapest costs and y, and measures the
// gap of v (equilibrium_gap.hpp). It stops there at the tolerance or the iteration limit, so that
// the flows returned are those whose gap was measured and the network the one they produce;
// otherwise v moves toward y by a step λ: v + λ (y - v), in float32, element by element. The
// capacity model takes a self-regulated average (averaging_step): a step that shrinks fast after
// the gap rises and slowly while it falls; the crowding model the λ in [0, 1] that minimises its
// objective along y - v, found by bisection on the objective's derivative, whose waiting part is
// taken along the chord from W(v) to W(y) (an upper bound, W being convex): the step never raises
// the objective. A step that leaves v unchanged bit for bit ends the loop as settled. Flows over a
// boarding arc's capacity with a gap that has not improved for kStalledIterations end it as over
// capacity: demand that the lines cannot carry has no equilibrium within capacity to approach.
#include "assignment/plan/equilibrium.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "assignment/congested_linear/effective_freqs.hpp"
#include "assignment/plan/destination_flows.hpp"
#include "assignment/plan/equilibrium_gap.hpp"
#include "assignment/plan/plan_run.hpp"
#include "assignment/utils/grouped_index.hpp"
#include "base/cancellation.hpp"
#include "base/failure.hpp"

namespace vemo {
namespace {

using plan_detail::LoopPass;
using plan_detail::PlanRun;

constexpr int kBisections = 50;
// Measured on real feeds near capacity: against the method of successive averages (both 1) and
// other pairs, these reach gaps of 1e-4 in two to three times fewer iterations.
constexpr double kGrowthOnRise = 1.2;
constexpr double kGrowthOnFall = 0.05;
// Iterations without a better gap after which flows over capacity end the loop.
constexpr std::size_t kStalledIterations = 25;

// The crowding model's time of an arc at `load`, in double.
double crowded_time(double cost, double capacity, double alpha, double beta, double load) {
    if (!std::isfinite(capacity) || load <= 0.0) return cost;
    return cost * (1.0 + alpha * std::pow(load / capacity, beta));
}

class EquilibriumLoop {
public:
    EquilibriumLoop(const ArcList& arcs, const PlanInputs& inputs, const PlanOutputs& outputs,
                    const EquilibriumSettings& settings)
        : nominal_(arcs),
          inputs_(inputs),
          outputs_(outputs),
          settings_(settings),
          network_(arcs),
          destinations_(inputs.dsts.size()),
          arc_count_(arcs.arc_count()),
          flows_(destinations_, arc_count_),
          loaded_(destinations_, arc_count_),
          frequencies_(arcs.arc_freqs.begin(), arcs.arc_freqs.end()),
          costs_(arcs.costs.begin(), arcs.costs.end()) {
        auto tail_of = [&](std::size_t a) { return nominal_.from[a]; };
        const std::size_t node_count = network_.node_count();
        first_out_ = group_offsets<std::size_t>(arc_count_, node_count, tail_of);
        out_arcs_ = filled_vector<std::size_t>(arc_count_, 0);
        place_in_groups(first_out_, arc_count_, tail_of,
                        [&](std::size_t slot, std::size_t a) { out_arcs_[slot] = a; });
    }

    EquilibriumResult run(const FunctionRef<void(std::size_t, double)>* on_iteration) {
        EquilibriumResult result;
        assign(true, false);
        flows_.swap(loaded_);
        for (std::size_t n = 1;; ++n) {
            cancellation_point();
            const std::vector<float> totals = flows_.totals();
            use_network_of(totals);
            const double waiting =
                strategy_waiting(nominal_, frequencies_, flows_, network_.node_count());
            const double total = flow_cost(costs_, totals) + waiting;
            const Assigned assigned = assign(false, true);
            result.total_cost = assigned.total_cost;
            const double gap = equilibrium_gap(total, assigned.minimal_cost);
            result.gaps.push_back(gap);
            if (on_iteration != nullptr) (*on_iteration)(n, gap);
            if (!(gap > settings_.tol)) {
                result.stop_reason = StopReason::tolerance;
                break;
            }
            if (n == settings_.max_iters) {
                result.stop_reason = StopReason::iteration_limit;
                break;
            }
            if (gap < best_gap_) {
                best_gap_ = gap;
                best_at_ = n;
            }
            if (over_capacity_ && n - best_at_ >= kStalledIterations) {
                result.stop_reason = StopReason::over_capacity;
                break;
            }
            const double lambda = settings_.model == EquilibriumModel::capacity
                                      ? averaging_step(result.gaps)
                                      : crowding_step(totals, assigned.minimal_cost, waiting);
            if (!flows_.step_toward(loaded_, static_cast<float>(lambda))) {
                result.stop_reason = StopReason::settled;
                break;
            }
        }
        return result;
    }

    // The flows whose gap was last measured, as the planner asked for them, and the network
    // they produce.
    void write(std::span<float> arc_values) const {
        if (outputs_.flow_result == FlowResult::per_destination) {
            flows_.write_dense(outputs_.arc_flows);
        } else if (outputs_.flow_result == FlowResult::total) {
            const std::vector<float> totals = flows_.totals();
            std::copy(totals.begin(), totals.end(), outputs_.arc_flows.begin());
        }
        const std::vector<float>& values =
            settings_.model == EquilibriumModel::capacity ? frequencies_ : costs_;
        std::copy(values.begin(), values.end(), arc_values.begin());
    }

private:
    struct Assigned {
        float total_cost;
        double minimal_cost;  // MC of the gap
    };

    // One assignment under the network in use, its loading of every strategy into loaded_.
    Assigned assign(bool first, bool writes_results) {
        const LoopPass pass{{}, {}, &loaded_, first, writes_results};
        PlanRun run(network_, inputs_, outputs_, &pass);
        const float total_cost = run.run(nullptr);
        double minimal = 0.0;
        for (const double cost : run.precise_costs()) minimal += cost;
        return {total_cost, minimal};
    }

    // The riders on board once boarding arc a's riders are on: the flow out of its head on
    // every arc but those back to its tail, the alighting where one boards. Riders getting off
    // there leave their room to those getting on.
    float on_board(std::size_t a, std::span<const float> totals) const {
        const std::size_t head = nominal_.to[a];
        float riders = 0.0f;
        for (std::size_t slot = first_out_[head]; slot < first_out_[head + 1]; ++slot) {
            const std::size_t b = out_arcs_[slot];
            if (nominal_.to[b] != nominal_.from[a]) riders += totals[b];
        }
        return riders;
    }

    // Self-regulated averaging: λ = 1 / η, η growing by kGrowthOnRise after a gap that did not
    // fall (the flows overshot: the next steps must be shorter) and by kGrowthOnFall after one
    // that fell. With both growths 1 this is the method of successive averages, λ = 1 / (n + 1).
    double averaging_step(const std::vector<double>& gaps) {
        const std::size_t n = gaps.size();
        step_divisor_ += n >= 2 && !(gaps[n - 1] < gaps[n - 2]) ? kGrowthOnRise : kGrowthOnFall;
        return 1.0 / step_divisor_;
    }

    void use_network_of(std::span<const float> totals) {
        if (settings_.model == EquilibriumModel::capacity) {
            over_capacity_ = false;
            for (std::size_t a = 0; a < arc_count_; ++a) {
                const float frequency = nominal_.arc_freqs[a];
                if (std::isinf(frequency)) continue;
                const float riders = on_board(a, totals);
                const float capacity = settings_.capacity.of(a);
                over_capacity_ |= riders > frequency * capacity;
                frequencies_[a] =
                    effective_frequency(frequency, totals[a], riders, capacity, settings_.beta);
            }
            network_.use_frequencies(frequencies_);
            return;
        }
        for (std::size_t a = 0; a < arc_count_; ++a) {
            costs_[a] =
                static_cast<float>(crowded_time(nominal_.costs[a], settings_.capacity.of(a),
                                                settings_.alpha, settings_.beta, totals[a]));
        }
        network_.use_costs(costs_);
    }

    // The λ in [0, 1] where the derivative of the crowding objective along y - v,
    //   Σ_a t_a(V_a + λ D_a) D_a + (W(y) - W(v)),   D = Y - V,
    // changes sign. W(y) = MC - Σ_a t_a Y_a: the loading of the cheapest strategies costs MC.
    double crowding_step(std::span<const float> totals, double minimal, double waiting) const {
        const std::vector<float> loaded = loaded_.totals();
        const double waiting_change = (minimal - flow_cost(costs_, loaded)) - waiting;
        auto slope = [&](double lambda) {
            double sum = waiting_change;
            for (std::size_t a = 0; a < arc_count_; ++a) {
                const double change = static_cast<double>(loaded[a]) - totals[a];
                if (change == 0.0) continue;
                sum += change * crowded_time(nominal_.costs[a], settings_.capacity.of(a),
                                             settings_.alpha, settings_.beta,
                                             totals[a] + lambda * change);
            }
            return sum;
        };
        if (!(slope(1.0) > 0.0)) return 1.0;
        double low = 0.0;
        double high = 1.0;
        for (int i = 0; i < kBisections; ++i) {
            const double middle = 0.5 * (low + high);
            (slope(middle) > 0.0 ? high : low) = middle;
        }
        return 0.5 * (low + high);
    }

    const ArcList nominal_;
    const PlanInputs& inputs_;
    const PlanOutputs& outputs_;
    const EquilibriumSettings& settings_;
    Network network_;
    std::size_t destinations_;
    std::size_t arc_count_;
    DestinationFlows flows_;
    DestinationFlows loaded_;
    std::vector<float> frequencies_;  // in use
    std::vector<float> costs_;        // in use
    double step_divisor_ = 1.0;       // η of averaging_step
    double best_gap_ = std::numeric_limits<double>::infinity();
    std::size_t best_at_ = 0;             // the iteration of best_gap_
    bool over_capacity_ = false;          // some boarding arc's riders on board exceed its capacity
    std::vector<std::size_t> first_out_;  // arcs by tail node, compressed rows
    std::vector<std::size_t> out_arcs_;
};

}  // namespace

EquilibriumResult plan_equilibrium(const ArcList& arcs, const PlanInputs& inputs,
                                   const PlanOutputs& outputs, const EquilibriumSettings& settings,
                                   const FunctionRef<void(std::size_t, double)>* on_iteration,
                                   std::span<float> arc_values) {
    EquilibriumLoop loop(arcs, inputs, outputs, settings);
    EquilibriumResult result = loop.run(on_iteration);
    loop.write(arc_values);
    return result;
}

}  // namespace vemo
