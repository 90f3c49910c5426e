"""Zone-to-zone assignment: the optimal strategies toward every zone, their skims as
``[origin zone, destination zone]`` matrices, and the line loads.

The network is assigned at the node level, toward the zones' destination nodes only and with
the zones' origin nodes as the rows kept, which saves the strategies toward the stops that a
``LineNetwork.assign`` would also compute; the core writes the matrices a row per origin.
"""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np
from numpy.typing import NDArray

from .. import (Assignment, AveragingModel, CapacityModel, CongestedAssignment,
                CongestedLoop, CongestionModel, CrowdingModel)
from ..results import shallow_fields
from .model import ZoneModel

F32 = NDArray[np.float32]
TripList = tuple[NDArray[np.uint64], NDArray[np.uint64], NDArray[np.float64]]
# The matrices of every ZoneSkims, in the order they are written; the skims by mode and the
# fare follow in_vehicle_time and transfers where the feed has them.
SKIMS = ("cost", "first_wait", "transfer_wait", "in_vehicle_time", "access_walk",
         "egress_walk", "transfer_walk", "waiting_time", "walking_time", "boardings",
         "transfers")
# The job's congested models by name: the thin layer's defaults, but for an averaging loop
# that averages faster and stops sooner.
ZONE_MODELS: dict[str, CongestionModel] = {
    "capacity": CapacityModel(), "crowding": CrowdingModel(),
    "averaging": AveragingModel(average_decay_factor=0.05, max_iters=400)}


@dataclass(frozen=True, eq=False)
class ZoneSkims:
    """An assignment between zones. Matrices are float32 ``(zones, zones)``, ``[o, d]`` from
    zone ``o`` to zone ``d``: +inf cost and NaN parts where ``d`` cannot be reached from
    ``o``, 0 on the diagonal.

    Attributes:
        cost: expected minutes, waiting included: first_wait + transfer_wait +
            in_vehicle_time + access_walk + egress_walk + transfer_walk.
        first_wait, transfer_wait: the waiting before the first boarding, and after it.
        in_vehicle_time: the minutes on board; by_mode: ``in_vehicle_time_<mode>`` -> its
            part on the lines of each mode (bus, tram, metro, rail, ferry, ...).
        access_walk, egress_walk, transfer_walk: the walking before the first boarding (all
            of it on a walk-only trip), after the last, and between.
        waiting_time, walking_time: first and transfer waits, the three walks, summed.
        boardings: expected vehicles boarded; transfers: the boardings after the first.
        fare: the expected fare paid, where the feed gives fares an additive skim can carry;
            else None.
        perceived_cost: with perception weights, the perceived cost the strategies minimise
            (``cost`` stays in real minutes); else None.
        arc_flows: float32 per arc of the network; line_loads: per line, the riders of each
            segment.
        total_cost: cost times trips summed over the trips that reach their destination; in
            real minutes with perception weights too.
        unassigned: float64 per destination zone, the trips that cannot reach it.
        loop: how the congested loop ended; None for an uncongested assignment.
        capacity_use: per line, each segment's riders over what its runs carry; None for an
            uncongested assignment.
    """

    cost: F32
    first_wait: F32
    transfer_wait: F32
    in_vehicle_time: F32
    access_walk: F32
    egress_walk: F32
    transfer_walk: F32
    waiting_time: F32
    walking_time: F32
    boardings: F32
    transfers: F32
    by_mode: dict[str, F32]
    fare: F32 | None
    perceived_cost: F32 | None
    arc_flows: F32
    line_loads: list[F32]
    total_cost: float
    unassigned: NDArray[np.float64]
    loop: CongestedLoop | None = None
    capacity_use: list[F32] | None = None

    def matrices(self) -> dict[str, F32]:
        """The skims by name: those of SKIMS in order, the skims by mode after
        in_vehicle_time, then the fare and the perceived cost where there are."""
        matrices = {}
        for name in SKIMS:
            matrices[name] = getattr(self, name)
            if name == "in_vehicle_time":
                matrices |= self.by_mode
        extra = {"fare": self.fare, "perceived_cost": self.perceived_cost}
        return matrices | {name: matrix for name, matrix in extra.items() if matrix is not None}


def trip_list(model: ZoneModel, demand: NDArray[np.float64]) -> TripList:
    """The trips of a zone matrix between distinct zones, as (origin node, destination zone,
    trips), destination by destination: the sparse demand of ``Network.assign`` toward the
    destination nodes."""
    zones = len(model.zones)
    if demand.shape != (zones, zones):
        raise ValueError(f"demand has shape {demand.shape}; expected ({zones}, {zones}), one "
                         f"row and column per zone")
    travels = demand != 0
    np.fill_diagonal(travels, False)
    destination, origin = np.nonzero(travels.T)
    return (model.origin_nodes[origin], destination.astype(np.uint64),
            demand[origin, destination])


def assign_zones(model: ZoneModel, demand: NDArray[np.float64], *,
                 progress: bool = False) -> ZoneSkims:
    """The uncongested assignment of `demand` (trips, ``[origin zone, destination zone]``)."""
    lines = model.line_network
    result = lines.network.assign(
        trip_list(model, demand), model.destination_nodes, origins=model.origin_nodes,
        progress=progress, **lines.skim_arguments(model.arc_skims))
    return zone_skims(model, result, demand)


def assign_zones_congested(model: ZoneModel, demand: NDArray[np.float64],
                           vehicle_capacities: NDArray[np.float64],
                           congestion: CongestionModel = ZONE_MODELS["capacity"], *,
                           progress: bool = False) -> ZoneSkims:
    """``assign_zones`` with congestion solved by `congestion`'s loop: line ``i`` carries
    ``vehicle_capacities[i]`` riders per run. With `demand` for the feed's time window of W
    minutes, its capacity per unit of frequency (runs per minute) is W times that, over the
    share of its network frequency its runs make (less than 1 where the headway cap raised
    it): a line carries its runs' riders, however long it is waited for."""
    lines = model.line_network
    # The line network's frequencies wait at most max_headway; what a line carries is its runs'.
    runs_share = model.feed_lines.frequencies / lines.line_frequencies.astype(np.float64)
    per_frequency = (model.feed_lines.window_minutes * runs_share
                     * np.asarray(vehicle_capacities, np.float64))
    result = lines.network.assign_congested(
        trip_list(model, demand), model.destination_nodes,
        lines.arc_capacity(per_frequency, congestion), congestion, origins=model.origin_nodes,
        progress=progress, **lines.skim_arguments(model.arc_skims))
    return zone_skims(model, result, demand, per_frequency)


def zone_skims(model: ZoneModel, result: Assignment, demand: NDArray[np.float64],
               capacity: NDArray[np.float64] | None = None) -> ZoneSkims:
    """The zone matrices of an assignment toward the destination nodes, from the origin nodes,
    a row per origin (``layout="origin"``), with boardings and its total arc flows; with the
    lines' `capacity` (trips per unit of frequency), their capacity use. The matrices'
    diagonals are set to 0 in place."""
    assert result.arc_flows is not None and result.arc_flows.ndim == 1
    assert result.boardings is not None and result.transfers is not None
    lines = model.line_network
    skims = {name: matrix for name, matrix in result.skims.items()
             if name not in lines.arc_skims}
    fare = skims.pop("fare", None)
    matrices = {**lines.real_parts(result), "in_vehicle_time": result.skims["in_vehicle_time"],
                "boardings": result.boardings, "transfers": result.transfers}
    for matrix in [*matrices.values(), *skims.values(), fare]:
        if matrix is not None:
            np.fill_diagonal(matrix, 0)
    loop = (CongestedLoop(**shallow_fields(result, CongestedLoop))
            if isinstance(result, CongestedAssignment) else None)
    line_loads = [result.arc_flows[arcs] for arcs in lines.ride_arcs]
    total_cost = result.total_cost
    if matrices["perceived_cost"] is not None:  # the core's total is of the perceived cost
        reached = np.isfinite(matrices["cost"])
        total_cost = float(np.sum(demand[reached] * matrices["cost"][reached]))
    return ZoneSkims(**matrices, by_mode=skims, fare=fare, arc_flows=result.arc_flows,
                     line_loads=line_loads, total_cost=total_cost, unassigned=result.unassigned,
                     loop=loop, capacity_use=None if capacity is None
                     else lines.capacity_use(line_loads, capacity))
