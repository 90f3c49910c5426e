"""transfers.txt as walking links between stops.

A row from one stop to another is a walk: min_transfer_time, where given, is its time; a
transfer_type of 3 (not possible) forbids walking between the two. A station stands for its
stops (those whose parent_station it is). Rows that name trips or routes, in-seat transfers
(types 4 and 5) and rows from a stop to itself are left out: a link between stops cannot say
them, and the model has no penalty for changing vehicles at one stop.
"""

from __future__ import annotations

import numpy as np
import pandas as pd

from ._lines import FeedLines
from ._read import Feed

_TRIP_OR_ROUTE = ("from_trip_id", "to_trip_id", "from_route_id", "to_route_id")


def feed_transfers(feed: Feed, feed_lines: FeedLines) -> pd.DataFrame:
    """One row per ordered pair of stop numbers that transfers.txt names: from, to, minutes
    (NaN where it gives no min_transfer_time) and allowed (False for transfer_type 3). A pair
    named twice keeps its last row."""
    table = feed["transfers"]
    rows = table.rows
    kinds = table.text("transfer_type")
    unknown = ~kinds.isin(["", "0", "1", "2", "3", "4", "5"])
    if unknown.any():
        table.fail(unknown.idxmax(), f"transfer_type {kinds[unknown.idxmax()]!r} is not 0 to 5")
    minutes = (table.numbers("min_transfer_time", minimum=0, empty=True) / 60.0
               if table.has("min_transfer_time") else pd.Series(np.nan, index=rows.index))
    between_stops = ~kinds.isin(["4", "5"])
    for column in _TRIP_OR_ROUTE:
        between_stops &= table.text(column) == ""

    members = _members(feed, feed_lines)
    pairs = []
    for line in rows.index[between_stops]:
        ends = []
        for column in ("from_stop_id", "to_stop_id"):
            stop = rows.at[line, column]
            if stop not in members:
                table.fail(line, f"{column} {stop!r} is neither a stop nor a station of "
                                 f"stops.txt")
            ends.append(members[stop])
        pairs += [(a, b, minutes[line], kinds[line] != "3")
                  for a in ends[0] for b in ends[1] if a != b]
    frame = pd.DataFrame(pairs, columns=["from", "to", "minutes", "allowed"])
    return frame.drop_duplicates(["from", "to"], keep="last").reset_index(drop=True)


def _members(feed: Feed, feed_lines: FeedLines) -> dict[str, list[int]]:
    """The stop numbers each stop_id stands for: a stop itself, a station its stops."""
    members = {stop: [k] for k, stop in enumerate(feed_lines.stop_ids)}
    stops = feed["stops"]
    parents = stops.text("parent_station")
    stations = stops.rows["stop_id"][stops.text("location_type") == "1"]
    for station in stations:
        children = stops.rows["stop_id"][parents == station]
        members[station] = [members[child][0] for child in children if child in members]
    return members
