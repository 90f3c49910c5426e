"""Distances between points given by latitude and longitude."""

from __future__ import annotations

import numpy as np
from numpy.typing import NDArray

EARTH_RADIUS_M = 6_371_000.0
_BLOCK = 4_000_000  # pairs measured at once, to bound memory on large feeds

Floats = NDArray[np.float64]


def metres(lat_a: Floats, lon_a: Floats, lat_b: Floats, lon_b: Floats) -> Floats:
    """Great-circle (haversine) distances in metres, broadcast over the arguments."""
    phi_a, phi_b = np.radians(lat_a), np.radians(lat_b)
    h = (np.sin((phi_b - phi_a) / 2) ** 2
         + np.cos(phi_a) * np.cos(phi_b) * np.sin(np.radians(lon_b - lon_a) / 2) ** 2)
    return 2 * EARTH_RADIUS_M * np.arcsin(np.sqrt(np.clip(h, 0.0, 1.0)))


def pairs_within(lat_a: Floats, lon_a: Floats, lat_b: Floats, lon_b: Floats,
                 limit: float) -> tuple[NDArray[np.intp], NDArray[np.intp], Floats]:
    """Every pair (i, j) of a point i of a and a point j of b at most `limit` metres apart,
    ordered by i then j, with its distance."""
    found = []
    rows = max(1, _BLOCK // max(len(lat_b), 1))
    for first in range(0, len(lat_a), rows):
        block = slice(first, first + rows)
        distance = metres(lat_a[block, None], lon_a[block, None], lat_b[None, :], lon_b[None, :])
        i, j = np.nonzero(distance <= limit)
        found.append((i + first, j, distance[i, j]))
    if not found:
        return np.empty(0, np.intp), np.empty(0, np.intp), np.empty(0)
    i, j, distance = (np.concatenate(parts) for parts in zip(*found))
    return i, j, distance


def plane_km(lat: Floats, lon: Floats, reference_lat: float | None = None) -> Floats:
    """(n, 2) plane coordinates in km, x east and y north, good enough for a city's extent;
    east-west distances are true at `reference_lat` (default: the points' mean latitude)."""
    mean_lat = np.radians(np.mean(lat) if reference_lat is None else reference_lat)
    return np.column_stack([lon * 111.32 * np.cos(mean_lat), lat * 110.57])
