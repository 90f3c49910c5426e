"""Zones, the places demand goes between: read from a CSV of points, the stations of a feed, or
the stops themselves; and the walking connectors that join a zone to its stops."""

from __future__ import annotations

import os
from dataclasses import dataclass

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from ._geo import metres, pairs_within
from ._tables import InputError, Table, read_table
from .gtfs import Feed, FeedLines
from .walking import Walking

ZONE_COLUMNS = ("zone_id", "longitude", "latitude")


@dataclass(frozen=True, eq=False)
class Zones:
    """Zone ids with their points. `of_stops`: the zones are the stops of a feed, in order.
    `at_stop`: where given, per zone the stop it is, or -1 for a zone of its own, joined to stops
    by connectors. `links`: where given, the connectors of the zones of their own (as
    ``connectors`` gives them), instead of their nearest stops; `stations`: how many zones are
    stations."""

    ids: list[str]
    lat: NDArray[np.float64]
    lon: NDArray[np.float64]
    of_stops: bool = False
    links: pd.DataFrame | None = None
    stations: int = 0
    at_stop: NDArray[np.int64] | None = None

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
    return Zones(list(feed_lines.stop_ids), feed_lines.stop_lat, feed_lines.stop_lon, of_stops=True,
                 at_stop=np.arange(len(feed_lines.stop_ids)))


def station_zones(feed: Feed, feed_lines: FeedLines, walking: Walking) -> Zones:
    """A zone for every station of stops.txt (location_type 1) with stops in it, at the
    station's point, joined to each of its stops by a walk from there; and one for every stop
    outside a station, which is that stop. A parent_station that is no
    station counts as none; entrances and other locations are never zones. Where the feed has
    no station with stops, the stops' own zones (``stop_zones``)."""
    table = feed["stops"]
    is_station = table.text("location_type") == "1"
    station_line = dict(zip(table.rows["stop_id"][is_station][::-1],
                            table.rows.index[is_station][::-1]))  # the first row of each id
    parents = dict(zip(table.rows["stop_id"][~is_station],
                       table.text("parent_station")[~is_station]))
    zone_of = [parent if (parent := parents.get(stop, "")) in station_line else stop
               for stop in feed_lines.stop_ids]
    if zone_of == feed_lines.stop_ids:
        return stop_zones(feed_lines)
    ids = list(dict.fromkeys(zone_of))
    number = {zone: k for k, zone in enumerate(ids)}
    zone = np.array([number[z] for z in zone_of], np.int64)
    lat, lon = np.empty(len(ids)), np.empty(len(ids))
    lat[zone], lon[zone] = feed_lines.stop_lat, feed_lines.stop_lon  # a stop's own zone
    stations = np.array([z in station_line for z in ids])
    lines = [station_line[z] for z in np.array(ids, object)[stations]]
    lat[stations], lon[stations] = _points(table, lines)
    in_station = stations[zone]
    minutes = walking.minutes(metres(lat[zone], lon[zone], feed_lines.stop_lat,
                                     feed_lines.stop_lon))
    links = pd.DataFrame({"zone": zone, "stop": np.arange(len(zone)), "minutes": minutes}
                         )[in_station]
    at_stop = np.full(len(ids), -1, np.int64)
    at_stop[zone[~in_station]] = np.flatnonzero(~in_station)
    return Zones(ids, lat, lon, links=links.sort_values("zone", kind="stable"),
                 stations=int(stations.sum()), at_stop=at_stop)


def _points(table: Table, lines: list[int]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """stop_lat and stop_lon on the given lines of stops.txt, within ±90 and ±180."""
    lat = table.numbers("stop_lat", empty=True)[lines].to_numpy(float)
    lon = table.numbers("stop_lon", empty=True)[lines].to_numpy(float)
    misplaced = ~((np.abs(lat) <= 90) & (np.abs(lon) <= 180))
    if misplaced.any():
        table.fail(lines[int(np.argmax(misplaced))], "a station needs stop_lat within ±90 and "
                                                     "stop_lon within ±180")
    return lat, lon


def connectors(zones: Zones, feed_lines: FeedLines, walking: Walking) -> pd.DataFrame:
    """The zones' `links` where given; else each zone's nearest served stops within
    `connector_metres`, at most `max_connectors` of them: one row per connector with zone,
    stop and walking minutes, by zone then distance."""
    if zones.links is not None:
        return zones.links
    served = np.flatnonzero(feed_lines.served)
    zone, k, distance = pairs_within(zones.lat, zones.lon, feed_lines.stop_lat[served],
                                     feed_lines.stop_lon[served], walking.connector_metres)
    found = pd.DataFrame({"zone": zone, "stop": served[k], "metres": distance})
    nearest = (found.sort_values(["zone", "metres", "stop"], kind="stable")
               .groupby("zone", sort=False).head(walking.max_connectors))
    return pd.DataFrame({"zone": nearest["zone"].to_numpy(), "stop": nearest["stop"].to_numpy(),
                         "minutes": walking.minutes(nearest["metres"].to_numpy())})
