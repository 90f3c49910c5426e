"""Distances between points given by latitude and longitude."""

from __future__ import annotations

import numpy as np
from numpy.typing import NDArray

EARTH_RADIUS_M = 6_371_000.0
_BLOCK = 4_000_000  # pairs measured at once, to bound memory on large feeds

Floats = NDArray[np.float64]


def metres(lat_a: Floats, lon_a: Floats, lat_b: Floats, lon_b: Floats) -> Floats:
    """Great-circle (haversine) distances in metres, broadcast over the arguments. Computed in
    place in two arrays of the result's shape: on every pair of a large feed's zones the
    temporaries, not the arithmetic, would take most of the time."""
    phi_a, phi_b = np.radians(lat_a), np.radians(lat_b)
    h = np.subtract(phi_b, phi_a)
    h /= 2
    np.sin(h, out=h)
    np.square(h, out=h)
    across = np.radians(lon_b - lon_a)
    across /= 2
    np.sin(across, out=across)
    np.square(across, out=across)
    across *= np.cos(phi_a) * np.cos(phi_b)
    h += across
    np.clip(h, 0.0, 1.0, out=h)
    np.sqrt(h, out=h)
    np.arcsin(h, out=h)
    h *= 2 * EARTH_RADIUS_M
    return h


def pairs_within(lat_a: Floats, lon_a: Floats, lat_b: Floats, lon_b: Floats,
                 limit: float) -> tuple[NDArray[np.intp], NDArray[np.intp], Floats]:
    """Every pair (i, j) of a point i of a and a point j of b at most `limit` metres apart,
    ordered by i then j, with its distance. Only the pairs whose latitudes are within the
    limit's arc of each other are measured (two points are at least that far apart), so the
    work follows the pairs near each other rather than all pairs."""
    band = np.degrees(limit / EARTH_RADIUS_M) * (1 + 1e-9)
    order = np.argsort(lat_b, kind="stable")
    by_lat = lat_b[order]
    first = np.searchsorted(by_lat, lat_a - band, "left")
    counts = np.searchsorted(by_lat, lat_a + band, "right") - first
    ends = np.cumsum(counts)
    found = []
    start = 0
    while start < len(lat_a):  # rows of a in blocks of about _BLOCK candidate pairs
        stop = max(int(np.searchsorted(ends, ends[start] - counts[start] + _BLOCK, "right")),
                   start + 1)
        rows = slice(start, stop)
        i = np.repeat(np.arange(start, stop), counts[rows])
        within = np.arange(len(i)) - np.repeat(ends[rows] - counts[rows] - ends[start]
                                               + counts[start], counts[rows])
        j = order[np.repeat(first[rows], counts[rows]) + within]
        near = np.lexsort((j, i))
        i, j = i[near], j[near]
        distance = metres(lat_a[i], lon_a[i], lat_b[j], lon_b[j])
        kept = distance <= limit
        found.append((i[kept], j[kept], distance[kept]))
        start = stop
    if not found:
        return np.empty(0, np.intp), np.empty(0, np.intp), np.empty(0)
    i, j, distance = (np.concatenate(parts) for parts in zip(*found))
    return i, j, distance


def plane_km(lat: Floats, lon: Floats, reference_lat: float | None = None) -> Floats:
    """(n, 2) plane coordinates in km, x east and y north, good enough for a city's extent;
    east-west distances are true at `reference_lat` (default: the points' mean latitude)."""
    mean_lat = np.radians(np.mean(lat) if reference_lat is None else reference_lat)
    return np.column_stack([lon * 111.32 * np.cos(mean_lat), lat * 110.57])
