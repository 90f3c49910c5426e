"""What the assignments return: frozen records of NumPy arrays.

Records compare by identity (arrays have no single truth value); compare their arrays.
"""

from __future__ import annotations

from dataclasses import dataclass, fields
from collections.abc import Iterable
from typing import Any

import numpy as np
from numpy.typing import NDArray


@dataclass(frozen=True, eq=False)
class CongestedLoop:
    """How a congested model's loop ended.

    Attributes:
        iterations: assignments run after the first, under the nominal network.
        gaps: the relative gap after each iteration.
        converged: whether the loop ended at the tolerance or settled.
        stop_reason: ``"tolerance"`` (the gap reached ``tol``), ``"settled"`` (the flows no
            longer changed), ``"iteration limit"``, or ``"over capacity"`` (the capacity model:
            flows over some boarding arc's capacity, the gap no longer falling: the lines cannot
            carry the demand; see ``capacity_use``).
        effective_frequencies: float32 ``(arc_count,)``, the frequencies of the last
            iteration, those the returned flows produce (the nominal ones for the crowding
            model).
        arc_costs: float32 ``(arc_count,)``, the arc costs of the last iteration, those the
            returned flows produce (the nominal ones but for the crowding model).
    """

    iterations: int
    gaps: tuple[float, ...]
    converged: bool
    stop_reason: str
    effective_frequencies: NDArray[np.float32]
    arc_costs: NDArray[np.float32]


@dataclass(frozen=True, eq=False)
class Assignment:
    """The result of ``Network.assign``. ``D`` destinations, ``O`` origins. Node-level results
    are float32 ``(D, O)``, ``[k, j]`` from ``origins[j]`` to ``destinations[k]``, or ``(O, D)``,
    ``[j, k]``, with ``layout="origin"``.

    Attributes:
        destinations: uint64 ``(D,)``, the destination nodes as given.
        origins: uint64 ``(O,)``, the nodes whose results are kept.
        node_costs: expected time, waiting included; +inf where it cannot be reached.
        waiting_time: the waiting part of ``node_costs``; NaN where unreachable.
        skims: name -> the expected sum of that skim's arc values along the optimal strategy;
            NaN where unreachable.
        boardings: expected vehicles boarded, with ``boarding`` given, else None.
        transfers: expected transfers, ``boardings - 1 + P(arriving without boarding)``:
            the boardings after the first; with ``boarding`` given, else None.
        first_wait, transfer_wait: the parts of ``waiting_time`` before the first boarding
            and after it, with ``trip_ends`` given, else None.
        before_first_boarding, after_last_boarding: with ``trip_ends``, name -> the part of
            that skim before the first boarding (all of it on a trip that never boards) and
            after the last; empty dicts without.
        arc_flows: float32 ``(arc_count,)`` or ``(D, arc_count)`` as asked, or None.
        total_cost: the sum of cost times trips over every trip that reaches its destination.
        destination_costs: float32 ``(D,)``, that sum for each destination; ``total_cost`` is
            their float32 sum in order.
        unassigned: float64 ``(D,)``, the trips toward each destination whose origin cannot
            reach it; they are not loaded.
    """

    destinations: NDArray[np.uint64]
    origins: NDArray[np.uint64]
    node_costs: NDArray[np.float32]
    waiting_time: NDArray[np.float32]
    skims: dict[str, NDArray[np.float32]]
    boardings: NDArray[np.float32] | None
    transfers: NDArray[np.float32] | None
    first_wait: NDArray[np.float32] | None
    transfer_wait: NDArray[np.float32] | None
    before_first_boarding: dict[str, NDArray[np.float32]]
    after_last_boarding: dict[str, NDArray[np.float32]]
    arc_flows: NDArray[np.float32] | None
    total_cost: float
    destination_costs: NDArray[np.float32]
    unassigned: NDArray[np.float64]


@dataclass(frozen=True, eq=False)
class CongestedAssignment(CongestedLoop, Assignment):
    """The result of ``Network.assign_congested``: an ``Assignment`` from the loop's last
    assignment, with the model's arc flows, and how the loop ended (``CongestedLoop``)."""


@dataclass(frozen=True, eq=False)
class LineAssignment:
    """The result of ``LineNetwork.assign``: stop-to-stop matrices, ``[o, d]`` from stop
    ``o`` to stop ``d``, float32 ``(stop_count, stop_count)``. Where ``d`` cannot be reached
    from ``o``, ``stop_costs`` is +inf and the other matrices NaN; their diagonals are 0.

    Attributes:
        stop_costs: expected time, waiting included, in real minutes.
        perceived_costs: with a perceived cost (``LineNetwork``'s `perception`), the one the
            strategies minimise; else None.
        waiting_time, in_vehicle_time, walking_time: the parts of ``stop_costs``.
        boardings: expected number of vehicles boarded.
        transfers: expected number of transfers, as ``Assignment.transfers``.
        first_wait, transfer_wait: the parts of ``waiting_time`` before the first boarding
            and after it.
        access_walk, egress_walk, transfer_walk: the parts of ``walking_time`` before the
            first boarding (all of it on a trip that never boards), after the last, and
            between.
        arc_flows: float32 ``(arc_count,)``, ``(stop_count, arc_count)`` (per destination
            stop) or None, as asked.
        line_loads: one float32 array per line, the riders on each segment between
            consecutive stops; None with ``arc_flows="none"``.
        total_cost: the sum of cost times trips over every trip that reaches its destination.
        unassigned: float64 ``(stop_count,)``, the trips toward each stop that cannot reach it.
    """

    stop_costs: NDArray[np.float32]
    perceived_costs: NDArray[np.float32] | None
    waiting_time: NDArray[np.float32]
    in_vehicle_time: NDArray[np.float32]
    walking_time: NDArray[np.float32]
    boardings: NDArray[np.float32]
    transfers: NDArray[np.float32]
    first_wait: NDArray[np.float32]
    transfer_wait: NDArray[np.float32]
    access_walk: NDArray[np.float32]
    egress_walk: NDArray[np.float32]
    transfer_walk: NDArray[np.float32]
    arc_flows: NDArray[np.float32] | None
    line_loads: list[NDArray[np.float32]] | None
    total_cost: float
    unassigned: NDArray[np.float64]


@dataclass(frozen=True, eq=False)
class CongestedLineAssignment(CongestedLoop, LineAssignment):
    """The result of ``LineNetwork.assign_congested``: a ``LineAssignment`` from the loop's
    last assignment, with the model's arc flows, and how the loop ended (``CongestedLoop``).

    Attributes:
        capacity_use: per line, each segment's riders over what the line carries
            (frequency times capacity); above 1 where demand exceeds it. None with
            ``arc_flows="none"``.
    """

    capacity_use: list[NDArray[np.float32]] | None


def summed_in_order(rows: Iterable[NDArray[np.float32]]) -> NDArray[np.float32]:
    """The float32 sum of `rows` (arrays of one shape), added one after another from 0: the
    order in which the core sums per-destination flows and costs, so the same bits."""
    total: NDArray[np.float32] | None = None
    for row in rows:
        if total is None:
            total = np.zeros(np.shape(row), np.float32)
        total += row
    if total is None:
        raise ValueError("summed_in_order needs at least one row")
    return total


def shallow_fields(record: Any, kind: Any = None) -> dict[str, Any]:
    """A dataclass's fields by name (those of its base `kind`, if given), without copying them
    (``dataclasses.asdict`` copies)."""
    return {field.name: getattr(record, field.name) for field in fields(kind or record)}
