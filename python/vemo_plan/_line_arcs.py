"""The arcs of a line network, built from checked line descriptions with NumPy.

Node s is stop s for s < stop_count; the positions of line i get the nodes B_i .. B_i + n_i - 1
after them (B_0 = stop_count, B_{i+1} = B_i + n_i). A line of stops s_0 .. s_{n-1} adds, in
this order: boarding at s_0; then for each k = 1 .. n-1 the ride into position k, boarding at
s_k unless k is the last position, and alighting at s_k. Walking arcs come after every line.
This is the order vemo's line functions use, so arc a means the same arc in both.

Without chained walks, each stop s gets a second node, its arrival node A_s = stop_count + s,
and the line positions come after those (B_0 = 2 stop_count). Alighting arcs arrive at A_s,
a trip starts there, and a walk from stop a to stop b runs from A_a to b; an arc A_s -> s (a
walk of 0, first among the walking arcs) lets a rider board where they alighted or start. A
walk then always ends where one can only board or arrive, so no trip walks twice in a row.
"""

from __future__ import annotations

from enum import IntEnum
from typing import NamedTuple

import numpy as np
from numpy.typing import NDArray


class ArcKind(IntEnum):
    """What an arc of a line network is (``LineNetwork.arc_kind``)."""

    BOARD = 0
    RIDE = 1
    ALIGHT = 2
    WALK = 3


class LineArcs(NamedTuple):
    tail: NDArray[np.uint64]
    head: NDArray[np.uint64]
    frequency: NDArray[np.float32]
    cost: NDArray[np.float32]
    kind: NDArray[np.uint8]
    line: NDArray[np.int64]  # -1 for walking arcs


def line_starts(lengths: NDArray[np.int64]) -> NDArray[np.bool_]:
    """Which positions of the concatenated lines are a line's first; `lengths[i]` per line."""
    mask = np.zeros(int(lengths.sum()), bool)
    mask[np.cumsum(lengths) - lengths] = True
    return mask


def line_ends(lengths: NDArray[np.int64]) -> NDArray[np.bool_]:
    """Which positions of the concatenated lines are a line's last."""
    mask = np.zeros(int(lengths.sum()), bool)
    mask[np.cumsum(lengths) - 1] = True
    return mask


def line_arcs(stops: NDArray[np.uint64], lengths: NDArray[np.int64],
              frequencies: NDArray[np.float32], ride_minutes: NDArray[np.float32],
              stop_count: int, walks: tuple[NDArray[np.uint64], NDArray[np.uint64],
                                            NDArray[np.float32]],
              chained_walks: bool = True) -> LineArcs:
    """`stops`: every line's stops, one line after another, `lengths[i]` of them for line i;
    `ride_minutes`: every line's n_i - 1 running times, likewise; `walks`: from, to, minutes."""
    positions = len(stops)
    line = np.repeat(np.arange(len(lengths)), lengths)
    first, last = line_starts(lengths), line_ends(lengths)
    arrival = np.uint64(0 if chained_walks else stop_count)
    node = (stop_count + int(arrival) + np.arange(positions)).astype(np.uint64)
    ride_cost = np.zeros(positions, np.float32)
    ride_cost[~first] = ride_minutes
    inf = np.full(positions, np.inf, np.float32)
    zero = np.zeros(positions, np.float32)

    # Up to three arcs per position, in the order ride into it, board at it, alight at it.
    present = np.stack([~first, ~last, ~first], axis=1)

    def arcs(ride: NDArray[np.generic], board: NDArray[np.generic],
             alight: NDArray[np.generic]) -> NDArray[np.generic]:
        return np.stack([ride, board, alight], axis=1)[present]

    walk_from, walk_to, walk_minutes = walks
    if not chained_walks:
        every_stop = np.arange(stop_count, dtype=np.uint64)
        walk_from = np.concatenate([every_stop, walk_from]) + arrival
        walk_to = np.concatenate([every_stop, walk_to])
        walk_minutes = np.concatenate([np.zeros(stop_count, np.float32), walk_minutes])
    walk_count = len(walk_from)
    kinds = [np.full(positions, kind, np.uint8) for kind in
             (ArcKind.RIDE, ArcKind.BOARD, ArcKind.ALIGHT)]
    return LineArcs(
        tail=np.concatenate([arcs(node - np.uint64(1), stops, node), walk_from]),
        head=np.concatenate([arcs(node, node, stops + arrival), walk_to]),
        frequency=np.concatenate([arcs(inf, frequencies[line], inf),
                                  np.full(walk_count, np.inf, np.float32)]),
        cost=np.concatenate([arcs(ride_cost, zero, zero), walk_minutes]),
        kind=np.concatenate([arcs(*kinds), np.full(walk_count, ArcKind.WALK, np.uint8)]),
        line=np.concatenate([arcs(line, line, line), np.full(walk_count, -1, np.int64)]),
    )
