"""A transit network given as lines: stop sequences, frequencies and running times."""

from __future__ import annotations

from collections.abc import Iterable
from typing import Any

import numpy as np
from numpy.typing import ArrayLike, NDArray

from . import _validate as check
from ._core_calls import remainder
from ._line_arcs import ArcKind, line_arcs, line_ends, line_starts
from ._validate import ArcFlows
from .congestion import CongestionModel, CrowdingModel, congestion_model
from .network import Network, read_only
from .perception import Perception
from .results import (Assignment, CongestedLineAssignment, CongestedLoop, LineAssignment,
                      shallow_fields, summed_in_order)

Walks = tuple[NDArray[np.uint64], NDArray[np.uint64], NDArray[np.float32]]
# The skims whose parts before the first boarding and after the last are wanted.
TRIP_END_SKIMS = ("walking_time",)
_WALKING_PARTS = "(from_stops, to_stops, minutes)"


class LineNetwork:
    """The line network of a set of lines, with optional walking links between stops.

    Args:
        alignments: one sequence of stop numbers per line, in the order its vehicles serve
            them; at least two stops a line.
        frequencies: services per time unit of each line.
        travel_time_mat: ``(stop_count, stop_count)``, ``[a, b]`` the in-vehicle time from
            stop ``a`` to stop ``b``; only pairs of consecutive stops of a line are read.
        walking: ``(from_stops, to_stops, minutes)``, walking links taken without waiting.
        chained_walks: False: a walk leads only from a trip's start or an alighting to a
            boarding or the trip's end, so no trip walks twice in a row (one walk between two
            rides, access and egress walks only at the ends); each stop gets a second node,
            where trips start and riders alight.
        perception: the weights of the perceived cost that drives route choice: waiting and
            walking weighed, a penalty per boarding. The network's arcs carry the perceived
            costs and frequencies (a line's frequency over the waiting weight); the skims and
            line frequencies stay real.

    Stops are ``0 .. stop_count - 1``. The arcs are those of vemo's line functions, in the
    same order, followed by the walking links.

    Attributes:
        network: the ``Network`` of every arc.
        stop_count, line_count: the numbers of stops and lines.
        perception: the weights of the perceived cost, as given.
        origin_nodes, destination_nodes: uint64 ``(stop_count,)``, the node where a trip from
            each stop starts and the one where a trip to it ends: the stops themselves with
            chained walks.
        line_frequencies: float32 ``(line_count,)``, as given.
        arc_kind: uint8 ``(arc_count,)``, an ``ArcKind`` code per arc.
        arc_line: int64 ``(arc_count,)``, the line of each arc, -1 for walking links.
        ride_arcs: one array per line, the arc of each of its segments in order.
        boarding: bool ``(arc_count,)``, True on boarding arcs: ``Network.assign``'s
            ``boarding``, which gives boardings and transfers.
        arc_skims: the skims every line assignment computes besides those, name -> float32
            per arc, read-only: ``in_vehicle_time`` (minutes on ride arcs) and
            ``walking_time`` (minutes on walking links); ``Network.assign``'s ``skims``.
    """

    network: Network
    stop_count: int
    line_count: int
    arc_kind: NDArray[np.uint8]
    arc_line: NDArray[np.int64]
    ride_arcs: list[NDArray[np.intp]]
    boarding: NDArray[np.bool_]
    arc_skims: dict[str, NDArray[np.float32]]
    line_frequencies: NDArray[np.float32]
    origin_nodes: NDArray[np.uint64]
    destination_nodes: NDArray[np.uint64]
    perception: Perception

    def __init__(self, alignments: Iterable[ArrayLike], frequencies: ArrayLike,
                 travel_time_mat: ArrayLike, *,
                 walking: tuple[ArrayLike, ArrayLike, ArrayLike] | None = None,
                 chained_walks: bool = True, perception: Perception = Perception()) -> None:
        times, original = check.float32(travel_time_mat, "travel_time_mat", ndim=2)
        if times.shape[0] != times.shape[1]:
            raise ValueError(f"travel_time_mat must be square; it has shape {times.shape}")
        stop_count = times.shape[0]
        stops, lengths, line_frequencies = _lines(alignments, frequencies, stop_count)
        tails, heads = stops[~line_ends(lengths)], stops[~line_starts(lengths)]
        segment_line = np.repeat(np.arange(len(lengths)), lengths - 1)
        minutes = times[tails, heads]
        check.require("finite", "travel_time_mat", minutes, original[tails, heads],
                      lambda i: f"entry ({tails[i]}, {heads[i]}), ridden by line "
                                f"{segment_line[i]}, has")
        self._build(stops, lengths, line_frequencies, minutes, stop_count,
                    _walks(walking, stop_count), check.flag(chained_walks, "chained_walks"),
                    _perception(perception))

    @classmethod
    def from_segments(cls, alignments: Iterable[ArrayLike], frequencies: ArrayLike,
                      segment_minutes: Iterable[ArrayLike], *,
                      walking: tuple[ArrayLike, ArrayLike, ArrayLike] | None = None,
                      stop_count: int | None = None, chained_walks: bool = True,
                      perception: Perception = Perception()) -> LineNetwork:
        """The line network of lines that give their own running times:
        ``segment_minutes[i]`` holds the ``len(alignments[i]) - 1`` in-vehicle times between
        consecutive stops of line ``i``. ``stop_count`` defaults to one more than the largest
        stop of a line or walking link; a larger one adds stops that nothing serves. The other
        arguments are those of ``LineNetwork``."""
        stops, lengths, line_frequencies = _lines(alignments, frequencies, None)
        if isinstance(segment_minutes, (str, bytes)) or not isinstance(segment_minutes, Iterable):
            raise TypeError("segment_minutes must be a sequence of running times per line")
        per_line = list(segment_minutes)
        if len(per_line) != len(lengths):
            raise ValueError(f"segment_minutes has {len(per_line)} sequences; expected one "
                             f"per line ({len(lengths)})")
        minutes = []
        for i, (line_minutes, length) in enumerate(zip(per_line, lengths)):
            name = f"segment_minutes[{i}]"
            minutes.append(check.checked(line_minutes, name, "finite", item="segment"))
            if len(minutes[-1]) != length - 1:
                raise ValueError(f"{name} has {len(minutes[-1])} values; line {i} has "
                                 f"{length} stops and needs {length - 1}")
        walks = _walks(walking, None)
        named = 1 + int(max(stops.max(), walks[0].max(initial=0), walks[1].max(initial=0)))
        if stop_count is None:
            stop_count = named
        elif (stop_count := check.integer(stop_count, "stop_count")) < named:
            raise ValueError(f"stop_count must be an integer of at least {named}, one more than "
                             f"the largest stop named; it is {stop_count!r}")
        network = cls.__new__(cls)
        network._build(stops, lengths, line_frequencies, np.concatenate(minutes), stop_count,
                       walks, check.flag(chained_walks, "chained_walks"), _perception(perception))
        return network

    def _build(self, stops: NDArray[np.uint64], lengths: NDArray[np.int64],
               frequencies: NDArray[np.float32], ride_minutes: NDArray[np.float32],
               stop_count: int, walks: Walks, chained_walks: bool,
               perception: Perception) -> None:
        arcs = line_arcs(stops, lengths, frequencies, ride_minutes, stop_count, walks,
                         chained_walks)
        weight = np.float32(perception.walk)
        perceived = np.where(arcs.kind == ArcKind.WALK, arcs.cost * weight, arcs.cost)
        perceived[arcs.kind == ArcKind.BOARD] += np.float32(perception.boarding)
        self.network = Network(arcs.tail, arcs.head,
                               arcs.frequency / np.float32(perception.wait), perceived)
        self.perception = perception
        self.stop_count = stop_count
        self.destination_nodes = read_only(np.arange(stop_count, dtype=np.uint64))
        self.origin_nodes = read_only(self.destination_nodes + np.uint64(
            0 if chained_walks else stop_count))
        self.line_count = len(lengths)
        self.arc_kind = read_only(arcs.kind)
        self.arc_line = read_only(arcs.line)
        rides = np.flatnonzero(arcs.kind == ArcKind.RIDE)
        self.ride_arcs = [read_only(line) for line in np.split(rides, np.cumsum(lengths - 1)[:-1])]
        self.boarding = read_only(arcs.kind == ArcKind.BOARD)
        self.line_frequencies = read_only(frequencies)
        self.arc_skims = {
            "in_vehicle_time": read_only(np.where(arcs.kind == ArcKind.RIDE, arcs.cost,
                                                  np.float32(0))),
            "walking_time": read_only(np.where(arcs.kind == ArcKind.WALK, arcs.cost,
                                               np.float32(0))),
        }

    def assign(self, demand_mat: ArrayLike, *, arc_flows: ArcFlows = "total",
               progress: bool = False) -> LineAssignment:
        """Optimal strategies toward every stop, and the demand loaded on them.

        Args:
            demand_mat: ``(stop_count, stop_count)``, ``[o, d]`` the trips from stop ``o``
                to stop ``d``; the diagonal is not read.
            arc_flows: ``"total"``, ``"per_destination"`` (a row per destination stop) or
                ``"none"`` (then no line loads either).
            progress: show a progress bar over the destination stops (needs tqdm).
        """
        return LineAssignment(**self._fields(self.network.assign(
            self._trips(demand_mat), self.destination_nodes, origins=self.origin_nodes,
            arc_flows=arc_flows, progress=progress, **self.skim_arguments())))

    def assign_congested(self, demand_mat: ArrayLike, capacity: ArrayLike,
                         model: str | CongestionModel = "capacity", *,
                         arc_flows: ArcFlows = "total",
                         progress: bool = False) -> CongestedLineAssignment:
        """``assign`` with congestion, solved by `model`'s loop (see
        ``Network.assign_congested``).

        Args:
            capacity: trips per unit of frequency, one number or one per line: with buses
                per minute and an hour's demand, 60 times the riders a bus carries. A line of
                frequency ``f`` carries ``f * capacity`` riders a segment; the crowding model
                crowds its ride arcs at that load.
            progress: show a progress bar over the iterations, with the gap (needs tqdm).
        """
        chosen = congestion_model(model)
        result = self.network.assign_congested(
            self._trips(demand_mat), self.destination_nodes, self.arc_capacity(capacity, chosen),
            chosen, origins=self.origin_nodes, arc_flows=arc_flows, progress=progress,
            **self.skim_arguments())
        fields = self._fields(result)
        return CongestedLineAssignment(
            **fields, **shallow_fields(result, CongestedLoop),
            capacity_use=None if fields["line_loads"] is None else self.capacity_use(
                fields["line_loads"], capacity))

    def arc_capacity(self, capacity: ArrayLike,
                     model: str | CongestionModel = "capacity") -> NDArray[np.float32]:
        """The ``capacity`` of ``Network.assign_congested`` for lines that carry `capacity`
        trips per unit of frequency (one number or one per line) under `model`: the line's
        capacity on its boarding arcs, or for the crowding model its riders a segment,
        frequency times capacity, on its ride arcs (+inf on the others)."""
        per_line = check.per_item(capacity, "capacity", self.line_count, "line")
        if isinstance(congestion_model(model), CrowdingModel):
            per_arc = np.full(self.network.arc_count, np.inf, np.float32)
            rides = self.arc_kind == ArcKind.RIDE
            line = self.arc_line[rides]
            per_arc[rides] = per_line[line] * self.line_frequencies[line]
            return per_arc
        # Only boarding arcs have a finite frequency; congestion leaves the others alone,
        # whatever their capacity. The network's frequencies are the lines' over the waiting
        # weight, so a unit of them carries that many times more.
        per_arc = np.ones(self.network.arc_count, np.float32)
        per_arc[self.boarding] = per_line[self.arc_line[self.boarding]] * np.float32(
            self.perception.wait)
        return per_arc

    def capacity_use(self, line_loads: list[NDArray[np.float32]],
                     capacity: ArrayLike) -> list[NDArray[np.float32]]:
        """Per line, each segment's riders over what the line carries (frequency times
        `capacity`, trips per unit of frequency): above 1 where demand exceeds it."""
        carried = check.per_item(capacity, "capacity", self.line_count, "line") * \
            self.line_frequencies
        return [load / carried[i] for i, load in enumerate(line_loads)]

    def skim_arguments(self, skims: dict[str, NDArray[np.float32]] | None = None
                       ) -> dict[str, Any]:
        """The arguments of ``network.assign`` and ``assign_congested`` for the results that
        ``real_parts`` reads, a row per origin: `skims` (default: ``arc_skims``; more may be
        added to those), the boarding arcs and the trip ends."""
        return {"skims": self.arc_skims if skims is None else skims, "boarding": self.boarding,
                "trip_ends": TRIP_END_SKIMS, "layout": "origin"}

    def real_parts(self, result: Assignment) -> dict[str, Any]:
        """From an assignment of `network` with ``skims=arc_skims`` (or more) and
        ``trip_ends=TRIP_END_SKIMS``: the cost in real minutes and its parts: waiting and its
        first and transfer waits; walking and its access, egress and transfer walks (the
        walking of a trip that never boards is its access walk). With a perceived cost, the
        search's, as perceived_cost (else None), and the cost as the sum of the parts."""
        assert result.first_wait is not None and result.transfer_wait is not None
        wait = np.float32(self.perception.wait)
        # Every wait is at a boarding, whose frequency the waiting weight divides.
        waits = {name: values if wait == 1 else values / wait for name, values in [
            ("waiting_time", result.waiting_time), ("first_wait", result.first_wait),
            ("transfer_wait", result.transfer_wait)]}
        walking = result.skims["walking_time"]
        access = result.before_first_boarding["walking_time"]
        egress = result.after_last_boarding["walking_time"]
        parts = {**waits, "walking_time": walking, "access_walk": access, "egress_walk": egress,
                 "transfer_walk": remainder(walking, access, egress)}
        if self.perception.plain:
            return {"cost": result.node_costs, "perceived_cost": None, **parts}
        real = waits["waiting_time"] + result.skims["in_vehicle_time"] + walking
        real[~np.isfinite(result.node_costs)] = np.inf
        return {"cost": real, "perceived_cost": result.node_costs, **parts}

    def _trips(self, demand_mat: ArrayLike) -> tuple[NDArray[np.uint64], NDArray[np.intp],
                                                       NDArray[np.float32]]:
        """The trips between distinct stops as (origin nodes, destination stops, trips)."""
        trips = check.checked(demand_mat, "demand_mat", "finite", ndim=2)
        check.expect_shape(trips, "demand_mat", (self.stop_count, self.stop_count),
                           "stop_count, stop_count")
        travels = trips != 0
        np.fill_diagonal(travels, False)
        origins, destinations = np.nonzero(travels)
        return self.origin_nodes[origins], destinations, trips[origins, destinations]

    def _fields(self, result: Assignment) -> dict[str, Any]:
        flows = result.arc_flows
        totals = (flows if flows is None or flows.ndim == 1 else summed_in_order(flows))
        parts = self.real_parts(result)
        return dict(
            stop_costs=parts.pop("cost"), perceived_costs=parts.pop("perceived_cost"), **parts,
            in_vehicle_time=result.skims["in_vehicle_time"], boardings=result.boardings,
            transfers=result.transfers, arc_flows=flows,
            line_loads=None if totals is None else [totals[arcs] for arcs in self.ride_arcs],
            total_cost=result.total_cost, unassigned=result.unassigned)


def _lines(alignments: Iterable[ArrayLike], frequencies: ArrayLike, stop_count: int | None
           ) -> tuple[NDArray[np.uint64], NDArray[np.int64], NDArray[np.float32]]:
    """Every line's stops one line after another, the number of stops of each line, and the
    line frequencies."""
    if isinstance(alignments, (str, bytes)) or not isinstance(alignments, Iterable):
        raise TypeError("alignments must be a sequence of stop sequences, one per line")
    lines = [check.indices(line, f"alignments[{i}]", below=stop_count, limit="stop_count",
                           item="position") for i, line in enumerate(alignments)]
    if not lines:
        raise ValueError("alignments must hold at least one line")
    for i, line in enumerate(lines):
        if len(line) < 2:
            raise ValueError(f"alignments[{i}] has {len(line)} stop{'s' * (len(line) != 1)}; "
                             f"a line needs at least two")
    line_frequencies = check.checked(frequencies, "frequencies", "frequency", item="line")
    if len(line_frequencies) != len(lines):
        raise ValueError(f"frequencies has {len(line_frequencies)} values; expected one per "
                         f"line ({len(lines)})")
    lengths = np.array([len(line) for line in lines], np.int64)
    return np.concatenate(lines), lengths, line_frequencies


def _perception(perception: object) -> Perception:
    if not isinstance(perception, Perception):
        raise TypeError(f"perception must be a Perception, not {type(perception).__name__}")
    return perception


def _walks(walking: object, stop_count: int | None) -> Walks:
    if walking is None:
        return (np.empty(0, np.uint64), np.empty(0, np.uint64), np.empty(0, np.float32))
    from_stops, to_stops, minutes = check.triple(walking, "walking", _WALKING_PARTS)
    walks = (
        check.indices(from_stops, "walking from_stops", below=stop_count, limit="stop_count",
                      item="walk"),
        check.indices(to_stops, "walking to_stops", below=stop_count, limit="stop_count",
                      item="walk"),
        check.checked(minutes, "walking minutes", "finite", item="walk"),
    )
    check.same_length(dict(zip(("from_stops", "to_stops", "minutes"), walks)))
    return walks
