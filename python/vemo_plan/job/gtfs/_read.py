"""A GTFS feed's tables, read with pandas from a zip, a zip that holds one GTFS zip, or a
folder; with the parsers of its times and dates."""

from __future__ import annotations

import datetime
import io
import os
import zipfile
import zlib
from collections.abc import Callable
from dataclasses import dataclass, field
from pathlib import Path

import pandas as pd

from .._tables import InputError, Table, note, per_distinct, read_table

WEEKDAYS = ("monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday")

# Each table the job reads, with the columns it cannot do without.
COLUMNS: dict[str, tuple[str, ...]] = {
    "stops": ("stop_id", "stop_lat", "stop_lon"),
    "routes": ("route_id",),
    "trips": ("route_id", "service_id", "trip_id"),
    "stop_times": ("trip_id", "arrival_time", "departure_time", "stop_id", "stop_sequence"),
    "calendar": ("service_id", *WEEKDAYS, "start_date", "end_date"),
    "calendar_dates": ("service_id", "date", "exception_type"),
    "frequencies": ("trip_id", "start_time", "end_time", "headway_secs"),
    "transfers": ("from_stop_id", "to_stop_id"),
    "fare_attributes": ("fare_id", "price"),
    "fare_rules": ("fare_id",),
    "shapes": ("shape_id", "shape_pt_lat", "shape_pt_lon", "shape_pt_sequence"),
}
REQUIRED = ("stops", "routes", "trips", "stop_times")
# The latest time a feed may give: a week after the service day's midnight.
MAX_CLOCK = "168:00:00"
MAX_CLOCK_MINUTES = 168 * 60.0


@dataclass(frozen=True)
class Feed:
    """The tables of a GTFS feed; one the feed lacks is an empty table with its columns.
    `skipped`: the trip_ids left out as unusable, by reason (``_usable.REASONS``); `trimmed`:
    those of the trips kept whose stop times at no stop were left out."""

    label: str  # how messages name the feed
    tables: dict[str, Table]
    skipped: dict[str, list[str]] = field(default_factory=dict)
    trimmed: list[str] = field(default_factory=list)

    def __getitem__(self, name: str) -> Table:
        return self.tables[name]


def read_tables(source: str | os.PathLike[str], encoding: str | None = None) -> Feed:
    """The tables of the feed at `source`: a GTFS zip, a zip whose only content of use is one
    GTFS zip (as AequilibraE ships Coquimbo's), or a folder of GTFS files; its text in
    `encoding`, else as ``_tables.decoded`` says. Files may sit in a folder inside the zip; of
    a name found at several depths the shallowest is read, with a note."""
    path = Path(source)
    if path.is_dir():
        files = {child.name: child for child in path.iterdir()}
        return _feed(path.resolve().name, lambda name: files[name].read_bytes(), set(files),
                     encoding)
    try:
        with zipfile.ZipFile(path) as archive:
            members = _members(path.name, archive)
            inner = [name for name in members if name.lower().endswith(".zip")]
            if "stops.txt" not in members and len(inner) == 1:
                label = f"{path.name}/{inner[0]}"
                with zipfile.ZipFile(io.BytesIO(_member(path.name, archive,
                                                        members[inner[0]]))) as nested:
                    return _zip_feed(label, nested, _members(label, nested), encoding)
            return _zip_feed(path.name, archive, members, encoding)
    except FileNotFoundError:
        raise InputError(f"{source}: no such file or folder") from None
    except zipfile.BadZipFile:
        raise InputError(f"{source}: not a zip file or a folder") from None


def _members(label: str, archive: zipfile.ZipFile) -> dict[str, str]:
    """Each file name in `archive` and the member read for it: the shallowest of several (the
    first of those at one depth), with a note naming the one read."""
    members: dict[str, str] = {}
    ignored: dict[str, list[str]] = {}
    for name in sorted(archive.namelist(), key=lambda name: name.count("/")):
        if not name.endswith("/"):
            file = Path(name).name
            if file in members:
                ignored.setdefault(file, []).append(name)
            else:
                members[file] = name
    if ignored:
        note(f"{label}: read " + "; ".join(
            f"{members[file]}, not {', '.join(others)}" for file, others in ignored.items()))
    return members


def _member(label: str, archive: zipfile.ZipFile, name: str) -> bytes:
    try:
        return archive.read(name)
    except (zlib.error, zipfile.BadZipFile, EOFError) as error:
        raise InputError(f"{label}/{name}: the zip member is corrupt ({error})") from None
    except NotImplementedError as error:
        raise InputError(f"{label}/{name}: {error}") from None


def _zip_feed(label: str, archive: zipfile.ZipFile, members: dict[str, str],
              encoding: str | None) -> Feed:
    return _feed(label, lambda name: _member(label, archive, members[name]), set(members),
                 encoding)


def _feed(label: str, read: Callable[[str], bytes], names: set[str],
          encoding: str | None) -> Feed:
    tables = {}
    for table, columns in COLUMNS.items():
        file = f"{table}.txt"
        if file in names:
            tables[table] = read_table(read(file), f"{label}/{file}", columns, encoding)
        elif table in REQUIRED:
            raise InputError(f"{label}: the feed has no {file}")
        else:
            tables[table] = Table(f"{label}/{file}", pd.DataFrame(columns=list(columns),
                                                                  dtype=object))
    if tables["calendar"].rows.empty and tables["calendar_dates"].rows.empty:
        raise InputError(f"{label}: the feed has neither calendar.txt nor calendar_dates.txt "
                         f"with a row")
    return Feed(label, tables)


def clock_minutes(table: Table, column: str, *, empty: bool = False) -> pd.Series:
    """HH:MM:SS texts as minutes after midnight of the service day (hours may pass 23, up to
    MAX_CLOCK); an empty text is NaN if `empty`, else an error."""
    text = table.rows[column]

    def parse(distinct: pd.Series) -> pd.Series:
        # Sliced, not captured by the pattern: pandas extracts groups one text at a time.
        distinct = distinct.where(distinct.str.fullmatch(r"[0-9]+:[0-5][0-9]:[0-5][0-9]"))
        number = lambda part: pd.to_numeric(part, errors="coerce").astype(float)  # noqa: E731
        return (number(distinct.str.slice(stop=-6)) * 60.0 + number(distinct.str.slice(-5, -3))
                + number(distinct.str.slice(-2)) / 60.0)

    minutes = per_distinct(text, parse)
    bad = minutes.isna() & ((text != "") | (not empty))
    if bad.any():
        line = bad.idxmax()
        table.fail(line, f"{column} {text[line]!r} is not a time HH:MM:SS")
    late = minutes > MAX_CLOCK_MINUTES
    if late.any():
        line = late.idxmax()
        table.fail(line, f"{column} {text[line]!r} is later than {MAX_CLOCK}, a week after "
                         f"the service day begins")
    return minutes


def dates(table: Table, column: str) -> pd.Series:
    """YYYYMMDD texts as dates."""
    parsed = pd.to_datetime(table.rows[column], format="%Y%m%d", errors="coerce")
    if parsed.isna().any():
        line = parsed.isna().idxmax()
        table.fail(line, f"{column} {table.rows[column][line]!r} is not a date YYYYMMDD")
    return parsed.dt.date


def parse_day(text: str) -> datetime.date:
    """A service day given as YYYYMMDD."""
    try:
        return datetime.datetime.strptime(text, "%Y%m%d").date()
    except ValueError:
        raise InputError(f"{text!r} is not a date YYYYMMDD") from None
