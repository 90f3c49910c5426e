"""Argument checks and conversions, all in one place.

Every function here either returns a private, C-contiguous array of the dtype the core reads
(uint64 for node, stop and position numbers, float32 for everything else) or raises a
TypeError or ValueError that names the argument. Nothing is computed before they all pass.
"""

from __future__ import annotations

import numbers
from collections.abc import Callable, Mapping, Sequence
from typing import Any, Literal, TypeAlias, cast

import numpy as np
from numpy.typing import ArrayLike, NDArray

Rule: TypeAlias = Literal["finite", "frequency", "positive", "capacity"]
ArcFlows: TypeAlias = Literal["total", "per_destination", "none"]
ARC_FLOWS: tuple[ArcFlows, ...] = ("total", "per_destination", "none")
Layout: TypeAlias = Literal["destination", "origin"]
LAYOUTS: tuple[Layout, ...] = ("destination", "origin")

# What each rule demands, whether the smallest and largest values keep it (NaN makes both NaN,
# and every comparison with NaN is false), and the values that break it. Tested on the float32
# values, so a double that overflows float32 counts as infinite. Two reductions decide for the
# whole array, so a large demand is checked without temporary arrays; the mask is formed only
# to point at the first offending value.
_Bounds = Callable[[np.floating[Any], np.floating[Any]], bool]
_Mask = Callable[[NDArray[np.float32]], NDArray[np.bool_]]
_RULES: dict[Rule, tuple[str, _Bounds, _Mask]] = {
    "finite": ("must be finite and not negative", lambda lo, hi: bool(lo >= 0 and hi < np.inf),
               lambda v: ~np.isfinite(v) | (v < 0)),
    "frequency": ("must not be negative or NaN", lambda lo, hi: bool(lo >= 0 and hi == hi),
                  lambda v: np.isnan(v) | (v < 0)),
    "positive": ("must be positive and finite", lambda lo, hi: bool(lo > 0 and hi < np.inf),
                 lambda v: ~np.isfinite(v) | (v <= 0)),
    "capacity": ("must be positive (inf: none)", lambda lo, hi: bool(lo > 0 and hi == hi),
                 lambda v: np.isnan(v) | (v <= 0)),
}
_MAX_ITERS = 2**63 - 1
# The core's search keeps costs in steps of 1/60000 of the time unit in 32-bit integers: no
# cost reaches this. So that frequency x cost stays a 32-bit float, the finite frequencies out
# of a node add up to at most MAX_NODE_FREQUENCY.
COST_LIMIT = 2**31 / 60000
MAX_NODE_FREQUENCY = float(np.finfo(np.float32).max) / COST_LIMIT
# Node numbers are below this: more nodes than any network has, and fewer than would make the
# core's per-node arrays (tens of bytes a node) a request for more memory than a machine has.
MAX_NODES = 2**32


def numeric(values: ArrayLike, name: str, *, ndim: int | None, integer: bool) -> NDArray[Any]:
    """`values` as an array of `ndim` dimensions (any, if None) holding integers, or, unless
    `integer`, real numbers. An empty float array passes as integers: `np.asarray([])`."""
    if isinstance(values, (str, bytes)):
        raise TypeError(f"{name} must be an array of numbers, not {type(values).__name__}")
    try:
        array = np.asarray(values)
    except ValueError as error:  # ragged nesting
        raise ValueError(f"{name} must be a regular array: {error}") from None
    kinds = "iu" if integer else "iuf"
    if array.dtype.kind not in kinds and not (array.size == 0 and array.dtype.kind == "f"):
        wanted = "integers" if integer else "real numbers"
        raise TypeError(f"{name} must hold {wanted}, not {array.dtype}")
    if ndim is not None and array.ndim != ndim:
        raise ValueError(f"{name} must have {ndim} dimension{'s' * (ndim != 1)}; "
                         f"it has shape {array.shape}")
    return array


def indices(values: ArrayLike, name: str, *, below: int | None = None, limit: str = "",
            item: str = "entry") -> NDArray[np.uint64]:
    """A 1-D array of non-negative integers below `below` (described as `limit`)."""
    array = numeric(values, name, ndim=1, integer=True)
    if array.size and array.dtype.kind == "i" and array.min() < 0:
        first = int(np.flatnonzero(array < 0)[0])
        raise ValueError(f"{name} must not be negative: {item} {first} is {array[first]}")
    if below is not None and array.size and array.max() >= below:
        first = int(np.flatnonzero(array >= below)[0])
        raise ValueError(f"{name} {item} {first} is {array[first]}, not below {limit} {below}")
    return np.array(array, dtype=np.uint64, order="C", copy=True)


def float32(values: ArrayLike, name: str, *, ndim: int | None = 1,
            private: bool = True) -> tuple[NDArray[np.float32], NDArray[Any]]:
    """`values` as a C-contiguous float32 array, and the array it was converted from (for
    messages). A private copy unless `private` is false: then an array already in that form is
    used as it is, which spares the time and memory of copying a large demand for one call."""
    array = numeric(values, name, ndim=ndim, integer=False)
    with np.errstate(over="ignore"):  # too large for float32: `require` reports it
        if private:
            return np.array(array, dtype=np.float32, order="C", copy=True), array
        return np.ascontiguousarray(array, dtype=np.float32), array


def require(rule: Rule, name: str, values: NDArray[np.float32], original: NDArray[Any],
            where: Callable[[int], str]) -> None:
    """Raises if a value breaks `rule`; `where(i)` introduces the value at flat position i."""
    text, kept, broken = _RULES[rule]
    if values.size == 0 or kept(values.min(), values.max()):
        return
    bad = np.flatnonzero(broken(values))
    if bad.size:
        first = int(bad[0])
        given = original.flat[first].item()
        note = ""
        if isinstance(given, float) and np.isfinite(given) and np.isinf(values.flat[first]):
            note = " (infinite as a 32-bit float)"
        raise ValueError(f"{name} {text}: {where(first)} {given!r}{note}")


def at(item: str) -> Callable[[int], str]:
    """Introduces a value of a 1-D array: `arc 3 has`."""
    return lambda i: f"{item} {i} has"


def at_entry(shape: tuple[int, ...]) -> Callable[[int], str]:
    """Introduces a value of an N-D array: `entry (1, 3) has`."""
    return lambda i: f"entry {tuple(int(k) for k in np.unravel_index(i, shape))} has"


def checked(values: ArrayLike, name: str, rule: Rule, *, item: str = "entry",
            ndim: int = 1, private: bool = True) -> NDArray[np.float32]:
    """`values` as float32, every value keeping `rule` (see `float32` for `private`)."""
    converted, original = float32(values, name, ndim=ndim, private=private)
    require(rule, name, converted, original, at(item) if ndim == 1 else at_entry(original.shape))
    return converted


def node_frequencies(tails: NDArray[np.uint64], frequencies: NDArray[np.float32]) -> None:
    """Refuses finite frequencies that add up past MAX_NODE_FREQUENCY out of a node."""
    finite = np.isfinite(frequencies)
    if frequencies[finite].sum(dtype=np.float64) <= MAX_NODE_FREQUENCY:
        return  # the common case, without a sum per node
    nodes, node_of = np.unique(tails[finite], return_inverse=True)
    sums = np.bincount(node_of, weights=frequencies[finite])
    worst = int(np.argmax(sums))
    if sums[worst] > MAX_NODE_FREQUENCY:
        raise ValueError(f"frequency must be inf or finite values adding up to at most "
                         f"{MAX_NODE_FREQUENCY:.3g} out of a node, so that frequency x cost "
                         f"stays a 32-bit float: the arcs out of node {nodes[worst]} add up to "
                         f"{sums[worst]:.3g}")


def same_length(arrays: Mapping[str, NDArray[Any]]) -> int:
    """The common length of 1-D arrays, or a ValueError listing them all."""
    lengths = {name: len(array) for name, array in arrays.items()}
    if len(set(lengths.values())) > 1:
        *others, last = lengths
        listed = ", ".join(f"{name} has {length}" for name, length in lengths.items())
        raise ValueError(f"{', '.join(others)} and {last} must have the same length: {listed}")
    return next(iter(lengths.values()))


def expect_shape(array: NDArray[Any], name: str, expected: tuple[int, ...], meaning: str) -> None:
    if array.shape != expected:
        raise ValueError(f"{name} has shape {array.shape}; expected {expected} ({meaning})")


def triple(values: object, name: str, parts: str) -> Sequence[Any]:
    """A tuple of exactly three parts, described by `parts` in the message."""
    if not isinstance(values, tuple) or len(values) != 3:
        raise TypeError(f"{name} must be a tuple {parts}")
    return values


def per_item(values: ArrayLike, name: str, count: int, item: str,
             rule: Rule = "positive") -> NDArray[np.float32]:
    """A scalar or one value per item keeping `rule`, as `count` float32 values."""
    converted, original = float32(values, name, ndim=None)
    if converted.ndim == 0:
        require(rule, name, converted, original, lambda i: "got")
        return np.full(count, converted, np.float32)
    if converted.shape != (count,):
        raise ValueError(f"{name} must be a number or one value per {item} ({count}); "
                         f"it has shape {converted.shape}")
    require(rule, name, converted, original, at(item))
    return converted


def real(value: object, name: str) -> float:
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number, not {type(value).__name__}")
    return float(value)


def exponent(value: object, name: str) -> float:
    number = real(value, name)
    if not 0 <= number < np.inf:
        raise ValueError(f"{name} must be finite and not negative: got {number!r}")
    return number


def tolerance(value: object) -> float:
    number = real(value, "tol")
    if not number >= 0:
        raise ValueError(f"tol must not be negative or NaN: got {number!r}")
    return number


def integer(value: object, name: str) -> int:
    """A Python or NumPy integer (not a bool), as an int."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an integer, not {type(value).__name__}")
    return int(value)


def iterations(value: object, *, least: int) -> int:
    """max_iters, an integer from `least` (0 meaning no limit) up."""
    number = integer(value, "max_iters")
    if not least <= number <= _MAX_ITERS:
        low = "0 (no limit)" if least == 0 else str(least)
        raise ValueError(f"max_iters must be between {low} and {_MAX_ITERS}: got {number}")
    return number


def share(value: object, name: str) -> float:
    """A real number in (0, 1]."""
    number = real(value, name)
    if not 0 < number <= 1:
        raise ValueError(f"{name} must be in (0, 1]: got {number!r}")
    return number


def one_of(value: object, name: str, choices: tuple[str, ...]) -> str:
    if isinstance(value, str) and value in choices:
        return value
    raise ValueError(f"{name} must be one of {', '.join(map(repr, choices))}: got {value!r}")


def arc_flows(value: object) -> ArcFlows:
    return cast(ArcFlows, one_of(value, "arc_flows", ARC_FLOWS))


def layout(value: object) -> Layout:
    return cast(Layout, one_of(value, "layout", LAYOUTS))


def arc_mask(values: ArrayLike, name: str, count: int) -> NDArray[np.uint8]:
    """One bool per arc, as 0/1 bytes."""
    array = np.asarray(values)
    if array.dtype != np.bool_:
        raise TypeError(f"{name} must hold booleans, not {array.dtype}")
    expect_shape(array, name, (count,), "arc_count")
    return array.astype(np.uint8)


def flag(value: object, name: str) -> bool:
    if not isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name} must be True or False, not {type(value).__name__}")
    return bool(value)
