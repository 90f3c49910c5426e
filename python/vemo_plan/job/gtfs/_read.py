"""A GTFS feed's tables, read with pandas from a zip, a zip that holds one GTFS zip, or a
folder; with the parsers of its times and dates."""

from __future__ import annotations

import datetime
import io
import os
import zipfile
from collections.abc import Callable
from dataclasses import dataclass
from pathlib import Path

import pandas as pd

from .._tables import InputError, Table, read_table

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


@dataclass(frozen=True)
class Feed:
    """The tables of a GTFS feed; one the feed lacks is an empty table with its columns."""

    label: str  # how messages name the feed
    tables: dict[str, Table]

    def __getitem__(self, name: str) -> Table:
        return self.tables[name]


def read_feed(source: str | os.PathLike[str]) -> Feed:
    """The feed at `source`: a GTFS zip, a zip whose only content of use is one GTFS zip (as
    AequilibraE ships Coquimbo's), or a folder of GTFS files. Files may sit in a folder inside
    the zip."""
    path = Path(source)
    if path.is_dir():
        files = {child.name: child for child in path.iterdir()}
        return _feed(path.resolve().name, lambda name: files[name].read_bytes(), set(files))
    try:
        with zipfile.ZipFile(path) as archive:
            members = {Path(name).name: name for name in archive.namelist()}
            inner = [name for name in members if name.lower().endswith(".zip")]
            if "stops.txt" not in members and len(inner) == 1:
                with zipfile.ZipFile(io.BytesIO(archive.read(members[inner[0]]))) as nested:
                    return _zip_feed(f"{path.name}/{inner[0]}", nested)
            return _zip_feed(path.name, archive)
    except FileNotFoundError:
        raise InputError(f"{source}: no such file or folder") from None
    except zipfile.BadZipFile:
        raise InputError(f"{source}: not a zip file or a folder") from None


def _zip_feed(label: str, archive: zipfile.ZipFile) -> Feed:
    members = {Path(name).name: name for name in archive.namelist()}
    return _feed(label, lambda name: archive.read(members[name]), set(members))


def _feed(label: str, read: Callable[[str], bytes], names: set[str]) -> Feed:
    tables = {}
    for table, columns in COLUMNS.items():
        file = f"{table}.txt"
        if file in names:
            tables[table] = read_table(read(file), f"{label}/{file}", columns)
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
    """HH:MM:SS texts as minutes after midnight of the service day (hours may pass 23); an
    empty text is NaN if `empty`, else an error."""
    text = table.rows[column]
    parts = text.str.extract(r"^(\d+):([0-5]\d):([0-5]\d)$").astype(float)
    minutes = parts[0] * 60.0 + parts[1] + parts[2] / 60.0
    bad = minutes.isna() & ((text != "") | (not empty))
    if bad.any():
        line = bad.idxmax()
        table.fail(line, f"{column} {text[line]!r} is not a time HH:MM:SS")
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
