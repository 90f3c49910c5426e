"""The uncongested zone assignment over a Dask cluster, for more destinations than one machine
handles in time.

The destination zones are cut into shards of consecutive zones; every worker holds one copy of
the network's arcs and assigns each shard it is given. Results come back per destination and
are put together in destination order: the matrices are bit for bit those of one
``assign_zones`` call, since each destination is computed alone wherever it runs; the arc
flows and the total cost are summed in destination order, in float32, as the core sums them.

Give each worker process one Dask thread: vemo's own worker pool already runs a shard's
destinations on every core the process may use (RAYON_NUM_THREADS sets its size). The
congested loop cannot be split like this: each of its iterations needs every destination's
flows to lower the frequencies of crowded lines.
"""

from __future__ import annotations

from collections.abc import Iterator, Mapping
from contextlib import contextmanager
from typing import Any, NamedTuple

import numpy as np
from dask.distributed import Client, LocalCluster
from numpy.typing import NDArray

from .model import ZoneModel
from .. import Assignment, Network
from ..results import summed_in_order
from .skims import ZoneSkims, trip_list, zone_skims


class _Arcs(NamedTuple):
    """What every worker holds: the network's arcs, the arguments of its skims (boarding arcs
    and trip ends with them: ``LineNetwork.skim_arguments``), and the origins kept."""

    tail: NDArray[np.uint64]
    head: NDArray[np.uint64]
    frequency: NDArray[np.float32]
    cost: NDArray[np.float32]
    skim_arguments: Mapping[str, Any]
    origins: NDArray[np.uint64]


@contextmanager
def cluster_client(address: str | None, workers: int = 2) -> Iterator[Client]:
    """A client of the scheduler at `address`, or of a LocalCluster of `workers` processes of
    one thread each, closed when the block ends."""
    if address is not None:
        with Client(address) as client:
            yield client
        return
    with LocalCluster(n_workers=workers, threads_per_worker=1, dashboard_address=None) as cluster:
        with Client(cluster) as client:
            yield client


def assign_zones_on_cluster(client: Client, model: ZoneModel, demand: NDArray[np.float64], *,
                            shard_size: int | None = None) -> ZoneSkims:
    """``assign_zones(model, demand)`` computed on the cluster of `client`, in shards of
    `shard_size` destination zones (default: two shards per worker)."""
    if shard_size is not None and shard_size < 1:
        raise ValueError(f"shard_size must be at least 1: got {shard_size}")
    zones = len(model.zones)
    workers = max(1, len(client.scheduler_info()["workers"]))
    size = shard_size or max(1, -(-zones // (2 * workers)))
    lines = model.line_network
    net = lines.network
    arcs = client.scatter(_Arcs(net.tail, net.head, net.frequency, net.cost,
                                lines.skim_arguments(model.arc_skims), model.origin_nodes),
                          broadcast=True)
    origin_nodes, positions, trips = trip_list(model, demand)
    shards = []
    for first in range(0, zones, size):
        chosen = (positions >= first) & (positions < first + size)
        shards.append(client.submit(
            _assign_shard, arcs, model.destination_nodes[first:first + size],
            (origin_nodes[chosen], positions[chosen] - np.uint64(first), trips[chosen]),
            pure=False))
    results: list[Assignment] = client.gather(shards)  # in submission order

    def joined(matrices: list[Any]) -> Any:  # a row per origin, the shards' columns side by side
        return np.concatenate(matrices, axis=1)

    def joined_by_name(field: str) -> dict[str, Any]:
        return {name: joined([getattr(result, field)[name] for result in results])
                for name in getattr(results[0], field)}

    destination_costs = np.concatenate([result.destination_costs for result in results])
    return zone_skims(model, Assignment(
        destinations=model.destination_nodes, origins=model.origin_nodes,
        node_costs=joined([result.node_costs for result in results]),
        waiting_time=joined([result.waiting_time for result in results]),
        skims=joined_by_name("skims"),
        boardings=joined([result.boardings for result in results]),
        transfers=joined([result.transfers for result in results]),
        first_wait=joined([result.first_wait for result in results]),
        transfer_wait=joined([result.transfer_wait for result in results]),
        before_first_boarding=joined_by_name("before_first_boarding"),
        after_last_boarding=joined_by_name("after_last_boarding"),
        arc_flows=summed_in_order(row for result in results
                                  for row in np.asarray(result.arc_flows)),
        total_cost=float(summed_in_order(destination_costs)),
        destination_costs=destination_costs,
        unassigned=np.concatenate([result.unassigned for result in results])), demand)


def _assign_shard(arcs: _Arcs, destinations: NDArray[np.uint64],
                  demand: tuple[NDArray[Any], ...]) -> Assignment:
    """Runs on a worker: one shard's assignment, with its flows per destination."""
    return Network(arcs.tail, arcs.head, arcs.frequency, arcs.cost).assign(
        demand, destinations, origins=arcs.origins, arc_flows="per_destination",
        **arcs.skim_arguments)
