"""A feed read with the trips it cannot run left out, and one note that counts them by reason
and names the first few.

A trip cannot be used when its trip_id is repeated in trips.txt, its route or service is in no
file, a stop_sequence is repeated (stop times out of order are sorted), its first or last stop
has no time, or a row of frequencies.txt ends before it starts or gives a headway below a
second. Stop times of a trip_id that trips.txt lacks are left out, and so are those at no stop
of stops.txt: their trip runs on through its other stops, with its times there. A feed is
refused only when no trip with two stops is left.
"""

from __future__ import annotations

import os
from collections.abc import Callable
from dataclasses import replace

import numpy as np
import pandas as pd

from .._tables import InputError, Table, among, note
from ._read import Feed, clock_minutes, read_tables

SHOWN = 3  # the trip_ids a note names for each reason
# Why a trip is left out, in the order checked: a trip counts under the first that holds.
REASONS = {
    "repeated trip": "a trip_id repeated in trips.txt",
    "unknown route": "a route_id not in routes.txt",
    "unknown service": "a service_id in neither calendar.txt nor calendar_dates.txt",
    "unknown trip": "stop times but no row in trips.txt",
    "repeated sequence": "a stop_sequence repeated",
    "untimed end": "no time at the first or last stop",
    "bad frequency": "a frequencies.txt row that ends before it starts or has a headway_secs "
                     "below 1",
}


def read_feed(source: str | os.PathLike[str], encoding: str | None = None) -> Feed:
    """The feed at `source` (as ``read_tables`` reads it), without the trips that cannot be
    used and the stop times at no stop; its `skipped` and `trimmed` say which."""
    return usable_feed(read_tables(source, encoding))


def usable_feed(feed: Feed) -> Feed:
    """`feed` without the trips that cannot be used, the stop times at no stop and the
    transfers between unknown places, with a note naming them; an error if no trip with two
    stops is left."""
    trips, times, frequencies = feed["trips"], feed["stop_times"], feed["frequencies"]
    skipped: dict[str, list[str]] = {}
    taken: set[str] = set()

    def skip(reason: str, trip_ids: pd.Series) -> None:
        found = pd.unique(trip_ids[~among(trip_ids, taken)])
        if len(found):
            skipped[reason] = list(found)
            taken.update(found)

    ids = trips.rows["trip_id"]
    skip("repeated trip", ids[ids.duplicated(keep=False)])
    for reason, column, known in [
            ("unknown route", "route_id", feed["routes"].rows["route_id"]),
            ("unknown service", "service_id", pd.concat(
                [feed[name].rows["service_id"] for name in ("calendar", "calendar_dates")]))]:
        skip(reason, ids[~among(trips.rows[column], known)])
    listed = among(times.rows["trip_id"], ids)
    skip("unknown trip", times.rows["trip_id"][~listed])
    at_stop = among(times.rows["stop_id"], _places(feed, ("", "0")))
    for reason, check in _STOP_TIME_CHECKS.items():
        kept = times.rows[listed & at_stop & ~among(times.rows["trip_id"], taken)]
        skip(reason, kept["trip_id"][check(Table(times.label, kept))])
    skip("bad frequency", frequencies.rows["trip_id"][_bad_frequencies(frequencies)])

    left = ids[~among(ids, taken)]
    of_left = among(times.rows["trip_id"], left)
    off_stop = of_left & ~at_stop
    trimmed = list(pd.unique(times.rows["trip_id"][off_stop]))
    transfers = feed["transfers"]
    places = _places(feed, ("", "0", "1"))
    between = (among(transfers.rows["from_stop_id"], places)
               & among(transfers.rows["to_stop_id"], places))
    astray = [str(line) for line in transfers.rows.index[~between]]
    parts = [_skipped(skipped, len(ids)),
             _left_out(int(off_stop.sum()), "stop time", "at no stop of stops.txt, of "
                       f"{len(trimmed):,} trip{'s' * (len(trimmed) != 1)} ({_first(trimmed)})"),
             _left_out(len(astray), "row", "of transfers.txt naming no stop or station of "
                       f"stops.txt (line{'s' * (len(astray) != 1)} {_first(astray)})")]
    report = "; ".join(part for part in parts if part)
    if not report:
        return feed
    kept = times.rows[of_left & at_stop]
    if not (kept["trip_id"].value_counts() >= 2).any():
        raise InputError(f"{feed.label}: no trip with two stops is left: {report}")
    note(f"{feed.label}: {report}")
    tables = dict(feed.tables, stop_times=Table(times.label, kept),
                  transfers=Table(transfers.label, transfers.rows[between]))
    for name in ("trips", "frequencies"):
        table = feed[name]
        tables[name] = Table(table.label, table.rows[among(table.rows["trip_id"], left)])
    return replace(feed, tables=tables, skipped=skipped, trimmed=trimmed)


def _places(feed: Feed, location_types: tuple[str, ...]) -> pd.Series:
    """The stop_ids of stops.txt of the given location_types."""
    stops = feed["stops"]
    return stops.rows["stop_id"][stops.text("location_type").isin(location_types)]


def _in_order(times: Table) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """The rows of `times` sorted by trip, then stop_sequence: the order, and each sorted
    row's trip number and stop_sequence."""
    trip, _ = pd.factorize(times.rows["trip_id"])
    sequence = times.numbers("stop_sequence", minimum=0).to_numpy()
    order = np.lexsort((sequence, trip))
    return order, trip[order], sequence[order]


def _repeated_sequences(times: Table) -> pd.Series:
    order, trip, sequence = _in_order(times)
    repeat = np.zeros(len(order), bool)
    repeat[1:] = (trip[1:] == trip[:-1]) & (sequence[1:] == sequence[:-1])
    return pd.Series(_unsorted(order, repeat), index=times.rows.index)


def _untimed_ends(times: Table) -> pd.Series:
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


_STOP_TIME_CHECKS: dict[str, Callable[[Table], pd.Series]] = {
    "repeated sequence": _repeated_sequences,
    "untimed end": _untimed_ends,
}


def _bad_frequencies(table: Table) -> pd.Series:
    start, end = clock_minutes(table, "start_time"), clock_minutes(table, "end_time")
    return (end < start) | (table.numbers("headway_secs") < 1)


def _skipped(skipped: dict[str, list[str]], trips: int) -> str:
    """"skipped 5 trips that cannot be used (120 in trips.txt): 3 with ... (a, b, c, ...), 2
    with ..."; empty if none."""
    total = sum(len(found) for found in skipped.values())
    return "" if not total else (
        f"skipped {total:,} trip{'s' * (total != 1)} that cannot be used ({trips:,} in "
        f"trips.txt): " + ", ".join(f"{len(found):,} with {REASONS[reason]} ({_first(found)})"
                                   for reason, found in skipped.items()))


def _left_out(count: int, thing: str, which: str) -> str:
    """"left out 7 stop times <which>"; empty if none."""
    return "" if not count else f"left out {count:,} {thing}{'s' * (count != 1)} {which}"


def _first(names: list[str]) -> str:
    return ", ".join(names[:SHOWN]) + (", ..." if len(names) > SHOWN else "")
