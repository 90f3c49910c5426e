"""vemo_plan's side of the benchmarks: the grid city's arcs, trips and skims as NumPy arrays,
and the core's computation timed without what the package does around it."""

import numpy as np
import vemo_plan
from vemo_plan import _core, _core_calls

from networks import trip_count


def arc_arrays(city):
    """tail, head, frequency, cost as a planner holds them: int64 and float64 arrays."""
    frm, to, arc_freqs, costs = city.arc_list()
    return (np.asarray(frm, np.int64), np.asarray(to, np.int64),
            np.asarray(arc_freqs, np.float64), np.asarray(costs, np.float64))


def skims(frequency, cost):
    """Three skims per arc: the cost itself, the in-vehicle time (the cost of every arc taken
    without waiting: the rides, and the alightings at cost 0) and the vehicles boarded (1.0 on
    every arc with a finite frequency). The peer reserves "boardings" for a skim of its own.
    float32, which vemo_plan reads in place, as a large network's skim columns would be held."""
    rides = np.isinf(frequency)
    skim_values = {"cost": cost, "in_vehicle": np.where(rides, cost, 0.0),
                   "boarded": np.where(rides, 0.0, 1.0)}
    return {name: values.astype(np.float32) for name, values in skim_values.items()}


def dense_trips(demands, destination_count):
    """vemo's destination-major demand blocks as (destinations, node_count) trips in float32,
    which vemo_plan reads in place: each block's negative sum at its destination becomes 0,
    since vemo_plan takes no negative trips. A destination's volume never leaves it, so the
    flows stay vemo's."""
    blocks = np.asarray(demands, np.float32).reshape(destination_count, -1)
    return np.maximum(blocks, np.float32(0.0))


def sparse_trips(origins, dsts):
    """(origin nodes, destination positions, trips) from every origin stop to every
    destination, the grid city's trips, pairs without trips left out."""
    positions, origin_nodes = np.meshgrid(np.arange(len(dsts)), np.asarray(origins, np.int64),
                                          indexing="ij")
    destinations = np.asarray(dsts, np.int64)[positions]
    trips = np.where(origin_nodes == destinations, 0,
                     trip_count(origin_nodes, destinations)).astype(np.float64)
    sending = trips > 0
    return origin_nodes[sending], positions[sending], trips[sending]


def start_pool():
    """Starts vemo_plan's worker pool (its size is fixed then), so that no measurement counts
    the threads' start."""
    vemo_plan.Network([0], [1], [1.0], [1.0]).assign(np.zeros((1, 2)), [1])


def computation_call(network, dsts, trips, fresh_flows=False):
    """The core's assignment of per-destination flows with nothing around it: the network
    prepared, the inputs already in the core's dtypes (`trips` as dense_trips gives them), the
    flows written into one array that every call reuses (its pages resident from the first),
    node-level results kept for one origin. It still finds every destination's strategy,
    waiting times and flows. Left out, against Network.assign: checking and converting the
    inputs, allocating the results, their first touch, and writing the node costs and waiting
    times of every origin. With `fresh_flows`, each call writes its flows into a new array
    allocated as Network.assign allocates it, and pays for their first touch. This uses the
    package's private modules and the Network's core object."""
    count = len(dsts)
    reused = np.zeros((count, network.arc_count), np.float32)
    reused.fill(1.0)  # makes the pages resident; every call overwrites every row
    arguments = dict(
        destinations=np.asarray(dsts, np.uint64), demand=trips,
        origins=np.asarray(dsts[:1], np.uint64), skim_values=(), boarding=None,
        origin_major=False, node_costs=np.empty((count, 1), np.float32),
        waiting_time=np.empty((count, 1), np.float32),
        skims=np.empty((0, count, 1), np.float32), no_boarding=None,
        unassigned=np.empty(count, np.float64), destination_costs=np.empty(count, np.float32))

    def call():
        flows = _core_calls.new_result(reused.shape) if fresh_flows else reused
        return _core.assign(network._core, **arguments, arc_flows=flows)
    return call
