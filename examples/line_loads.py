"""Per-segment line loads from the arc flow totals of the line-based functions."""

from __future__ import annotations

from collections.abc import Sequence


def segment_loads(alignments: Sequence[Sequence[int]],
                  arc_flows: Sequence[float]) -> list[list[float]]:
    """Flow on each in-vehicle arc, line by line: loads[i][k] rides from stop k to stop k + 1
    of line i. A line of n stops has 3(n − 1) arcs: boarding at its first stop, then per further
    stop the ride into it, a boarding arc unless it is the last stop, and the alighting arc."""
    loads, arc = [], 0
    for stops in alignments:
        ride = arc + 1
        loads.append([arc_flows[ride + 3 * (k - 1)] for k in range(1, len(stops))])
        arc += 3 * (len(stops) - 1)
    return loads
