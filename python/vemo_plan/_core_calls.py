"""The two calls into the core: result arrays are allocated here and filled by the core."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, NamedTuple, TypeAlias, cast

import numpy as np
from numpy.typing import NDArray

from . import _core
from . import progress as _progress  # the calls below name their callback `progress`
from ._validate import ArcFlows
from .congestion import CongestionSettings
from .results import CongestedLoop, shallow_fields

F32: TypeAlias = NDArray[np.float32]
U64: TypeAlias = NDArray[np.uint64]
# Dense (destinations, node_count) trips, or (origin nodes, destination positions, trips).
Demand: TypeAlias = F32 | tuple[U64, U64, F32]
# What the core returns for the congested loop: total cost, iterations, gaps, converged.
LoopResult: TypeAlias = tuple[float, int, list[float], bool]


@dataclass(frozen=True)
class Request:
    """One assignment's validated inputs, in the dtypes the core reads."""

    destinations: U64
    demand: Demand
    origins: U64
    skim_names: tuple[str, ...]
    skim_values: tuple[F32, ...]  # one value per arc, per name, then boardings with `boarding`
    boarding: NDArray[np.uint8] | None  # given: also find the share that never boards
    origin_major: bool  # node-level results (origins, destinations) instead of the reverse
    arc_flows: ArcFlows
    progress: bool


@dataclass(frozen=True)
class Congestion:
    """The congested loop: a capacity per arc and the loop's settings."""

    capacity: F32
    settings: CongestionSettings


class Outputs(NamedTuple):
    """The arrays the core writes, by the names of its parameters."""

    node_costs: F32
    waiting_time: F32
    skims: F32  # (skims, *node_costs.shape)
    no_boarding: F32 | None
    arc_flows: F32 | None
    unassigned: NDArray[np.float64]
    destination_costs: F32


def new_result(shape: tuple[int, ...]) -> F32:
    """An uninitialised float32 result array, which the core writes once (see
    _core.advise_small_pages: large new arrays on huge pages cost more to write first than they
    save)."""
    array = np.empty(shape, np.float32)
    _core.advise_small_pages(array)
    return array


def _allocate(request: Request, arc_count: int) -> Outputs:
    destinations, origins = len(request.destinations), len(request.origins)
    node_shape = (origins, destinations) if request.origin_major else (destinations, origins)
    flow_shape = {"total": (arc_count,), "per_destination": (destinations, arc_count),
                  "none": None}[request.arc_flows]
    return Outputs(
        node_costs=new_result(node_shape),
        waiting_time=new_result(node_shape),
        skims=new_result((len(request.skim_values), *node_shape)),
        no_boarding=None if request.boarding is None else new_result(node_shape),
        arc_flows=None if flow_shape is None else new_result(flow_shape),
        unassigned=np.empty(destinations, np.float64),
        destination_costs=np.empty(destinations, np.float32),
    )


def assign(network: _core.Network, request: Request) -> tuple[Outputs, float]:
    """The results of one assignment, and its total cost."""
    outputs = _allocate(request, network.arc_count)
    with _progress.destinations(request.progress, len(request.destinations)) as progress:
        total_cost = _core.assign(network, **_inputs(request), **outputs._asdict(),
                                  progress=progress)
    return outputs, cast(float, total_cost)


def assign_congested(network: _core.Network, request: Request,
                     congestion: Congestion) -> tuple[Outputs, float, CongestedLoop]:
    """The results of the congested loop's last assignment with its averaged flows, the total
    cost, and how the loop ended."""
    outputs = _allocate(request, network.arc_count)
    effective_frequencies = np.empty(network.arc_count, np.float32)
    with _progress.iterations(request.progress, congestion.settings.max_iters) as progress:
        total_cost, iterations, gaps, converged = cast(LoopResult, _core.assign(
            network, **_inputs(request), **outputs._asdict(),
            capacity=congestion.capacity, **shallow_fields(congestion.settings),
            effective_frequencies=effective_frequencies,
            progress=progress))
    return outputs, total_cost, CongestedLoop(
        iterations=iterations, gaps=tuple(gaps), converged=converged,
        effective_frequencies=effective_frequencies)


def _inputs(request: Request) -> dict[str, Any]:
    """The request's arrays by the names of the core's parameters."""
    return dict(destinations=request.destinations, demand=request.demand,
                origins=request.origins, skim_values=request.skim_values,
                boarding=request.boarding, origin_major=request.origin_major)
