"""Zone-to-zone demand: a gravity model, or a CSV file the planner gives. Matrices are
``[origin zone, destination zone]`` trips in the time window, float64.

The gravity model spreads `total_trips` over the ordered pairs of distinct zones:

    trips[i, j] = total_trips * w[i, j] / (sum of all w)
    w[i, j] = a[i] * a[j] * exp(-d[i, j] / L)

where a[i] is the activity of zone i (the runs in the window that serve its stops, summed
over the stops it is connected to), d[i, j] the great-circle distance between the zones in km
and L the length scale in km. Busy places send and draw more trips, and trips fall off with
distance. w[i, i] = 0: intrazonal trips are not assigned.
"""

from __future__ import annotations

import os

import numpy as np
from numpy.typing import NDArray

from ._geo import metres
from ._tables import InputError, read_table
from .model import ZoneModel
from .zones import Zones

DEMAND_COLUMNS = ("origin", "destination", "trips")
MOST_TRIPS = 1e12  # a pair's trips in a demand file: more is a fault, not a city

# Rows of zones whose distances to the zones after them are measured at once.
_DECAY_ROWS = 256


def zone_activity(model: ZoneModel) -> NDArray[np.float64]:
    """Per zone, the runs serving its stops."""
    feed_lines = model.feed_lines
    stop_activity = np.zeros(len(feed_lines.stop_ids))
    for stops, runs in zip(feed_lines.alignments, feed_lines.runs):
        np.add.at(stop_activity, stops, runs)
    if model.zones.of_stops:
        return stop_activity
    activity = np.zeros(len(model.zones))
    at_stop = model.zones.at_stop
    if at_stop is not None:
        activity[at_stop >= 0] = stop_activity[at_stop[at_stop >= 0]]
    np.add.at(activity, model.access["zone"].to_numpy(np.int64),
              stop_activity[model.access["stop"].to_numpy(np.int64)])
    return activity


def gravity_demand(model: ZoneModel, total_trips: float = 3000.0,
                   length_km: float = 3.0) -> NDArray[np.float64]:
    """Trips between zones by the gravity model described at the top of this file."""
    if not (total_trips >= 0 and length_km > 0):
        raise ValueError(f"total_trips must not be negative and length_km must be positive: "
                         f"got {total_trips} and {length_km}")
    zones = model.zones
    activity = zone_activity(model)
    weight = np.outer(activity, activity)
    _decay(weight, zones.lat, zones.lon, length_km)
    np.fill_diagonal(weight, 0.0)
    total = weight.sum()
    if not total > 0:
        raise InputError("the gravity model needs two zones connected to stops served in the "
                         "window")
    weight *= total_trips
    weight /= total
    return weight


def _decay(weight: NDArray[np.float64], lat: NDArray[np.float64], lon: NDArray[np.float64],
           length_km: float) -> None:
    """Multiplies `weight` by exp(-km / length_km) between every two zones, in place. The
    distances are symmetric bit for bit (the haversine's terms are), so each block of rows is
    measured from its diagonal on and serves its mirror too: half the arithmetic of the whole
    matrix, and no matrix of its own."""
    for first in range(0, len(lat), _DECAY_ROWS):
        end = min(first + _DECAY_ROWS, len(lat))
        block = metres(lat[first:end, None], lon[first:end, None], lat[None, first:],
                       lon[None, first:])
        block /= 1000.0
        np.negative(block, out=block)
        block /= length_km
        np.exp(block, out=block)
        weight[first:end, first:] *= block
        # The mirror below the diagonal square, which the line above already covered.
        weight[end:, first:end] *= block[:, end - first:].T


def read_demand(path: str | os.PathLike[str], zones: Zones) -> NDArray[np.float64]:
    """Trips from a CSV with the columns origin, destination (zone ids) and trips (at most
    MOST_TRIPS on a line); the trips of a pair named on several lines add up."""
    table = read_table(path, os.fspath(path), DEMAND_COLUMNS)
    index = {zone: k for k, zone in enumerate(zones.ids)}
    ends = []
    for column in ("origin", "destination"):
        numbers = table.rows[column].map(index)
        if numbers.isna().any():
            line = numbers.isna().idxmax()
            table.fail(line, f"{column} {table.rows[column][line]!r} is not a zone")
        ends.append(numbers.to_numpy(np.int64))
    trips = np.zeros((len(zones), len(zones)))
    np.add.at(trips, (ends[0], ends[1]),
              table.numbers("trips", minimum=0, most=MOST_TRIPS).to_numpy(float))
    return trips
