# Type information for the compiled core. It takes C-contiguous arrays of exactly these dtypes,
# keeps no policy, and writes its results into the arrays passed as outputs, with the
# interpreter lock released. Node-level outputs are (destinations, origins), or (origins,
# destinations) with origin_major. `assign` runs a congested model ("averaging", "capacity" or
# "crowding") when its parameters (model to arc_values) are given, all of them: it then writes
# the final frequencies (crowding: costs) into arc_values, returns (total_cost, gaps,
# stop_reason) and calls progress(iteration, gap); without them it returns the total cost and
# calls progress(destinations done).

from collections.abc import Callable

import numpy as np
from numpy.typing import NDArray

_U64 = NDArray[np.uint64]
_F32 = NDArray[np.float32]
_SparseDemand = tuple[_U64, _U64, _F32]

class ComputationError(RuntimeError): ...

class Network:
    node_count: int
    arc_count: int
    def __init__(self, tail: _U64, head: _U64, frequency: _F32, cost: _F32, /) -> None: ...

def advise_small_pages(array: NDArray[np.generic], /) -> None: ...
def write_pages(descriptor: int, offset: int, data: memoryview, stop: bytearray, /) -> int: ...
def assign(
    network: Network,
    destinations: _U64,
    demand: _F32 | _SparseDemand,
    origins: _U64,
    skim_values: tuple[_F32, ...],
    boarding: NDArray[np.uint8] | None,
    trip_end_skims: _U64 | None,
    origin_major: bool,
    node_costs: _F32,
    waiting_time: _F32,
    skims: _F32,
    no_boarding: _F32 | None,
    trip_ends: _F32 | None,
    arc_flows: _F32 | None,
    unassigned: NDArray[np.float64],
    destination_costs: _F32,
    model: str | None = None,
    capacity: _F32 | None = None,
    alpha: float | None = None,
    average_decay_factor: float | None = None,
    beta: float | None = None,
    tol: float | None = None,
    max_iters: int | None = None,
    arc_values: _F32 | None = None,
    progress: Callable[[int], None] | Callable[[int, float], None] | None = None,
) -> float | tuple[float, list[float], str]: ...
