"""Stop-to-stop demand for a line description: a gravity model, or a CSV file the user gives.

The gravity model spreads `total_trips` over the ordered pairs of distinct stops:

    trips[i][j] = total_trips * w[i][j] / (sum of all w)
    w[i][j] = a[i] * a[j] * exp(-d[i][j] / L)

where a[i] is the activity of stop i (the number of runs that serve it in the window), d[i][j]
the great-circle distance between the stops in km and L the length scale in km. Busy stops send
and draw more trips, and trips fall off with distance. w[i][i] = 0: nobody rides to where they
are. The placeholder stop 0 has no activity, so it sends and draws nothing.
"""

from __future__ import annotations

from pathlib import Path

import numpy as np
import pandas as pd

from gtfs_lines import LineDescription

EARTH_RADIUS_KM = 6371.0


def distances_km(lat: np.ndarray, lon: np.ndarray) -> np.ndarray:
    """Great-circle (haversine) distances between every pair of points, in km."""
    phi, lam = np.radians(lat), np.radians(lon)
    half_dphi = (phi[:, None] - phi[None, :]) / 2
    half_dlam = (lam[:, None] - lam[None, :]) / 2
    cosines = np.cos(phi[:, None]) * np.cos(phi[None, :])
    h = np.sin(half_dphi) ** 2 + cosines * np.sin(half_dlam) ** 2
    return 2 * EARTH_RADIUS_KM * np.arcsin(np.sqrt(np.clip(h, 0.0, 1.0)))


def stop_activity(lines: LineDescription) -> np.ndarray:
    activity = np.zeros(lines.stop_count)
    for stops, runs in zip(lines.alignments, lines.runs):
        np.add.at(activity, stops, runs)
    return activity


def gravity_demand(lines: LineDescription, total_trips: float, length_km: float) -> np.ndarray:
    """stop_count x stop_count trips, as described at the top of this file."""
    activity = stop_activity(lines)
    lat, lon = np.nan_to_num(lines.stop_lat), np.nan_to_num(lines.stop_lon)
    weight = np.outer(activity, activity) * np.exp(-distances_km(lat, lon) / length_km)
    np.fill_diagonal(weight, 0.0)
    if weight.sum() == 0:
        raise ValueError("the gravity model needs two stops served in the window")
    return total_trips * weight / weight.sum()


def csv_demand(lines: LineDescription, path: str | Path) -> tuple[np.ndarray, int]:
    """Trips from a CSV with the columns origin_stop_id, destination_stop_id and trips; rows of
    one pair add up. Returns the matrix and how many rows named a stop no line serves in the
    window (those rows are left out)."""
    table = pd.read_csv(path, dtype={"origin_stop_id": str, "destination_stop_id": str})
    missing = {"origin_stop_id", "destination_stop_id", "trips"} - set(table.columns)
    if missing:
        raise ValueError(f"{path}: missing columns {sorted(missing)}")
    index = {stop: k for k, stop in enumerate(lines.stop_ids) if k > 0}
    origins = table["origin_stop_id"].str.strip().map(index)
    destinations = table["destination_stop_id"].str.strip().map(index)
    known = origins.notna() & destinations.notna()
    demand = np.zeros((lines.stop_count, lines.stop_count))
    np.add.at(demand, (origins[known].astype(int), destinations[known].astype(int)),
              table["trips"][known].astype(float))
    return demand, int((~known).sum())
