"""A GTFS feed's service in a time window as the line description of vemo's line-based functions.

- One line per distinct stop pattern of a route: the trips of a route that serve the same stops
  in the same order are one line.
- Its frequency is the number of its runs starting in the window, per minute of the window.
- travel_time_mat[a][b] is the scheduled time from a departure at stop a to the arrival at the
  next stop b, averaged over every run (of any line) that goes from a straight to b in the
  window. Times missing at intermediate stops are interpolated along the trip.
- Stop 0 is a placeholder that no line serves: the line-based functions never take stop 0 as a
  destination, so the real stops are numbered from 1 and every one of them is a destination.
"""

from __future__ import annotations

import datetime
from dataclasses import dataclass

import numpy as np
import pandas as pd

from gtfs_feed import Feed, minutes, services_on, trip_starts


@dataclass
class LineDescription:
    stop_ids: list[str]  # GTFS stop_id of every stop index; "" for the placeholder stop 0
    stop_names: list[str]
    stop_lat: np.ndarray
    stop_lon: np.ndarray
    line_names: list[str]
    route_ids: list[str]
    alignments: list[list[int]]
    freqs: list[float]  # runs per minute
    travel_time_mat: np.ndarray  # minutes, stop_count x stop_count
    runs: list[int]  # runs of each line starting in the window
    window_minutes: float

    @property
    def stop_count(self) -> int:
        return len(self.stop_ids)


def scheduled_times(feed: Feed, trip_ids: pd.Index) -> pd.DataFrame:
    """Stop times of the given trips in trip order, with arrival and departure in minutes; a
    missing time is interpolated from the stops around it, else copied from its partner."""
    times = feed["stop_times"][feed["stop_times"]["trip_id"].isin(trip_ids)]
    times = times.assign(order=pd.to_numeric(times["stop_sequence"]))
    times = times.sort_values(["trip_id", "order"]).reset_index(drop=True)
    arrival, departure = minutes(times["arrival_time"]), minutes(times["departure_time"])
    arrival, departure = arrival.fillna(departure), departure.fillna(arrival)
    by_trip = times["trip_id"]
    return times.assign(
        arrival=arrival.groupby(by_trip).transform(lambda s: s.interpolate(limit_area="inside")),
        departure=departure.groupby(by_trip).transform(
            lambda s: s.interpolate(limit_area="inside")))


def segment_minutes(times: pd.DataFrame, runs: pd.Series) -> pd.Series:
    """Mean time from each stop to the next, per (from stop, to stop), weighted by runs."""
    same_trip = times["trip_id"].eq(times["trip_id"].shift())
    segments = pd.DataFrame({
        "a": times["stop_id"].shift()[same_trip],
        "b": times["stop_id"][same_trip],
        # A feed whose times run backwards gets 0, not a negative ride.
        "time": (times["arrival"] - times["departure"].shift())[same_trip].clip(lower=0.0),
        "weight": times["trip_id"][same_trip].map(runs),
    })
    segments["weighted"] = segments["time"] * segments["weight"]
    sums = segments.groupby(["a", "b"])[["weighted", "weight"]].sum()
    return sums["weighted"] / sums["weight"]


def line_description(feed: Feed, day: datetime.date, start: float, end: float) -> LineDescription:
    """The lines running on `day` with runs that start in [start, end) minutes."""
    if not end > start:
        raise ValueError("the time window must end after it starts")
    starts = trip_starts(feed, services_on(feed, day))
    in_window = starts[(starts["start"] >= start) & (starts["start"] < end)]
    runs = in_window["trip_id"].value_counts()
    if runs.empty:
        raise ValueError(f"no trip starts between minute {start:g} and {end:g} on {day}")
    times = scheduled_times(feed, runs.index)
    if times[["arrival", "departure"]].isna().any().any():
        raise ValueError("a trip has no time at its first or last stop")

    patterns = times.groupby("trip_id", sort=False)["stop_id"].agg(tuple)
    patterns = patterns[patterns.map(len) >= 2]  # a line needs a stop to go to
    trips = feed["trips"].set_index("trip_id").loc[patterns.index]
    lines = (pd.DataFrame({"route_id": trips["route_id"], "pattern": patterns,
                           "runs": runs.reindex(patterns.index)})
             .groupby(["route_id", "pattern"], sort=False)["runs"].sum().reset_index())
    route_order = {route: k for k, route in enumerate(feed["routes"]["route_id"])}
    lines = lines.assign(order=lines["route_id"].map(route_order))
    lines = lines.sort_values(["order", "runs"], ascending=[True, False], kind="stable")

    stops = feed["stops"].set_index("stop_id")
    served = set().union(*lines["pattern"])
    stop_ids = [""] + [stop for stop in stops.index if stop in served]
    unknown = served - set(stop_ids)
    if unknown:
        raise ValueError(f"stop_times.txt names stops that stops.txt lacks: {sorted(unknown)}")
    index = {stop: k for k, stop in enumerate(stop_ids)}

    travel_time_mat = np.zeros((len(stop_ids), len(stop_ids)), dtype=np.float32)
    for (a, b), time in segment_minutes(times, runs).items():
        travel_time_mat[index[a], index[b]] = time

    names = stops["stop_name"] if "stop_name" in stops else pd.Series("", index=stops.index)
    routes = feed["routes"].set_index("route_id")
    return LineDescription(
        stop_ids=stop_ids,
        stop_names=[""] + [names[stop] for stop in stop_ids[1:]],
        stop_lat=np.array([np.nan] + [float(stops.at[s, "stop_lat"]) for s in stop_ids[1:]]),
        stop_lon=np.array([np.nan] + [float(stops.at[s, "stop_lon"]) for s in stop_ids[1:]]),
        line_names=line_names(lines, routes, names),
        route_ids=list(lines["route_id"]),
        alignments=[[index[stop] for stop in pattern] for pattern in lines["pattern"]],
        freqs=[count / (end - start) for count in lines["runs"]],
        travel_time_mat=travel_time_mat,
        runs=[int(count) for count in lines["runs"]],
        window_minutes=end - start,
    )


def line_names(lines: pd.DataFrame, routes: pd.DataFrame, stop_names: pd.Series) -> list[str]:
    """"<route> to <last stop>", with the stop count added where that names two lines."""
    names = []
    for route, pattern in zip(lines["route_id"], lines["pattern"]):
        row = routes.loc[route] if route in routes.index else pd.Series(dtype=str)
        label = row.get("route_short_name", "") or row.get("route_long_name", "") or route
        names.append(f"{label} to {stop_names.get(pattern[-1], pattern[-1])}")
    repeated = {name for name in names if names.count(name) > 1}
    return [f"{name} ({len(pattern)} stops)" if name in repeated else name
            for name, pattern in zip(names, lines["pattern"])]
