"""Zones, the places demand goes between: read from a CSV of points, or the stops themselves;
and the walking connectors that join a zone to its nearest stops."""

from __future__ import annotations

import os
from dataclasses import dataclass

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from ._geo import pairs_within
from ._tables import InputError, read_table
from .gtfs import FeedLines
from .walking import Walking

ZONE_COLUMNS = ("zone_id", "longitude", "latitude")


@dataclass(frozen=True, eq=False)
class Zones:
    """Zone ids with their points. `of_stops`: the zones are the stops of a feed, in order."""

    ids: list[str]
    lat: NDArray[np.float64]
    lon: NDArray[np.float64]
    of_stops: bool = False

    def __len__(self) -> int:
        return len(self.ids)


def read_zones(path: str | os.PathLike[str]) -> Zones:
    """Zones from a CSV with the columns zone_id, longitude and latitude (in degrees)."""
    table = read_table(path, os.fspath(path), ZONE_COLUMNS)
    if table.rows.empty:
        raise InputError(f"{os.fspath(path)}: no zone")
    ids = table.rows["zone_id"]
    repeated = ids.duplicated() | (ids == "")
    if repeated.any():
        table.fail(repeated.idxmax(), f"zone_id {ids[repeated.idxmax()]!r} is empty or repeated")
    lon, lat = table.numbers("longitude"), table.numbers("latitude")
    misplaced = ~((lat.abs() <= 90) & (lon.abs() <= 180))
    if misplaced.any():
        table.fail(misplaced.idxmax(), "latitude must be within ±90 and longitude within ±180")
    return Zones(list(ids), lat.to_numpy(float), lon.to_numpy(float))


def stop_zones(feed_lines: FeedLines) -> Zones:
    """A zone for every stop, with the stop's id."""
    return Zones(list(feed_lines.stop_ids), feed_lines.stop_lat, feed_lines.stop_lon, of_stops=True)


def connectors(zones: Zones, feed_lines: FeedLines, walking: Walking) -> pd.DataFrame:
    """Each zone's nearest served stops within `connector_metres`, at most `max_connectors`
    of them: one row per connector with zone, stop and walking minutes, by zone then
    distance."""
    served = np.flatnonzero(feed_lines.served)
    zone, k, distance = pairs_within(zones.lat, zones.lon, feed_lines.stop_lat[served],
                                     feed_lines.stop_lon[served], walking.connector_metres)
    found = pd.DataFrame({"zone": zone, "stop": served[k], "metres": distance})
    nearest = (found.sort_values(["zone", "metres", "stop"], kind="stable")
               .groupby("zone", sort=False).head(walking.max_connectors))
    return pd.DataFrame({"zone": nearest["zone"].to_numpy(), "stop": nearest["stop"].to_numpy(),
                         "minutes": walking.minutes(nearest["metres"].to_numpy())})
