"""Riders per vehicle of each line: a default per mode from its route's GTFS route_type, one
number for every line, or a CSV of route_id, capacity for some routes.

The defaults are a planner's usual figures for a vehicle with its standing room, seated and
standing riders together (docs/job.md gives the reasons).
"""

from __future__ import annotations

import os
from collections.abc import Collection, Mapping
from typing import NamedTuple

import numpy as np
from numpy.typing import NDArray

from ._tables import InputError, read_table
from .gtfs import FeedLines



class Mode(NamedTuple):
    name: str
    key: str  # names its skims, as in_vehicle_time_<key>
    capacity: float  # riders per vehicle


# The basic route_types.
MODES: dict[int, Mode] = {
    0: Mode("tram, light rail", "tram", 200.0),
    1: Mode("metro, subway", "metro", 1000.0),
    2: Mode("rail", "rail", 600.0),
    3: Mode("bus", "bus", 80.0),
    4: Mode("ferry", "ferry", 300.0),
    5: Mode("cable car", "cable_car", 60.0),
    6: Mode("gondola, aerial lift", "aerial_lift", 10.0),
    7: Mode("funicular", "funicular", 100.0),
    11: Mode("trolleybus", "trolleybus", 80.0),
    12: Mode("monorail", "monorail", 500.0),
}
BUS = 3  # the mode of a route without a known route_type, and of air, taxi and other services
# The extended route_types by hundred, 100 to 1799: the basic mode of each range.
EXTENDED = {1: 2, 2: BUS, 3: 2, 4: 1, 5: 1, 6: 1, 7: BUS, 8: 11, 9: 0, 10: 4, 12: 4, 13: 6,
            14: 7}
EXTENDED_EXCEPTIONS = {405: 12, 1701: 5}  # monorail; cable car
ROUTE_CAPACITY_COLUMNS = ("route_id", "capacity")


def basic_mode(route_type: int) -> int:
    """The basic route_type of a basic or extended one; `BUS` for any other code, -1 (none
    given) included."""
    if route_type in MODES:
        return route_type
    return EXTENDED_EXCEPTIONS.get(route_type, EXTENDED.get(route_type // 100, BUS))


def line_capacities(feed_lines: FeedLines, vehicle_capacity: float | None = None,
                    by_route: Mapping[str, float] | None = None) -> NDArray[np.float64]:
    """Riders per vehicle of each line: `by_route`'s number for its route, else
    `vehicle_capacity`, else its mode's."""
    by_route = by_route or {}
    default = [vehicle_capacity or MODES[basic_mode(int(code))].capacity
               for code in feed_lines.route_types]
    return np.array([by_route.get(route, capacity)
                     for route, capacity in zip(feed_lines.route_ids, default)], float)


def read_route_capacities(path: str | os.PathLike[str],
                          route_ids: Collection[str]) -> dict[str, float]:
    """Riders per vehicle by route from a CSV with the columns route_id and capacity; each
    route_id must be one of `route_ids` and named once."""
    table = read_table(path, os.fspath(path), ROUTE_CAPACITY_COLUMNS)
    capacity = table.numbers("capacity", minimum=0, above=True)
    ids = table.rows["route_id"]
    known = set(route_ids)
    for line, route in ids.items():
        if route not in known:
            table.fail(line, f"route_id {route!r} is not a route of the feed")
    repeated = ids.duplicated()
    if repeated.any():
        table.fail(repeated.idxmax(), f"route_id {ids[repeated.idxmax()]!r} repeated")
    return dict(zip(ids, capacity.astype(float)))
