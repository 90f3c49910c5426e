"""Overhead of the congested loop per iteration, against one uncongested assignment.

Each iteration of linear_congested_assign runs one full assignment plus its own work: the
effective frequencies, the averaging of the flows and the relative gap. This measures that own
work on a line network of more than 50,000 arcs and reports it as a share of one assignment.
Target: under 10%.

How each figure is obtained (best of several runs each, taken in turn in this one process):
- assign call: one linear_assign call, conversions included.
- conversions in: the same call with destinations that do not exist, which fails as soon as the
  first destination is looked at, after every argument has been converted (its standard-error
  report is sent to /dev/null).
- conversions out: array('f', ...).tolist() on as many floats as the two result lists hold,
  which makes the same Python floats and lists from 32-bit floats.
- one assignment = assign call − conversions in − conversions out.
- per iteration = (congested call with N iterations − congested call with none) / N; the two
  calls differ only in the iterations, so conversions and the first assignment cancel out.
- Iteration n assigns with its own effective frequencies, which change the strategies and so
  the cost of the search. They are recomputed here in Python, in 32-bit floats, from the
  averaged flows after n − 1 iterations, and linear_assign is timed with them, less the
  conversions.
- loop overhead per iteration = per iteration − the mean of the iterations' assignments.
"""

import argparse
import math
import os
import sys
from array import array

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import vemo  # noqa: E402
from city_network import City  # noqa: E402
from timing import best_times, failing_call  # noqa: E402

INF = math.inf


def volumes_and_inflows(to, flows, arc_count):
    """Per arc, its flow over all destinations; per head node, the flow of the arcs entering it.
    Sums in 32-bit floats, in the loop's order (an array('f') rounds every stored sum)."""
    volumes = array("f", bytes(4 * arc_count))
    for k in range(0, len(flows), arc_count):
        for a, flow in enumerate(flows[k:k + arc_count]):
            volumes[a] += flow
    inflows = array("f", bytes(4 * (max(to) + 1)))
    for a in range(arc_count):
        inflows[to[a]] += volumes[a]
    return volumes, inflows


def boarding_capacity(to, freqs, flows):
    """A capacity per unit of frequency that a fifth of the used boarding arcs exceed."""
    _, inflows = volumes_and_inflows(to, flows, len(freqs))
    loads = sorted(inflows[to[a]] / freq for a, freq in enumerate(freqs)
                   if math.isfinite(freq) and inflows[to[a]] > 0)
    return loads[int(0.8 * len(loads))]


def f32(x):
    return array("f", (x,))[0]


def effective_freqs(to, freqs, averaged_flows, capacity, beta=0.2):
    """The effective frequencies of an iteration, in 32-bit floats as the loop forms them (the
    power rounded from double precision may rarely differ in its last bit)."""
    volumes, inflows = volumes_and_inflows(to, averaged_flows, len(freqs))
    floor = f32(0.001001001)
    capacity, beta = f32(capacity), f32(beta)
    result = []
    for a, freq in enumerate(freqs):
        freq = f32(freq)
        service, inflow, volume = f32(freq * capacity), inflows[to[a]], volumes[a]
        if math.isinf(freq):
            result.append(INF)
        elif service > inflow:
            share = f32(volume / f32(f32(service - inflow) + volume))
            left = f32(freq * f32(1.0 - f32(share ** beta)))
            result.append(floor if left < floor else left)
        else:
            result.append(floor)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--destinations", type=int, default=40)
    parser.add_argument("--iterations", type=int, default=5)
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()

    city = City(stops=2025, routes=340, stops_per_route=30)
    frm, to, freqs, costs = city.arc_list()
    dsts = list(range(0, city.stop_count, city.stop_count // args.destinations))[:args.destinations]
    demands = city.demand_blocks(dsts, city.demands_mat())
    network = (frm, to, freqs, costs, demands)
    result_floats = array("f", bytes(4 * len(dsts) * (city.node_count + len(frm))))
    print(f"network: {city.stop_count} stops, {len(city.alignments)} lines, "
          f"{city.node_count} nodes, "
          f"{len(frm)} arcs, {len(dsts)} destinations, pool of "
          f"{os.environ.get('RAYON_NUM_THREADS', 'default')} threads")

    _, flows = vemo.linear_assign(*network, dsts)  # also starts the worker pool
    capacity = boarding_capacity(to, freqs, flows)

    calls = {
        "assign": lambda: vemo.linear_assign(*network, dsts),
        "conversions in": lambda: failing_call(
            lambda: vemo.linear_assign(*network, [city.node_count] * len(dsts))),
        "conversions out": result_floats.tolist,
        "no iteration": lambda: vemo.linear_congested_assign(*network, dsts, capacity, tol=INF),
        "iterations": lambda: vemo.linear_congested_assign(
            *network, dsts, capacity, 0.1, tol=-INF, max_iters=args.iterations),
    }
    # Iteration n assigns with the effective frequencies of the flows averaged over the n − 1
    # iterations before it (the uncongested flows for n = 1).
    averaged = flows
    for n in range(1, args.iterations + 1):
        if n > 1:
            averaged = vemo.linear_congested_assign(*network, dsts, capacity, 0.1, tol=-INF,
                                                    max_iters=n - 1)[1]
        effective = effective_freqs(to, freqs, averaged, capacity)
        calls[f"iteration {n}"] = (
            lambda effective=effective: vemo.linear_assign(frm, to, effective, costs, demands,
                                                           dsts))
    best = best_times(args.repeats, calls)

    conversions = best["conversions in"] + best["conversions out"]
    one_assignment = best["assign"] - conversions
    per_iteration = (best["iterations"] - best["no iteration"]) / args.iterations
    iteration_assignments = [best[f"iteration {n}"] - conversions
                             for n in range(1, args.iterations + 1)]
    one_effective_assignment = sum(iteration_assignments) / len(iteration_assignments)
    overhead = per_iteration - one_effective_assignment

    print(f"capacity per unit of frequency: {capacity:.1f} (a fifth of the boarding arcs over it)")
    print(f"{'linear_assign call':<40}{best['assign'] * 1000:10.1f} ms")
    print(f"{'  of which conversions in':<40}{best['conversions in'] * 1000:10.1f} ms")
    print(f"{'  of which conversions out':<40}{best['conversions out'] * 1000:10.1f} ms")
    print(f"{'  one assignment':<40}{one_assignment * 1000:10.1f} ms")
    print(f"{'assignment at each iteration':<40}"
          + ", ".join(f"{t * 1000:.1f}" for t in iteration_assignments) + " ms")
    print(f"{'  mean':<40}{one_effective_assignment * 1000:10.1f} ms")
    print(f"{'congested call, no iteration':<40}{best['no iteration'] * 1000:10.1f} ms")
    print(f"{f'congested call, {args.iterations} iterations':<40}"
          f"{best['iterations'] * 1000:10.1f} ms")
    print(f"{'  per iteration':<40}{per_iteration * 1000:10.1f} ms")
    print(f"{'  loop overhead per iteration':<40}{overhead * 1000:10.1f} ms")
    print(f"per iteration / one assignment (nominal freqs): {per_iteration / one_assignment:.3f}")
    print(f"per iteration / its assignment (effective freqs): "
          f"{per_iteration / one_effective_assignment:.3f}")
    print(f"loop overhead / assignment at effective freqs: "
          f"{overhead / one_effective_assignment:.1%} (target under 10%)")


if __name__ == "__main__":
    main()
