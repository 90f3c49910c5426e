"""One planner's call at scale, in this process, whose worker pool has RAYON_NUM_THREADS
threads: build the network of a grid city and assign trips from --origins stops to
--destinations stops, with total flows and three skims kept for those origins. Prints its time
and memory as one JSON object, beside its budget (plan_memory.py) and what vemo.linear_assign
would need for the same work, computed, not run.

The trips are given as (origin, destination position, trips) triples, the grid city's trips
between every origin and destination stop. The peak is the resident set's while the network is
built and the call runs, above the resident set before (inputs built, pool started, freed
memory handed back to the system). linear_assign's result lists hold every node's cost and
every arc's flow per destination, a float object each except +0.0, one shared object: the share
of +0.0 among them is measured on the first --sample destinations (vemo_plan with every node as
origin and flows per destination, the same values), and taken to hold for all.
"""

import argparse
import json
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402
import vemo_plan  # noqa: E402

import plan_calls  # noqa: E402
import plan_memory  # noqa: E402
from measure import (build_identity, peak_resident_bytes, release_freed_memory,  # noqa: E402
                     reset_peak_resident, resident_bytes)
from networks import GridCity, side_for_arcs  # noqa: E402

# Per triple while the call runs: the copies of its origin and position (uint64) and trips
# (float32), and the core's uint64 grouping of triples by destination.
TRIPLE_BYTES = 8 + 8 + 4 + 8


def positive_zero_share(network, triples, dsts, count):
    """The share of +0.0 among linear_assign's results for the first `count` destinations."""
    origins, positions, trips = triples
    first = positions < count
    result = network.assign((origins[first], positions[first], trips[first]), dsts[:count],
                            arc_flows="per_destination")
    values = np.concatenate([result.node_costs.ravel(), result.arc_flows.ravel()])
    return np.count_nonzero((values == 0) & ~np.signbit(values)) / values.size


def measure(args):
    started = time.perf_counter()
    city = GridCity(side_for_arcs(args.arcs))
    arcs = plan_calls.arc_arrays(city)
    dsts = np.asarray(city.destinations(args.destinations), np.int64)
    origins = np.asarray(city.destinations(args.origins), np.int64)  # stops spread likewise
    triples = plan_calls.sparse_trips(origins, dsts)
    skims = plan_calls.skims(arcs[2], arcs[3])
    threads = int(os.environ.get("RAYON_NUM_THREADS", "0"))
    plan_calls.start_pool()
    setup_s = time.perf_counter() - started

    release_freed_memory()
    before = resident_bytes()
    reset_peak_resident()
    started = time.perf_counter()
    network = vemo_plan.Network(*arcs)
    built = time.perf_counter()
    result = network.assign(triples, dsts, skims=skims, origins=origins)
    done = time.perf_counter()
    peak = peak_resident_bytes()

    n, m, k, d = city.node_count, city.arc_count, len(skims), len(dsts)
    memory = plan_memory.call_figures(
        result, n, m, k, min(threads, d),
        plan_memory.copied_input_bytes(TRIPLE_BYTES * len(triples[0]), 0, len(origins), d))
    del result
    share = positive_zero_share(network, triples, dsts, args.sample)
    items = d * (n + m)
    return {
        "threads": threads,
        "vemo_plan_build": build_identity(vemo_plan._core),
        "city": city.describe(),
        "nodes": n,
        "arcs": m,
        "destinations": d,
        "origins": len(origins),
        "triples": len(triples[0]),
        "skims": list(skims),
        "setup_s": setup_s,
        "network_s": built - started,
        "assign_s": done - built,
        "peak_resident_bytes": peak,
        "extra_peak_bytes": peak - before,
        **memory,
        "list_positive_zero_share": share,
        "list_result_bytes": plan_memory.list_api_bytes(d, n, m, round(share * items)),
        "list_demand_bytes": plan_memory.list_demand_bytes(d, n, len(triples[0]) + d),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--arcs", type=int, required=True, help="smallest number of arcs")
    parser.add_argument("--destinations", type=int, required=True)
    parser.add_argument("--origins", type=int, required=True)
    parser.add_argument("--sample", type=int, default=4,
                        help="destinations whose results give the share of +0.0")
    print(json.dumps(measure(parser.parse_args())))


if __name__ == "__main__":
    main()
