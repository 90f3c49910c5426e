"""The vehicle runs of a feed: when each trip starts, frequencies.txt's templates run every
headway, the scheduled times of a trip's stops, missing ones interpolated, and when a run
reaches the middle of its trip.

Times are minutes after midnight of the service day, as floats; GTFS writes times past
midnight as hours of 24 and more, and they stay so (25:10:00 is 1510 minutes).
"""

from __future__ import annotations

import numpy as np
import pandas as pd

from .._tables import among
from ._read import Feed, clock_minutes


def stop_times(feed: Feed, trip_ids: pd.Index | set[str]) -> pd.DataFrame:
    """The stop times of the given trips in trip order: trip_id, stop_id, file_line (its line
    in stop_times.txt), arrival and departure minutes. A missing time is interpolated from the
    stops around it, else copied from its partner; a trip must have times at both ends."""
    table = feed["stop_times"]
    rows = table.rows[among(table.rows["trip_id"], trip_ids)]
    order = table.numbers("stop_sequence", minimum=0)[rows.index]
    arrival = clock_minutes(table, "arrival_time", empty=True)[rows.index]
    departure = clock_minutes(table, "departure_time", empty=True)[rows.index]
    times = pd.DataFrame({"trip_id": rows["trip_id"], "stop_id": rows["stop_id"],
                          "order": order, "arrival": arrival.fillna(departure),
                          "departure": departure.fillna(arrival)})
    times = (times.rename_axis("file_line").reset_index()
             .sort_values(["trip_id", "order"], kind="stable"))
    repeated = times.duplicated(["trip_id", "order"])
    if repeated.any():
        table.fail(times["file_line"][repeated].iloc[0], "a stop_sequence repeated within its trip")
    by_trip = times.groupby("trip_id", sort=False)
    ends = by_trip.head(1).index.union(by_trip.tail(1).index)
    untimed = times.loc[ends, "arrival"].isna()
    if untimed.any():
        table.fail(times.loc[ends[untimed.to_numpy()][0], "file_line"],
                   "the first and last stops of a trip need a time")
    gaps = among(times["trip_id"], times["trip_id"][times["arrival"].isna()])
    if gaps.any():
        inside = times[gaps].groupby("trip_id", sort=False)
        for column in ("arrival", "departure"):
            times.loc[gaps, column] = inside[column].transform(
                lambda s: s.interpolate(limit_area="inside"))
    return times.reset_index(drop=True)


def trip_starts(feed: Feed, times: pd.DataFrame) -> pd.DataFrame:
    """One row per vehicle run of the trips of `times` (as `stop_times` gives them): trip_id
    and start (minutes).

    A trip is one run starting at its first scheduled departure. A trip listed in
    frequencies.txt is a template instead: it runs every headway_secs from each start_time up
    to, not including, its end_time.
    """
    first = times.groupby("trip_id", sort=False).head(1)
    starts = pd.DataFrame({"trip_id": first["trip_id"], "start": first["departure"]})

    table = feed["frequencies"]
    templates = among(table.rows["trip_id"], times["trip_id"])
    if not templates.any():
        return starts.reset_index(drop=True)
    # In whole seconds, so that a run falling exactly on end_time is left out without rounding.
    begin = (clock_minutes(table, "start_time")[templates] * 60).round()
    end = (clock_minutes(table, "end_time")[templates] * 60).round()
    headway = table.numbers("headway_secs", minimum=0, above=True)[templates]
    count = np.maximum(0, np.ceil((end - begin) / headway)).astype(int)  # runs in [begin, end)
    run = np.arange(count.sum()) - np.repeat(np.cumsum(count) - count, count)
    runs = pd.DataFrame({
        "trip_id": np.repeat(table.rows["trip_id"][templates].to_numpy(), count),
        "start": (np.repeat(begin.to_numpy(), count) + run * np.repeat(headway.to_numpy(), count))
        / 60.0,
    })
    scheduled = starts[~among(starts["trip_id"], table.rows["trip_id"][templates])]
    return pd.concat([scheduled, runs], ignore_index=True)


def middle_offsets(times: pd.DataFrame) -> pd.Series:
    """Per trip of `times` (as `stop_times` gives them), the minutes from its first departure
    to its departure from its middle stop: the stop halfway along its stops, the earlier of
    two."""
    by_trip = times.groupby("trip_id", sort=False)
    position = by_trip.cumcount()
    middle = times[position == (by_trip["stop_id"].transform("size") - 1) // 2]
    first = by_trip["departure"].first()
    return pd.Series(middle["departure"].to_numpy() - first[middle["trip_id"]].to_numpy(),
                     index=middle["trip_id"].to_numpy())
