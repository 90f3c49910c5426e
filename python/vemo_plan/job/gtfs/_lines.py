"""A feed's service on one day in a time window, as lines.

- One line per distinct stop pattern of a route: the trips of a route that serve the same stops
  in the same order are one line.
- Its runs in the window are those that leave its middle stop (halfway along its stops, the
  earlier of two) within the window, so a long line whose runs start before the window and
  serve most of their stops within it counts them; its frequency is their number per minute
  of the window.
- Its in-vehicle time between consecutive stops runs from arrival to arrival, and from the
  departure at its first stop: a rider boards during the dwell and rides through the dwells
  at the stops passed, and the times of a run add up to its first departure to last arrival.
  They are averaged over its runs in the window.
- Every stop of stops.txt (location_type 0 or empty) is a stop, served or not: an unserved
  stop can still be walked to and from.
"""

from __future__ import annotations

import datetime
from dataclasses import dataclass

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from .._tables import InputError, among
from ._calendar import services_on
from ._read import Feed
from ._runs import middle_offsets, stop_times, trip_starts
from ._shapes import line_paths


@dataclass(frozen=True, eq=False)
class FeedLines:
    """The lines running on `day` with runs that leave their middle stop in [start, end)
    minutes.

    Attributes:
        stop_ids, stop_names, stop_lat, stop_lon: every stop, numbered in stops.txt's order.
        line_names, route_ids: per line.
        route_types: per line, its route's route_type in routes.txt; -1 where it gives none.
        alignments: per line, its stop numbers in order.
        runs: per line, its runs leaving its middle stop in the window.
        segment_minutes: per line, the mean in-vehicle time between consecutive stops.
        paths: per line, the (k, 2) longitudes and latitudes it runs along from its first stop
            to its last: its shape in shapes.txt, else straight from stop to stop.
        path_stops: per line, the index in its path of each of its stops.
    """

    feed_label: str
    day: datetime.date
    start: float
    end: float
    stop_ids: list[str]
    stop_names: list[str]
    stop_lat: NDArray[np.float64]
    stop_lon: NDArray[np.float64]
    line_names: list[str]
    route_ids: list[str]
    route_types: NDArray[np.int64]
    alignments: list[NDArray[np.int64]]
    runs: NDArray[np.int64]
    segment_minutes: list[NDArray[np.float64]]
    paths: list[NDArray[np.float64]]
    path_stops: list[NDArray[np.int64]]

    @property
    def window_minutes(self) -> float:
        return self.end - self.start

    @property
    def frequencies(self) -> NDArray[np.float64]:
        """Runs per minute of each line."""
        return self.runs / self.window_minutes

    def segment_path(self, line: int, segment: int) -> NDArray[np.float64]:
        """The longitudes and latitudes that `segment` of `line` runs along, stop to stop."""
        at = self.path_stops[line]
        return self.paths[line][at[segment]:at[segment + 1] + 1]

    @property
    def served(self) -> NDArray[np.bool_]:
        """Which stops a line serves."""
        served = np.zeros(len(self.stop_ids), bool)
        served[np.concatenate(self.alignments)] = True
        return served


def clock(minutes: float) -> str:
    return f"{int(minutes // 60):02d}:{int(minutes % 60):02d}"


def feed_lines(feed: Feed, day: datetime.date, start: float, end: float) -> FeedLines:
    """The lines running on `day` with runs that leave their middle stop in [start, end)
    minutes after midnight."""
    if not end > start:
        raise InputError(f"the time window must end after it starts: {clock(start)} to "
                         f"{clock(end)}")
    stops = _stops(feed)
    _check_stops(feed, stops.index)
    trips = feed["trips"].rows
    running = set(trips["trip_id"][among(trips["service_id"], services_on(feed, day))])
    times = stop_times(feed, running)
    starts = trip_starts(feed, times)
    middle = starts["start"] + starts["trip_id"].map(middle_offsets(times))
    runs = starts["trip_id"][(middle >= start) & (middle < end)].value_counts()
    if runs.empty:
        raise InputError(f"{feed.label}: no trip leaves its middle stop between {clock(start)} "
                         f"and {clock(end)} on {day.isoformat()}")
    times = times[among(times["trip_id"], runs.index)].reset_index(drop=True)
    lines, trip_line = _patterns(feed, times, runs)
    if lines.empty:
        raise InputError(f"{feed.label}: no trip that leaves its middle stop between "
                         f"{clock(start)} and {clock(end)} on {day.isoformat()} serves two "
                         f"stops")
    patterns = lines["pattern"]
    alignments = np.split(stops.index.get_indexer(
        [stop for pattern in patterns for stop in pattern]).astype(np.int64),
        np.cumsum(patterns.map(len).to_numpy())[:-1])
    stop_lat, stop_lon = stops["lat"].to_numpy(float), stops["lon"].to_numpy(float)
    paths, path_stops = line_paths(feed, trip_line, runs, alignments, stop_lat, stop_lon)
    return FeedLines(
        feed_label=feed.label, day=day, start=start, end=end,
        stop_ids=list(stops.index), stop_names=list(stops["name"]),
        stop_lat=stop_lat, stop_lon=stop_lon,
        line_names=_line_names(feed, lines, stops["name"]),
        route_ids=list(lines["route_id"]),
        route_types=_route_types(feed, lines["route_id"]),
        alignments=alignments, runs=lines["runs"].to_numpy(np.int64),
        segment_minutes=_segment_minutes(times, trip_line, runs, lines),
        paths=paths, path_stops=path_stops,
    )


def _patterns(feed: Feed, times: pd.DataFrame,
              runs: pd.Series) -> tuple[pd.DataFrame, pd.Series]:
    """The lines (route_id, pattern: the stop_ids served in order, runs), ordered by route as
    routes.txt lists them, then by runs; and the line of each trip."""
    patterns = times.groupby("trip_id", sort=False)["stop_id"].agg(tuple)
    patterns = patterns[patterns.map(len) >= 2]  # a line needs a stop to go to
    trips = feed["trips"].rows
    route_of = trips.drop_duplicates("trip_id").set_index("trip_id")["route_id"]
    lines = (pd.DataFrame({"route_id": route_of[patterns.index], "pattern": patterns,
                           "runs": runs[patterns.index]})
             .groupby(["route_id", "pattern"], sort=False)["runs"].sum().reset_index())
    route_order = {route: k for k, route in enumerate(feed["routes"].rows["route_id"])}
    lines["order"] = lines["route_id"].map(route_order).fillna(len(route_order))
    lines = lines.sort_values(["order", "runs"], ascending=[True, False],
                              kind="stable").reset_index(drop=True)
    line_of = {(route, pattern): k
               for k, (route, pattern) in enumerate(zip(lines["route_id"], lines["pattern"]))}
    trip_line = pd.Series([line_of[key] for key in zip(route_of[patterns.index], patterns)],
                          index=patterns.index, dtype=np.int64)
    return lines, trip_line


def _stops(feed: Feed) -> pd.DataFrame:
    """The stops (location_type 0 or empty) by stop_id: name, lat, lon."""
    table = feed["stops"]
    kept = table.text("location_type").isin(["", "0"])
    ids = table.rows["stop_id"][kept]
    repeated = ids.duplicated()
    if repeated.any():
        table.fail(ids.index[repeated][0], f"stop_id {ids[repeated].iloc[0]!r} repeated")
    lat = table.numbers("stop_lat", empty=True)[kept]
    lon = table.numbers("stop_lon", empty=True)[kept]
    misplaced = ~((lat.abs() <= 90) & (lon.abs() <= 180))
    if misplaced.any():
        table.fail(misplaced.idxmax(), "a stop needs stop_lat within ±90 and stop_lon within "
                                       "±180")
    return pd.DataFrame({"name": table.text("stop_name")[kept], "lat": lat, "lon": lon}
                        ).set_index(ids)


def _check_stops(feed: Feed, stop_ids: pd.Index) -> None:
    """Every stop time must be at a stop of stops.txt."""
    table = feed["stop_times"]
    unknown = ~among(table.rows["stop_id"], stop_ids)
    if unknown.any():
        line = unknown.idxmax()
        table.fail(line, f"stop_id {table.rows['stop_id'][line]!r} is not a stop of stops.txt")


def _segment_minutes(times: pd.DataFrame, trip_line: pd.Series, runs: pd.Series,
                     lines: pd.DataFrame) -> list[NDArray[np.float64]]:
    """Per line, the in-vehicle time between each stop and the next, arrival to arrival (from
    the departure at the first stop), averaged over its runs."""
    times = times[among(times["trip_id"], trip_line.index)]
    same_trip = times["trip_id"].eq(times["trip_id"].shift())
    boarded = times["arrival"].where(same_trip, times["departure"])
    weight = times["trip_id"].map(runs)
    segments = pd.DataFrame({
        "line": times["trip_id"].map(trip_line),
        "segment": times.groupby("trip_id", sort=False).cumcount() - 1,
        # A feed whose times run backwards gets 0, not a negative ride.
        "weighted": (times["arrival"] - boarded.shift()).clip(lower=0.0) * weight,
        "weight": weight,
    })[same_trip]
    sums = segments.groupby(["line", "segment"])[["weighted", "weight"]].sum()
    means = (sums["weighted"] / sums["weight"]).groupby(level="line")
    return [means.get_group(line).to_numpy(float) for line in lines.index]


def _route_types(feed: Feed, route_ids: pd.Series) -> NDArray[np.int64]:
    """The route_type of each route id, -1 for an empty one or a route not in routes.txt."""
    routes = feed["routes"]
    if not routes.has("route_type"):
        return np.full(len(route_ids), -1, np.int64)
    codes = routes.numbers("route_type", minimum=0, empty=True)
    whole = codes.isna() | (codes == codes.round())
    if not whole.all():
        routes.fail(whole.idxmin(), f"route_type {routes.rows['route_type'][whole.idxmin()]!r} "
                                    f"is not a whole number")
    by_route = dict(zip(routes.rows["route_id"], codes.fillna(-1).astype(np.int64)))
    return np.array([by_route.get(route, -1) for route in route_ids], np.int64)


def _line_names(feed: Feed, lines: pd.DataFrame, stop_names: pd.Series) -> list[str]:
    """"<route> to <last stop>", with the stop count added where that names two lines, and a
    number where that still does."""
    routes = feed["routes"]
    label = (routes.text("route_short_name").where(routes.text("route_short_name") != "",
                                                    routes.text("route_long_name")))
    label = label.where(label != "", routes.rows["route_id"])
    labels = dict(zip(routes.rows["route_id"], label))
    names = pd.Series([f"{labels.get(route, route)} to {stop_names[pattern[-1]] or pattern[-1]}"
                       for route, pattern in zip(lines["route_id"], lines["pattern"])])
    counts = lines["pattern"].map(len)
    names = names.where(~names.duplicated(keep=False), names + " (" + counts.astype(str)
                        + " stops)")
    repeat = names.groupby(names).cumcount()
    return list(names.where(repeat == 0, names + " #" + (repeat + 1).astype(str)))
