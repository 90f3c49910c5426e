"""Overhead of the congested loop per iteration, against one uncongested assignment.

Each iteration of linear_congested_assign runs one full assignment plus its own work: the
effective frequencies, the averaging of the flows and the relative gap. This measures that own
work on a line network of more than 50,000 arcs and reports it as a share of one assignment.
Target: under 10%.

The pool has one thread unless RAYON_NUM_THREADS says otherwise. With more, linear_assign hands
back each destination's results while it computes later ones, so its conversions out overlap
its assignment and cannot be taken out of its time: the figures below then understate one
assignment and overstate the overhead.

How each figure is obtained (best of several runs each, taken in turn in this one process):
- assign call: one linear_assign call, conversions included.
- conversions in: the same call with destinations that do not exist, which fails as soon as the
  first destination is looked at, after every argument has been converted (its standard-error
  report is sent to /dev/null).
- conversions out: the time to hand back results of the same length with as many +0.0
  (hand_back.py): as the uncongested call's for one assignment, as the mean of the block's
  calls for each of them (their flows change with the frequencies), and as the congested
  call's for it.
- one assignment = assign call − conversions in − conversions out.
- congested call: linear_congested_assign running exactly N iterations (tol = −inf).
- the same assignments as separate calls: one timed block of N + 1 linear_assign calls, the
  first with the nominal frequencies and call n + 1 with the effective frequencies of iteration
  n. Those are recomputed here in Python, in 32-bit floats as the loop forms them, from the
  averaged flows after n − 1 iterations. The block runs as long as the congested call, so the
  two see the same kind of interference from other work on the machine.
- loop overhead per iteration = (congested call − its conversions − (block − its
  conversions)) / N: everything else is the same assignments.
"""

import argparse
import math
import os
import sys
from array import array

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
# Before vemo's pool starts: its size is fixed at its first use.
os.environ.setdefault("RAYON_NUM_THREADS", "1")

import hand_back  # noqa: E402
import vemo  # noqa: E402
from city_network import City  # noqa: E402
from measure import best_times  # noqa: E402
from timing import failing_call  # noqa: E402

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
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--destinations", type=int, default=40)
    parser.add_argument("--iterations", type=int, default=5)
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()

    city = City(stops=2025, routes=340, stops_per_route=30)
    frm, to, freqs, costs = city.arc_list()
    dsts = list(range(0, city.stop_count, city.stop_count // args.destinations))[:args.destinations]
    demands = city.demand_blocks(dsts, city.demands_mat())
    network = (frm, to, freqs, costs, demands)
    result_count = len(dsts) * (city.node_count + len(frm))
    print(f"network: {city.stop_count} stops, {len(city.alignments)} lines, "
          f"{city.node_count} nodes, "
          f"{len(frm)} arcs, {len(dsts)} destinations, pool of "
          f"{os.environ['RAYON_NUM_THREADS']} threads")

    uncongested = vemo.linear_assign(*network, dsts)  # also starts the worker pool
    flows = uncongested[1]
    capacity = boarding_capacity(to, freqs, flows)

    # Call n + 1 of the block assigns with the effective frequencies of iteration n, formed from
    # the flows averaged over the n − 1 iterations before it (the uncongested flows for n = 1).
    block_freqs, averaged = [freqs], flows
    for n in range(1, args.iterations + 1):
        if n > 1:
            averaged = vemo.linear_congested_assign(*network, dsts, capacity, 0.1, tol=-INF,
                                                    max_iters=n - 1)[1]
        block_freqs.append(effective_freqs(to, freqs, averaged, capacity))

    congested = vemo.linear_congested_assign(*network, dsts, capacity, 0.1, tol=-INF,
                                             max_iters=args.iterations)

    def block():
        # Returned, so that the results are freed outside the timing, as a single call's are.
        return [vemo.linear_assign(frm, to, block_freq, costs, demands, dsts)
                for block_freq in block_freqs]

    block_zeros = [hand_back.positive_zeros(results) for results in block()]

    best = best_times(args.repeats, {
        "assign": lambda: vemo.linear_assign(*network, dsts),
        "conversions in": lambda: failing_call(
            lambda: vemo.linear_assign(*network, [city.node_count] * len(dsts))),
        **hand_back.calls(result_count, hand_back.positive_zeros(uncongested), len(dsts)),
        **hand_back.calls(result_count, round(sum(block_zeros) / len(block_zeros)), len(dsts),
                          "block "),
        **hand_back.calls(result_count, hand_back.positive_zeros(congested), len(dsts),
                          "congested "),
        "congested": lambda: vemo.linear_congested_assign(
            *network, dsts, capacity, 0.1, tol=-INF, max_iters=args.iterations),
        "block": block,
    })

    n = args.iterations
    best["conversions out"] = hand_back.seconds(best)
    one_assignment = best["assign"] - best["conversions in"] - best["conversions out"]
    block_conversions = best["conversions in"] + hand_back.seconds(best, "block ")
    block_assignments = best["block"] - (n + 1) * block_conversions
    congested_conversions = best["conversions in"] + hand_back.seconds(best, "congested ")
    overhead = (best["congested"] - congested_conversions - block_assignments) / n
    mean_assignment = block_assignments / (n + 1)

    print(f"capacity per unit of frequency: {capacity:.1f} (a fifth of the boarding arcs over it)")
    rows = [
        ("linear_assign call", best["assign"]),
        ("  of which conversions in", best["conversions in"]),
        ("  of which conversions out", best["conversions out"]),
        ("  one assignment", one_assignment),
        (f"congested call, {n} iterations", best["congested"]),
        (f"the same {n + 1} assignments as separate calls", best["block"]),
        ("  their mean assignment, less conversions", mean_assignment),
        ("loop overhead per iteration", overhead),
    ]
    for label, seconds in rows:
        print(f"{label:<48}{seconds * 1000:10.1f} ms")
    print(f"loop overhead per iteration / one assignment: {overhead / mean_assignment:.1%} "
          f"(target under 10%)")
    if overhead < 0:
        print("The overhead is below what this comparison resolves: besides the machine's noise, "
              "each separate call also pays for what a call does once, such as allocating its "
              "results.")


if __name__ == "__main__":
    main()
