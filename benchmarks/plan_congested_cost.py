"""What one iteration of vemo_plan's congested loop costs: a congested call with exactly one
iteration (max_iters=1, tol=0) against the uncongested call, both with three skims and total
flows, on the same grid city (42,480 arcs, 96 destinations, every stop an origin), one thread
unless RAYON_NUM_THREADS says otherwise. Such a call runs two assignments (the nominal one and
the iteration's) plus the loop's own work, so 2 is its floor.

    python benchmarks/plan_congested_cost.py [--rounds N]
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("RAYON_NUM_THREADS", "1")

import numpy as np  # noqa: E402
import vemo_plan  # noqa: E402
from measure import median_ratio, round_times  # noqa: E402
from networks import GridCity  # noqa: E402
from plan_calls import arc_arrays, skims, sparse_trips, start_pool  # noqa: E402

SIDE = 60  # 12 x 60 x 59 = 42,480 arcs
DESTINATIONS = 96


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rounds", type=int, default=10)
    args = parser.parse_args()
    city = GridCity(SIDE)
    tail, head, frequency, cost = arc_arrays(city)
    network = vemo_plan.Network(tail, head, frequency, cost)
    stops = np.arange(city.stop_count)
    destinations = stops[:: max(1, len(stops) // DESTINATIONS)][:DESTINATIONS]
    trips = sparse_trips(stops, destinations)
    columns = skims(frequency, cost)
    start_pool()
    calls = {
        "uncongested": lambda: network.assign(trips, destinations, skims=columns, origins=stops),
        "congested, 1 iteration": lambda: network.assign_congested(
            trips, destinations, 50.0, vemo_plan.AveragingModel(tol=0.0, max_iters=1),
            skims=columns, origins=stops),
    }
    times = round_times(args.rounds, calls)
    print(f"{network.arc_count} arcs, {len(destinations)} destinations, "
          f"{os.environ['RAYON_NUM_THREADS']} thread(s), {args.rounds} rounds")
    for name, runs in times.items():
        print(f"  {name}: best {min(runs) * 1000:.1f} ms")
    ratio = median_ratio(times, "congested, 1 iteration", "uncongested")
    print(f"  congested (1 iteration) / uncongested, median of rounds: {ratio:.2f}")


if __name__ == "__main__":
    main()
