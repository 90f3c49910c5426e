# Type information for the vemo extension module, for mypy, pyright and IDEs.
#
# Every parameter is copied element by element: a list, tuple, range or NumPy array works, and
# so does any other object with a length, indexing and iteration. An index element is anything
# with __index__ (int, bool, NumPy integers); a float element is anything with __float__ or
# __index__. Results are always new lists of floats: every value is a 32-bit float widened to a
# Python float.
#
# The first parameter of the arc-list functions is called `from`, a Python keyword. A stub
# cannot declare a parameter named `from`, so it is declared positional-only (before the `/`)
# under the name `from_`: calls that pass it by position, the only way plain Python syntax can
# pass it, type-check, and no call can pass a `from_` keyword that the module would reject.
# At run time `**{"from": ...}` is accepted too; type checkers cannot express that one.

from collections.abc import Iterator
from typing import Any, Final, Protocol, SupportsFloat, SupportsIndex, TypeVar

__all__: Final[list[str]]

_T_co = TypeVar("_T_co", covariant=True)

class _Sequence(Protocol[_T_co]):
    """A list, tuple, range, bytes or NumPy array: sized, indexable and iterable."""

    def __len__(self) -> int: ...
    def __getitem__(self, index: int, /) -> Any: ...
    def __iter__(self) -> Iterator[_T_co]: ...

_Index = SupportsIndex
_Float = SupportsFloat | SupportsIndex

def linear_assign(
    from_: _Sequence[_Index],
    /,
    to: _Sequence[_Index],
    arc_freqs: _Sequence[_Float],
    costs: _Sequence[_Float],
    demands: _Sequence[_Float],
    dsts: _Sequence[_Index],
) -> tuple[list[float], list[float]]:
    """Per-destination node costs and arc flows, as two flat destination-major lists:
    (len(dsts) * node_count node costs, len(dsts) * arc_count arc flows)."""

def mat_linear_assign(
    alignments: _Sequence[_Sequence[_Index]],
    freqs: _Sequence[_Float],
    travel_time_mat: _Sequence[_Sequence[_Float]],
    demands_mat: _Sequence[_Sequence[_Float]],
) -> tuple[list[list[float]], list[float], float]:
    """(stop cost matrix, total flow on every arc of the line network, total cost)."""

def linear_congested_assign(
    from_: _Sequence[_Index],
    /,
    to: _Sequence[_Index],
    arc_freqs: _Sequence[_Float],
    costs: _Sequence[_Float],
    demands: _Sequence[_Float],
    dsts: _Sequence[_Index],
    capacity: _Float,
    average_decay_factor: _Float = 0.01,
    beta: _Float = 0.2,
    tol: _Float = 0.001,
    max_iters: _Index = 1000,
) -> tuple[list[float], list[float]]:
    """(node costs of the last assignment, averaged arc flows), laid out as linear_assign's."""

def mat_linear_congested_assign(
    alignments: _Sequence[_Sequence[_Index]],
    freqs: _Sequence[_Float],
    travel_time_mat: _Sequence[_Sequence[_Float]],
    demands_mat: _Sequence[_Sequence[_Float]],
    capacity: _Float,
    average_decay_factor: _Float = 0.01,
    beta: _Float = 0.2,
    tol: _Float = 0.001,
    max_iters: _Index = 1000,
) -> tuple[list[list[float]], list[float], float]:
    """The triple of mat_linear_assign, from the congested loop's last node costs and
    averaged flows."""
