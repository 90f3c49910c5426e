"""linear_assign over a Dask cluster, for more destinations than one machine handles in time.

    python examples/distributed_assign.py [--scheduler tcp://HOST:8786] [--shard-size N]

Destinations are independent, so `dsts` is cut into shards of consecutive destinations; every
worker gets one copy of the arc list, runs linear_assign on each shard it is given, with that
shard's demand blocks, and the blocks are put back together in destination order. The result is
bit for bit that of one linear_assign call: every destination is computed the same way wherever
it runs. With no scheduler address the script starts a LocalCluster on this machine.

Give each worker process one Dask thread: vemo's own worker pool already runs the shard's
destinations on every core the process may use (RAYON_NUM_THREADS sets its size).

The congested functions cannot be split like this: every iteration of their loop needs the flows
of all destinations together, to lower the frequencies of crowded arcs.
"""

from __future__ import annotations

import argparse
import time
from collections.abc import Sequence
from typing import Any

from dask.distributed import Client, LocalCluster

import vemo
from demo import grid_city

Network = tuple[Sequence[int], Sequence[int], Sequence[float], Sequence[float]]


def assign_shard(network: Network, demands: Sequence[float],
                 dsts: Sequence[int]) -> tuple[list[float], list[float]]:
    """Runs on a worker. vemo's PanicException derives from BaseException, which a worker does
    not expect from a task, and its type cannot be unpickled elsewhere: it comes back to the
    client as a RuntimeError with the same message."""
    try:
        return vemo.linear_assign(*network, demands, dsts)
    except BaseException as failure:
        if type(failure).__name__ != "PanicException":
            raise
        raise RuntimeError(f"linear_assign failed on a shard: {failure}") from None


def distributed_linear_assign(client: Client, frm: Sequence[int], to: Sequence[int],
                              arc_freqs: Sequence[float], costs: Sequence[float],
                              demands: Sequence[float], dsts: Sequence[int],
                              shard_size: int) -> tuple[list[float], list[float]]:
    """linear_assign(frm, to, arc_freqs, costs, demands, dsts), computed on the cluster in
    shards of at most shard_size destinations; the same two flat destination-major lists."""
    if shard_size < 1:
        raise ValueError("shard_size must be at least 1")
    # Demand block k starts at k * node_count, as in linear_assign (an empty from or to is left
    # for linear_assign to report).
    node_count = max(max(frm, default=0), max(to, default=0)) + 1
    network = client.scatter((frm, to, arc_freqs, costs), broadcast=True)
    shards: list[Any] = []
    for start in range(0, max(len(dsts), 1), shard_size):
        stop = min(start + shard_size, len(dsts))
        shards.append(client.submit(assign_shard, network,
                                    demands[start * node_count:stop * node_count],
                                    dsts[start:stop], pure=False))
    node_costs: list[float] = []
    arc_flows: list[float] = []
    for shard_costs, shard_flows in client.gather(shards):  # in submission order
        node_costs += shard_costs
        arc_flows += shard_flows
    return node_costs, arc_flows


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--scheduler", help="address of a running Dask scheduler (default: a "
                        "LocalCluster of two worker processes)")
    parser.add_argument("--shard-size", type=int, default=40, help="destinations per task")
    args = parser.parse_args()

    # The grid city of the demo: bus lines along the rows and columns of a grid of stops.
    stops, nodes, frm, to, freqs, costs = grid_city(size=16)
    dsts = list(range(stops))
    demands = [0.0 if i == k or i >= stops else 1.0 for k in dsts for i in range(nodes)]

    clock = time.perf_counter()
    local = vemo.linear_assign(frm, to, freqs, costs, demands, dsts)
    print(f"{stops} stops, {len(frm)} arcs, {len(dsts)} destinations")
    print(f"  one linear_assign call here: {time.perf_counter() - clock:.2f} s")

    cluster = None if args.scheduler else LocalCluster(n_workers=2, threads_per_worker=1)
    with Client(args.scheduler or cluster) as client:
        clock = time.perf_counter()
        shared = distributed_linear_assign(client, frm, to, freqs, costs, demands, dsts,
                                           args.shard_size)
        print(f"  on {len(client.scheduler_info()['workers'])} Dask workers, in shards of "
              f"{args.shard_size}: {time.perf_counter() - clock:.2f} s")
    if cluster is not None:
        cluster.close()
    print(f"  the same result bit for bit: {shared == local}")


if __name__ == "__main__":
    main()
