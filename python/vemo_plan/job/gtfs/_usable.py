"""A feed read with the trips it cannot run left out, and one note that counts them by reason
and names the first few.

A trip cannot be used when its trip_id is repeated in trips.txt, its route or service is in no
file, a stop time is at no stop of stops.txt, a stop_sequence is repeated (stop times out of
order are sorted), its first or last stop has no time, or a row of frequencies.txt ends before
it starts or gives a headway below a second. Stop times of a trip_id that trips.txt lacks are
left out too. A feed is refused only when no trip is left.
"""

from __future__ import annotations

import os
from collections.abc import Callable
from dataclasses import replace

import numpy as np
import pandas as pd

from .._tables import InputError, Table, note
from ._read import Feed, clock_minutes, read_tables

SHOWN = 3  # the trip_ids a note names for each reason
# Why a trip is left out, in the order checked: a trip counts under the first that holds.
REASONS = {
    "repeated trip": "a trip_id repeated in trips.txt",
    "unknown route": "a route_id not in routes.txt",
    "unknown service": "a service_id in neither calendar.txt nor calendar_dates.txt",
    "unknown trip": "stop times but no row in trips.txt",
    "unknown stop": "a stop time at no stop of stops.txt",
    "repeated sequence": "a stop_sequence repeated",
    "untimed end": "no time at the first or last stop",
    "bad frequency": "a frequencies.txt row that ends before it starts or has a headway_secs "
                     "below 1",
}


def read_feed(source: str | os.PathLike[str], encoding: str | None = None) -> Feed:
    """The feed at `source` (as ``read_tables`` reads it), without the trips that cannot be
    used; its `skipped` says which, by reason."""
    return usable_feed(read_tables(source, encoding))


def usable_feed(feed: Feed) -> Feed:
    """`feed` without the trips that cannot be used, with a note naming them; an error if no
    trip is left."""
    trips, times, frequencies = feed["trips"], feed["stop_times"], feed["frequencies"]
    skipped: dict[str, list[str]] = {}

    def skip(reason: str, trip_ids: pd.Series) -> None:
        found = pd.unique(trip_ids[~trip_ids.isin(taken)])
        if len(found):
            skipped[reason] = list(found)
            taken.update(found)

    taken: set[str] = set()
    ids = trips.rows["trip_id"]
    skip("repeated trip", ids[ids.duplicated(keep=False)])
    for reason, column, known in [
            ("unknown route", "route_id", feed["routes"].rows["route_id"]),
            ("unknown service", "service_id", pd.concat(
                [feed[name].rows["service_id"] for name in ("calendar", "calendar_dates")]))]:
        skip(reason, ids[~trips.rows[column].isin(known)])
    listed = times.rows["trip_id"].isin(ids)
    skip("unknown trip", times.rows["trip_id"][~listed])
    for reason, check in _STOP_TIME_CHECKS.items():
        kept = times.rows[listed & ~times.rows["trip_id"].isin(taken)]
        skip(reason, kept["trip_id"][check(feed, Table(times.label, kept))])
    skip("bad frequency", frequencies.rows["trip_id"][_bad_frequencies(frequencies)])

    if not skipped:
        return feed
    left = ~ids.isin(taken)
    if not left.any():
        raise InputError(f"{feed.label}: no trip can be used; {_counts(skipped, len(ids))}")
    note(f"{feed.label}: {_counts(skipped, len(ids))}")
    tables = dict(feed.tables)
    for name in ("trips", "stop_times", "frequencies"):
        table = feed[name]
        tables[name] = Table(table.label, table.rows[table.rows["trip_id"].isin(ids[left])])
    return replace(feed, tables=tables, skipped=skipped)


def _unknown_stops(feed: Feed, times: Table) -> pd.Series:
    stops = feed["stops"]
    at_stops = stops.rows["stop_id"][stops.text("location_type").isin(["", "0"])]
    return ~times.rows["stop_id"].isin(at_stops)


def _in_order(times: Table) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """The rows of `times` sorted by trip, then stop_sequence: the order, and each sorted
    row's trip number and stop_sequence."""
    trip, _ = pd.factorize(times.rows["trip_id"])
    sequence = times.numbers("stop_sequence", minimum=0).to_numpy()
    order = np.lexsort((sequence, trip))
    return order, trip[order], sequence[order]


def _repeated_sequences(feed: Feed, times: Table) -> pd.Series:
    order, trip, sequence = _in_order(times)
    repeat = np.zeros(len(order), bool)
    repeat[1:] = (trip[1:] == trip[:-1]) & (sequence[1:] == sequence[:-1])
    return pd.Series(_unsorted(order, repeat), index=times.rows.index)


def _untimed_ends(feed: Feed, times: Table) -> pd.Series:
    order, trip, _ = _in_order(times)
    first = np.ones(len(order), bool)
    first[1:] = trip[1:] != trip[:-1]
    last = np.roll(first, -1)
    untimed = ((times.rows["arrival_time"] == "") & (times.rows["departure_time"] == "")
               ).to_numpy()[order]
    return pd.Series(_unsorted(order, (first | last) & untimed), index=times.rows.index)


def _unsorted(order: np.ndarray, flags: np.ndarray) -> np.ndarray:
    """Flags of sorted rows back in the rows' own order."""
    result = np.empty_like(flags)
    result[order] = flags
    return result


_STOP_TIME_CHECKS: dict[str, Callable[[Feed, Table], pd.Series]] = {
    "unknown stop": _unknown_stops,
    "repeated sequence": _repeated_sequences,
    "untimed end": _untimed_ends,
}


def _bad_frequencies(table: Table) -> pd.Series:
    start, end = clock_minutes(table, "start_time"), clock_minutes(table, "end_time")
    return (end < start) | (table.numbers("headway_secs") < 1)


def _counts(skipped: dict[str, list[str]], trips: int) -> str:
    """"skipped 5 trips that cannot be used (120 in trips.txt): 3 with ... (a, b, c, ...), 2
    with ..."."""
    total = sum(len(found) for found in skipped.values())
    return (f"skipped {total:,} trip{'s' * (total != 1)} that cannot be used ({trips:,} in "
            f"trips.txt): ") + (
        ", ".join(f"{len(found):,} with {REASONS[reason]} ({', '.join(found[:SHOWN])}"
                  f"{', ...' if len(found) > SHOWN else ''})"
                  for reason, found in skipped.items()))
