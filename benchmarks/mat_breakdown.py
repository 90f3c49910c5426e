"""Where the time of one mat_linear_assign call goes, on a city of 529 stops and 60 lines.

mat_linear_assign converts the line description, builds the line network (arcs and the demand
vector of every stop but stop 0 as a destination), runs the assignment, and turns the node costs
and arc flows into the stop cost matrix, the arc flow totals and the total cost, which it
converts back. The pieces that can be called on their own are timed here; the rest is found by
difference. How each figure is obtained (best of several runs each, taken in turn):
- whole call: mat_linear_assign.
- conversions in: the same call with one more line of a single stop, which fails when the lines
  are counted, before any arc is built and after every argument has been converted (its
  standard-error report is sent to /dev/null).
- assignment: linear_assign on the equivalent arc list and demand vector (the same arcs in the
  same order, built in Python), less its own conversions, found the same way: the same call
  with destinations that do not exist for the conversions in, and the time to hand back
  results of the same length with as many +0.0 for the conversions out (hand_back.py).
- conversions out: array('f', ...).tolist() on every row of the stop cost matrix and on the
  arc flow totals.
- network construction, total cost, matrix and flow sums: the whole call less the three above.
"""

import argparse
import os
import sys
import time
from array import array

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
# Before vemo's pool starts: its size is fixed at its first use.
os.environ.setdefault("RAYON_NUM_THREADS", "1")

import hand_back  # noqa: E402
import vemo  # noqa: E402
from city_network import City  # noqa: E402
from measure import best_times  # noqa: E402
from timing import failing_call  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--repeats", type=int, default=5)
    args = parser.parse_args()

    city = City(stops=529, routes=30, stops_per_route=25)
    line = (city.alignments, city.freqs, city.travel_time_mat(), city.demands_mat())
    one_stop_more = (city.alignments + [[0]], city.freqs + [1.0], line[2], line[3])

    start = time.perf_counter()
    frm, to, freqs, costs = city.arc_list()
    dsts = list(range(1, city.stop_count))
    demands = city.demand_blocks(dsts, line[3])
    python_build = time.perf_counter() - start
    arcs = (frm, to, freqs, costs, demands)

    matrix, totals, total_cost = vemo.mat_linear_assign(*line)
    assignment_results = vemo.linear_assign(*arcs, dsts)
    node_costs = assignment_results[0]
    nodes = city.node_count
    assert all(matrix[i][j] == node_costs[(j - 1) * nodes + i]
               for i in range(city.stop_count) for j in range(i + 1, city.stop_count)), \
        "the equivalent arc list is not the line network"

    matrix_rows = [array("f", row) for row in matrix]
    totals_out = array("f", totals)
    best = best_times(args.repeats, {
        "whole call": lambda: vemo.mat_linear_assign(*line),
        "mat conversions in": lambda: failing_call(lambda: vemo.mat_linear_assign(*one_stop_more)),
        "mat conversions out": lambda: ([row.tolist() for row in matrix_rows], totals_out.tolist()),
        "assign call": lambda: vemo.linear_assign(*arcs, dsts),
        "assign conversions in": lambda: failing_call(
            lambda: vemo.linear_assign(*arcs, [nodes] * len(dsts))),
        **hand_back.calls(len(dsts) * (nodes + len(frm)),
                          hand_back.positive_zeros(assignment_results), len(dsts)),
    })
    best["assign conversions out"] = hand_back.seconds(best)
    assignment = (best["assign call"] - best["assign conversions in"]
                  - best["assign conversions out"])
    rest = (best["whole call"] - best["mat conversions in"] - best["mat conversions out"]
            - assignment)

    whole = best["whole call"]
    print(f"city: {city.stop_count} stops, {len(city.alignments)} lines, {nodes} nodes, "
          f"{len(frm)} arcs, {len(dsts)} destinations, pool of "
          f"{os.environ['RAYON_NUM_THREADS']} threads; total cost {total_cost:.6g}")
    rows = [
        ("mat_linear_assign, whole call", whole),
        ("  conversions in (line description)", best["mat conversions in"]),
        ("  assignment (linear_assign less its conversions)", assignment),
        ("  network, total cost, matrix and sums (by difference)", rest),
        ("  conversions out (matrix and totals)", best["mat conversions out"]),
        ("for comparison: linear_assign call on the same arcs", best["assign call"]),
        ("  of which conversions in", best["assign conversions in"]),
        ("  of which conversions out", best["assign conversions out"]),
        ("for comparison: building those arcs in Python", python_build),
    ]
    for label, seconds in rows:
        share = f"{seconds / whole:7.1%}" if label.startswith("  ") and "of which" not in label \
            else ""
        print(f"{label:<58}{seconds * 1000:9.1f} ms {share}")
    if rest < 0:
        print("The figure found by difference is below what this comparison resolves: the "
              "machine's noise, and the estimate of linear_assign's conversions out leaves out "
              "its +0.0 results (hand_back.py).")


if __name__ == "__main__":
    main()
