"""What `make demo` runs: vemo on embedded example data.

1. The three-node example: a slow direct line, or a fast line to a transfer node and a walk.
2. A larger run: a grid city of crossing bus lines, every stop a destination, timed.
3. The small city of examples/small_city.py, uncongested and congested, with its
   load map drawn to build/demo/small_city_loads.png.
"""

import importlib.util
import math
import random
import runpy
import time
from pathlib import Path

import vemo

INF = math.inf
PICTURE = Path(__file__).resolve().parents[1] / "build" / "demo" / "small_city_loads.png"


def three_node_example():
    print("Three nodes, destination node 2, 60 trips from node 0")
    print("  arc 0: 0 -> 2, frequency 0.125, cost 12  (direct, slow and rare)")
    print("  arc 1: 0 -> 1, frequency 0.5,   cost 5   (frequent, to a transfer point)")
    print("  arc 2: 1 -> 2, walking,         cost 10")
    costs, flows = vemo.linear_assign([0, 0, 1], [2, 1, 2], [0.125, 0.5, INF], [12, 5, 10],
                                      [60, 0, 0], [2])
    print("  node costs:", ", ".join(f"{c:.7g}" for c in costs))
    print("  arc flows: ", ", ".join(f"{f:g}" for f in flows))
    print()


def grid_city(size=12, spacing=2.0, seed=7):
    """Bus lines along every row and column of a size x size grid of stops, both directions.

    Returns the arc list of the line network: boarding arcs (stop -> line-stop node, waiting at
    the line's frequency), in-vehicle arcs and alighting arcs (no waiting), as in the line-based
    functions.
    """
    rng = random.Random(seed)
    lines = []
    for i in range(size):
        row = [i * size + j for j in range(size)]
        col = [j * size + i for j in range(size)]
        lines += [row, row[::-1], col, col[::-1]]
    stops = size * size
    frm, to, freqs, costs = [], [], [], []
    nxt = stops
    for line in lines:
        freq = rng.choice([1 / 5, 1 / 10, 1 / 15])
        for k, stop in enumerate(line):
            if k < len(line) - 1:  # boarding
                frm.append(stop); to.append(nxt + k); freqs.append(freq); costs.append(0.0)
            if k > 0:  # riding from the previous stop, then alighting
                frm.append(nxt + k - 1); to.append(nxt + k); freqs.append(INF)
                costs.append(spacing * rng.uniform(0.8, 1.3))
                frm.append(nxt + k); to.append(stop); freqs.append(INF); costs.append(0.0)
        nxt += len(line)
    return stops, nxt, frm, to, freqs, costs


def larger_run():
    stops, nodes, frm, to, freqs, costs = grid_city()
    dsts = list(range(stops))
    demands = [0.0] * (len(dsts) * nodes)
    for k in range(len(dsts)):
        for i in range(stops):
            if i != k:
                demands[k * nodes + i] = 1.0
    start = time.perf_counter()
    node_costs, arc_flows = vemo.linear_assign(frm, to, freqs, costs, demands, dsts)
    elapsed = time.perf_counter() - start
    print(f"Grid city: {stops} stops, {nodes} nodes, {len(frm)} arcs, {len(dsts)} destinations")
    print(f"  assigned in {elapsed * 1000:.1f} ms")
    corner_to_corner = node_costs[(stops - 1) * nodes + 0]
    print(f"  expected time from stop 0 to stop {stops - 1}: {corner_to_corner:.2f}")
    total = [0.0] * len(frm)
    for k in range(len(dsts)):
        block = arc_flows[k * len(frm):(k + 1) * len(frm)]
        total = [t + f for t, f in zip(total, block)]
    busiest = max(range(len(frm)), key=total.__getitem__)
    print(f"  busiest arc: {frm[busiest]} -> {to[busiest]} carrying {total[busiest]:.1f} trips")
    print()


def main():
    three_node_example()
    larger_run()
    # The load map needs matplotlib, which `make demo` installs.
    picture = PICTURE if importlib.util.find_spec("matplotlib") else None
    small_city = Path(__file__).with_name("small_city.py")
    runpy.run_path(str(small_city))["main"](picture=picture)


if __name__ == "__main__":
    main()
