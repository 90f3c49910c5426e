"""A transit network as an arc list, prepared once and assigned many times."""

from __future__ import annotations

from collections.abc import Mapping, Sequence
from typing import Any, TypeVar

import numpy as np
from numpy.typing import ArrayLike, NDArray

from . import _core, _core_calls
from . import _validate as check
from ._core_calls import Congestion, Demand, Outputs, Request
from ._validate import ArcFlows, Layout
from .congestion import CongestionModel, CrowdingModel, congestion_model
from .results import Assignment, CongestedAssignment, shallow_fields

_SPARSE_DEMAND = "(origin_nodes, destination_positions, trips)"
Array = TypeVar("Array", bound=NDArray[Any])


def read_only(array: Array) -> Array:
    """A view of `array` that cannot be written through."""
    view = array.view()
    view.flags.writeable = False
    return view


class Network:
    """Arcs with a service frequency and a cost, checked and converted once.

    Args:
        tail, head: node numbers (integers from 0 below 2^32), one per arc: arc ``a`` runs from
            ``tail[a]`` to ``head[a]``. Nodes are ``0 .. node_count - 1``, ``node_count``
            being one more than the largest of them.
        frequency: services per time unit on each arc (``inf``: taken without waiting, e.g.
            a walk); boarding costs an expected wait of ``0.5 / frequency``.
        cost: the time on each arc, waiting excluded.

    The arrays are copied: changing them afterwards does not change the network.

    Attributes:
        node_count, arc_count: the numbers of nodes and arcs.
        tail, head, frequency, cost: the arcs as the core reads them (uint64 and float32),
            read-only.
    """

    def __init__(self, tail: ArrayLike, head: ArrayLike, frequency: ArrayLike,
                 cost: ArrayLike) -> None:
        tails, heads = (check.indices(nodes, name, below=check.MAX_NODES, limit="2^32 =",
                                      item="arc")
                        for nodes, name in ((tail, "tail"), (head, "head")))
        frequencies = check.checked(frequency, "frequency", "frequency", item="arc")
        costs = check.checked(cost, "cost", "finite", item="arc")
        count = check.same_length({"tail": tails, "head": heads, "frequency": frequencies,
                                   "cost": costs})
        if count == 0:
            raise ValueError("tail must not be empty: a network needs at least one arc")
        check.node_frequencies(tails, frequencies)
        self._core = _core.Network(tails, heads, frequencies, costs)
        self._arcs = (tails, heads, frequencies, costs)

    @property
    def node_count(self) -> int:
        """One more than the largest node number."""
        return self._core.node_count

    @property
    def arc_count(self) -> int:
        """The number of arcs."""
        return self._core.arc_count

    @property
    def tail(self) -> NDArray[np.uint64]:
        """uint64 ``(arc_count,)``, read-only."""
        return read_only(self._arcs[0])

    @property
    def head(self) -> NDArray[np.uint64]:
        """uint64 ``(arc_count,)``, read-only."""
        return read_only(self._arcs[1])

    @property
    def frequency(self) -> NDArray[np.float32]:
        """float32 ``(arc_count,)``, read-only."""
        return read_only(self._arcs[2])

    @property
    def cost(self) -> NDArray[np.float32]:
        """float32 ``(arc_count,)``, read-only."""
        return read_only(self._arcs[3])

    def assign(self, demand: ArrayLike | tuple[ArrayLike, ArrayLike, ArrayLike],
               destinations: ArrayLike, *, skims: Mapping[str, ArrayLike] | None = None,
               boarding: ArrayLike | None = None, trip_ends: Sequence[str] | None = None,
               origins: ArrayLike | None = None, layout: Layout = "destination",
               arc_flows: ArcFlows = "total", progress: bool = False) -> Assignment:
        """Optimal strategies toward every destination, and the demand loaded on them.

        Args:
            demand: trips, either an array ``(len(destinations), node_count)`` whose row
                ``k`` holds the trips from every node toward ``destinations[k]``, or a tuple
                ``(origin_nodes, destination_positions, trips)`` of three equal-length 1-D
                arrays (trips from ``origin_nodes[t]`` toward
                ``destinations[destination_positions[t]]``; repeated pairs add up).
            destinations: destination nodes; each is assigned on its own, repeats included.
            skims: name -> one value per arc (in-vehicle minutes, a fare, ...); each gives a
                matrix of its expected sum along the strategy.
            boarding: bool per arc, True where the arc boards a vehicle; gives the
                ``boardings`` and ``transfers`` matrices.
            trip_ends: with ``boarding``, names of `skims` to split at the trip's ends (a
                walking time into access and egress walks, say); given, even empty, the
                waiting is split too, into ``first_wait`` and ``transfer_wait``.
            origins: the nodes whose results are kept; default every node.
            layout: ``"destination"``: node-level results are ``(D, O)``, a row per
                destination; ``"origin"``: ``(O, D)``, a row per origin, as skim matrices are
                read.
            arc_flows: ``"total"``, ``"per_destination"`` or ``"none"``.
            progress: show a progress bar over the destinations (needs tqdm).

        Trips whose origin cannot reach their destination are not loaded: they are counted
        in ``unassigned``.
        """
        request = self._request(demand, destinations, skims, boarding, trip_ends, origins,
                                layout, arc_flows, progress)
        outputs, total_cost = _core_calls.assign(self._core, request)
        return Assignment(**_fields(request, outputs, total_cost))

    def assign_congested(
            self, demand: ArrayLike | tuple[ArrayLike, ArrayLike, ArrayLike],
            destinations: ArrayLike, capacity: ArrayLike,
            model: str | CongestionModel = "capacity", *,
            skims: Mapping[str, ArrayLike] | None = None, boarding: ArrayLike | None = None,
            trip_ends: Sequence[str] | None = None, origins: ArrayLike | None = None,
            layout: Layout = "destination", arc_flows: ArcFlows = "total",
            progress: bool = False) -> CongestedAssignment:
        """``assign`` with congestion, solved by `model`'s loop.

        Args:
            capacity: one number or one per arc. For ``"capacity"`` and ``"averaging"``, trips
                per unit of frequency: arc ``a`` can carry ``frequency[a] * capacity[a]``,
                positive and finite. For ``"crowding"``, the flow at which the arc's time is
                ``1 + alpha`` times its own; ``inf`` for arcs that do not crowd.
            model: ``"capacity"`` (``CapacityModel()``), ``"crowding"``, ``"averaging"``, or
                a model record with its settings.
            progress: show a progress bar over the iterations, with the gap (needs tqdm).

        The other arguments are those of ``assign``. The results are those of the last
        iteration's assignment, with the model's arc flows: for the capacity and crowding
        models, the flows whose gap was last measured, whose frequencies or costs the last
        assignment used.
        """
        request = self._request(demand, destinations, skims, boarding, trip_ends, origins,
                                layout, arc_flows, progress)
        chosen = congestion_model(model)
        # The crowding model takes +inf for arcs that do not crowd.
        loop = Congestion(check.per_item(
            capacity, "capacity", self.arc_count, "arc",
            "capacity" if isinstance(chosen, CrowdingModel) else "positive"), chosen)
        outputs, total_cost, ended = _core_calls.assign_congested(
            self._core, request, loop, (self.frequency, self.cost))
        return CongestedAssignment(**_fields(request, outputs, total_cost), **shallow_fields(ended))

    def _request(self, demand: ArrayLike | tuple[ArrayLike, ArrayLike, ArrayLike],
                 destinations: ArrayLike, skims: Mapping[str, ArrayLike] | None,
                 boarding: ArrayLike | None, trip_ends: Sequence[str] | None,
                 origins: ArrayLike | None, layout: object, arc_flows: object,
                 progress: object) -> Request:
        nodes = self.node_count
        targets = check.indices(destinations, "destinations", below=nodes, limit="node_count")
        skim_names, skim_values = self._skims(skims)
        boards = None if boarding is None else check.arc_mask(boarding, "boarding",
                                                              self.arc_count)
        return Request(
            destinations=targets,
            demand=self._demand(demand, len(targets)),
            origins=(np.arange(nodes, dtype=np.uint64) if origins is None else
                     check.indices(origins, "origins", below=nodes, limit="node_count")),
            skim_names=skim_names,
            # With boarding, the boardings are one more skim: 1 per boarding arc.
            skim_values=skim_values + (() if boards is None else (boards.astype(np.float32),)),
            boarding=boards,
            trip_end_skims=_trip_end_skims(trip_ends, skim_names, boards is not None),
            origin_major=check.layout(layout) == "origin",
            arc_flows=check.arc_flows(arc_flows),
            progress=check.flag(progress, "progress"),
        )

    def _demand(self, demand: ArrayLike | tuple[ArrayLike, ArrayLike, ArrayLike],
                destination_count: int) -> Demand:
        if not isinstance(demand, tuple):
            trips = check.checked(demand, "demand", "finite", ndim=2, private=False)
            check.expect_shape(trips, "demand", (destination_count, self.node_count),
                               "len(destinations), node_count")
            return trips
        origin_nodes, positions, values = check.triple(demand, "demand", _SPARSE_DEMAND)
        sparse = (
            check.indices(origin_nodes, "demand origin_nodes", below=self.node_count,
                          limit="node_count"),
            check.indices(positions, "demand destination_positions", below=destination_count,
                          limit="len(destinations)"),
            check.checked(values, "demand trips", "finite"),
        )
        check.same_length(dict(zip(("origin_nodes", "destination_positions", "trips"), sparse)))
        return sparse

    def _skims(self, skims: Mapping[str, ArrayLike] | None
               ) -> tuple[tuple[str, ...], tuple[NDArray[np.float32], ...]]:
        if skims is None:
            return (), ()
        if not isinstance(skims, Mapping):
            raise TypeError(f"skims must be a mapping of names to arrays, not "
                            f"{type(skims).__name__}")
        columns = []
        for name, values in skims.items():
            if not isinstance(name, str):
                raise TypeError(f"skims names must be strings, not {type(name).__name__}")
            label = f"skims[{name!r}]"
            # float32 columns are read in place: a regional network's skims are not copied.
            column = check.checked(values, label, "finite", item="arc", private=False)
            check.expect_shape(column, label, (self.arc_count,), "arc_count")
            columns.append(column)
        return tuple(skims), tuple(columns)


def _trip_end_skims(names: Sequence[str] | None, skim_names: tuple[str, ...],
                    boarding: bool) -> NDArray[np.uint64] | None:
    if names is None:
        return None
    if not boarding:
        raise ValueError("trip_ends needs boarding: the ends of a trip are its first and last "
                         "boardings")
    if isinstance(names, str) or not isinstance(names, Sequence):
        raise TypeError(f"trip_ends must be a sequence of skim names, not {type(names).__name__}")
    unknown = [name for name in names if name not in skim_names]
    if unknown:
        raise ValueError(f"trip_ends names {unknown[0]!r}, which is not a skim (skims: "
                         f"{', '.join(skim_names) or 'none'})")
    return np.array([skim_names.index(name) for name in names], np.uint64)


def _fields(request: Request, outputs: Outputs, total_cost: float) -> dict[str, Any]:
    named = len(request.skim_names)
    boardings = transfers = first_wait = transfer_wait = None
    before: dict[str, NDArray[np.float32]] = {}
    after: dict[str, NDArray[np.float32]] = {}
    if outputs.no_boarding is not None:
        boardings = outputs.skims[named]
        # Trips that never board make no transfer, where boardings - 1 alone would count -1.
        transfers = _core_calls.new_result(boardings.shape)
        np.subtract(boardings, np.float32(1), out=transfers)
        transfers += outputs.no_boarding
    if outputs.trip_ends is not None and request.trip_end_skims is not None:
        first_wait = outputs.trip_ends[0]
        transfer_wait = _core_calls.remainder(outputs.waiting_time, first_wait)
        split = [request.skim_names[k] for k in request.trip_end_skims]
        before = dict(zip(split, outputs.trip_ends[1:1 + len(split)]))
        after = dict(zip(split, outputs.trip_ends[1 + len(split):]))
    return dict(
        destinations=request.destinations, origins=request.origins,
        node_costs=outputs.node_costs, waiting_time=outputs.waiting_time,
        skims=dict(zip(request.skim_names, outputs.skims)), boardings=boardings,
        transfers=transfers, first_wait=first_wait, transfer_wait=transfer_wait,
        before_first_boarding=before, after_last_boarding=after, arc_flows=outputs.arc_flows, total_cost=total_cost,
        destination_costs=outputs.destination_costs, unassigned=outputs.unassigned)
