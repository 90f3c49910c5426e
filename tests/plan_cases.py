"""Random networks and lines for the vemo_plan tests, each drawn from a seed, and vemo's
results to compare with."""

import math
import random

import numpy as np

import vemo
from test_mat_linear_assign import random_line_description

INF = math.inf


def random_network(seed, nodes=9, arcs=26, destinations=3):
    """(tail, head, frequency, cost), a dense demand and its destinations. Costs are of at
    least 0.5, off the search's grid, so no two candidates tie."""
    rng = np.random.default_rng(seed)
    tail, head = rng.integers(0, nodes, arcs), rng.integers(0, nodes, arcs)
    frequency = rng.choice(np.float32([0.05, 0.1, 0.125, 0.2, 0.5, 1.0, INF]), arcs)
    cost = rng.uniform(0.5, 20.0, arcs).astype(np.float32)
    node_count = max(tail.max(), head.max()) + 1
    targets = rng.integers(0, node_count, destinations)
    demand = rng.choice(np.float32([0, 0, 1, 2, 5, 10]), (destinations, node_count))
    return (tail, head, frequency, cost), demand, targets


def random_lines(seed, walks=0):
    """(alignments, frequencies, travel_time_mat, demand_mat) as NumPy arrays, and walking
    links between random stops."""
    rng = random.Random(seed)
    alignments, freqs, times, demand = random_line_description(
        rng, stops=rng.randint(2, 9), lines=rng.randint(1, 4))
    stops = len(times)
    walking = (
        [rng.randrange(stops) for _ in range(walks)], [rng.randrange(stops) for _ in range(walks)],
        [float(rng.randint(1, 30)) for _ in range(walks)])
    line = ([np.array(line_stops) for line_stops in alignments], np.array(freqs, np.float32),
            np.array(times, np.float32), np.array(demand, np.float32))
    return line, walking


def same_bits(a, b):
    return a.dtype == b.dtype and a.shape == b.shape and a.tobytes() == b.tobytes()


def vemo_blocks(arcs, demand, destinations, congestion=()):
    """vemo's node costs and per-destination flows for `demand` with its unreachable trips set
    to 0 (vemo_plan does not load them), and that demand. `congestion`: capacity and the
    loop's parameters, for vemo's congested function."""
    arc_lists = [a.tolist() for a in arcs]
    costs, _ = vemo.linear_assign(*arc_lists, demand.ravel().tolist(), destinations.tolist())
    costs = np.asarray(costs, np.float32).reshape(demand.shape)
    loaded = np.where(np.isfinite(costs), demand, np.float32(0))
    call = vemo.linear_congested_assign if congestion else vemo.linear_assign
    costs, flows = call(*arc_lists, loaded.ravel().tolist(), destinations.tolist(), *congestion)
    return (np.asarray(costs, np.float32).reshape(demand.shape),
            np.asarray(flows, np.float32).reshape(len(destinations), -1), loaded)
