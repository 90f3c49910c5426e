"""The two calls into the core: result arrays are allocated here and filled by the core."""

from __future__ import annotations

import os
from dataclasses import dataclass
from typing import Any, NamedTuple, TypeAlias, cast

import numpy as np
from numpy.typing import NDArray

from . import _core
from . import progress as _progress  # the calls below name their callback `progress`
from ._validate import ArcFlows
from .congestion import CongestionModel, CrowdingModel
from .results import CongestedLoop, shallow_fields

F32: TypeAlias = NDArray[np.float32]
U64: TypeAlias = NDArray[np.uint64]
# Dense (destinations, node_count) trips, or (origin nodes, destination positions, trips).
Demand: TypeAlias = F32 | tuple[U64, U64, F32]
# What the core returns for a congested model: total cost, gaps, why it stopped.
LoopResult: TypeAlias = tuple[float, list[float], str]
# The core's parameters of the models that do not have them: unread.
_UNUSED = {"alpha": 0.0, "average_decay_factor": 1.0}


@dataclass(frozen=True)
class Request:
    """One assignment's validated inputs, in the dtypes the core reads."""

    destinations: U64
    demand: Demand
    origins: U64
    skim_names: tuple[str, ...]
    skim_values: tuple[F32, ...]  # one value per arc, per name, then boardings with `boarding`
    boarding: NDArray[np.uint8] | None  # given: also find the share that never boards
    trip_end_skims: U64 | None  # with boarding: the skims split at the trip's ends
    origin_major: bool  # node-level results (origins, destinations) instead of the reverse
    arc_flows: ArcFlows
    progress: bool


@dataclass(frozen=True)
class Congestion:
    """A congested model: a capacity per arc and the model's settings."""

    capacity: F32
    model: CongestionModel


class Outputs(NamedTuple):
    """The arrays the core writes, by the names of its parameters."""

    node_costs: F32
    waiting_time: F32
    skims: F32  # (skims, *node_costs.shape)
    no_boarding: F32 | None
    trip_ends: F32 | None  # (1 + 2 x split skims, *node_costs.shape)
    arc_flows: F32 | None
    unassigned: NDArray[np.float64]
    destination_costs: F32


def new_result(shape: tuple[int, ...]) -> F32:
    """An uninitialised float32 result array, to be written once, by the core or in place
    (see _core.advise_small_pages: large new arrays on huge pages cost more to write first than
    they save)."""
    array = np.empty(shape, np.float32)
    _core.advise_small_pages(array)
    return array


def remainder(whole: F32, *parts: F32) -> F32:
    """`whole` less its `parts`, in a new result array; rounding may leave the difference a
    hair below 0, which it cannot be, so it is at least 0."""
    left = new_result(whole.shape)
    np.subtract(whole, parts[0], out=left)
    for part in parts[1:]:
        left -= part
    return np.maximum(left, np.float32(0), out=left)


def _allocate(request: Request, arc_count: int) -> Outputs:
    """The result arrays, or a ComputationError saying how many bytes they need when that is
    more than the machine's memory or than can be allocated."""
    destinations, origins = len(request.destinations), len(request.origins)
    node_shape = (origins, destinations) if request.origin_major else (destinations, origins)
    flow_shape = {"total": (arc_count,), "per_destination": (destinations, arc_count),
                  "none": None}[request.arc_flows]
    trip_end_results = (0 if request.trip_end_skims is None
                        else 1 + 2 * len(request.trip_end_skims))
    node_results = (2 + len(request.skim_values) + (request.boarding is not None)
                    + trip_end_results)
    needed = 4 * (node_results * node_shape[0] * node_shape[1]
                  + (0 if flow_shape is None else int(np.prod(flow_shape)))) + 12 * destinations
    memory = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES")
    failure = _core.ComputationError(f"the results need {needed:,} bytes of memory, more than "
                                     f"can be had (the machine has {memory:,})")
    if needed > memory:
        raise failure
    try:
        return Outputs(
            node_costs=new_result(node_shape),
            waiting_time=new_result(node_shape),
            skims=new_result((len(request.skim_values), *node_shape)),
            no_boarding=None if request.boarding is None else new_result(node_shape),
            trip_ends=(None if request.trip_end_skims is None else
                       new_result((trip_end_results, *node_shape))),
            arc_flows=None if flow_shape is None else new_result(flow_shape),
            unassigned=np.empty(destinations, np.float64),
            destination_costs=np.empty(destinations, np.float32),
        )
    except MemoryError:
        raise failure from None


def assign(network: _core.Network, request: Request) -> tuple[Outputs, float]:
    """The results of one assignment, and its total cost."""
    outputs = _allocate(request, network.arc_count)
    with _progress.destinations(request.progress, len(request.destinations)) as progress:
        total_cost = _core.assign(network, **_inputs(request), **outputs._asdict(),
                                  progress=progress)
    return outputs, cast(float, total_cost)


def assign_congested(network: _core.Network, request: Request, congestion: Congestion,
                     nominal: tuple[F32, F32]) -> tuple[Outputs, float, CongestedLoop]:
    """The results of the congested model's last assignment, with the model's flows, its total
    cost, and how the loop ended; `nominal` holds the network's frequencies and costs, the
    model's own where it does not change them."""
    outputs = _allocate(request, network.arc_count)
    arc_values = np.empty(network.arc_count, np.float32)
    model = congestion.model
    with _progress.iterations(request.progress, model.max_iters) as progress:
        total_cost, gaps, stop_reason = cast(LoopResult, _core.assign(
            network, **_inputs(request), **outputs._asdict(), model=model.name,
            capacity=congestion.capacity, **(_UNUSED | shallow_fields(model)),
            arc_values=arc_values, progress=progress))
    frequency, cost = nominal
    crowding = isinstance(model, CrowdingModel)
    return outputs, total_cost, CongestedLoop(
        iterations=len(gaps), gaps=tuple(gaps), converged=stop_reason in ("tolerance", "settled"),
        stop_reason=stop_reason, effective_frequencies=frequency if crowding else arc_values,
        arc_costs=arc_values if crowding else cost)


def _inputs(request: Request) -> dict[str, Any]:
    """The request's arrays by the names of the core's parameters."""
    return dict(destinations=request.destinations, demand=request.demand,
                origins=request.origins, skim_values=request.skim_values,
                boarding=request.boarding, trip_end_skims=request.trip_end_skims,
                origin_major=request.origin_major)
