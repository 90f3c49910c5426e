"""Reading a GTFS feed with pandas: its tables, the services of a day and the trips of a window.

Times are minutes after midnight of the service day, as floats; GTFS writes times past midnight
as hours of 24 and more, and they stay so (25:10:00 is 1510 minutes).
"""

from __future__ import annotations

import datetime
import io
import zipfile
from pathlib import Path

import pandas as pd

TABLES = ("stops", "routes", "trips", "stop_times", "calendar", "calendar_dates", "frequencies")
WEEKDAYS = ("monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday")

Feed = dict[str, pd.DataFrame]


def read_feed(source: str | Path | bytes) -> Feed:
    """The tables of a GTFS zip (a path or its bytes), every column as text.

    Tables the feed lacks are empty frames. Files may sit in a folder inside the zip.
    """
    data = source if isinstance(source, bytes) else Path(source).read_bytes()
    feed: Feed = {}
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        members = {Path(name).name: name for name in archive.namelist()}
        for table in TABLES:
            member = members.get(f"{table}.txt")
            if member is None:
                feed[table] = pd.DataFrame()
                continue
            with archive.open(member) as text:
                frame = pd.read_csv(text, dtype=str, keep_default_na=False, encoding="utf-8-sig")
            frame.columns = frame.columns.str.strip()
            feed[table] = frame.apply(lambda column: column.str.strip())
    for required in ("stops", "routes", "trips", "stop_times"):
        if feed[required].empty:
            raise ValueError(f"the feed has no {required}.txt, or it is empty")
    return feed


def minutes(times: pd.Series) -> pd.Series:
    """HH:MM:SS texts as minutes after midnight; an empty text is NaN."""
    parts = times.str.split(":", expand=True).reindex(columns=range(3))
    hms = parts.apply(pd.to_numeric, errors="coerce")
    return hms[0] * 60.0 + hms[1] + hms[2] / 60.0


def parse_date(text: str) -> datetime.date:
    return datetime.datetime.strptime(text, "%Y%m%d").date()


def running_services(feed: Feed, days: list[datetime.date]) -> dict[datetime.date, set[str]]:
    """The service_ids running on each of `days`: calendar.txt's weekly pattern within its date
    range, then calendar_dates.txt's exceptions (1 adds the service that day, 2 removes it)."""
    running: dict[datetime.date, set[str]] = {day: set() for day in days}
    for row in feed["calendar"].to_dict("records"):
        first, last = parse_date(row["start_date"]), parse_date(row["end_date"])
        for day in running:
            if first <= day <= last and row[WEEKDAYS[day.weekday()]] == "1":
                running[day].add(row["service_id"])
    for row in feed["calendar_dates"].to_dict("records"):
        day = parse_date(row["date"])
        if day in running and row["exception_type"] == "1":
            running[day].add(row["service_id"])
        elif day in running and row["exception_type"] == "2":
            running[day].discard(row["service_id"])
    return running


def services_on(feed: Feed, day: datetime.date) -> set[str]:
    return running_services(feed, [day])[day]


def busiest_day(feed: Feed) -> datetime.date:
    """The day with the most scheduled trips (the earliest of equals), among the days that
    calendar.txt covers and those that calendar_dates.txt names."""
    days: set[datetime.date] = set()
    calendar = feed["calendar"]
    for first, last in zip(calendar.get("start_date", []), calendar.get("end_date", [])):
        start, end = parse_date(first), parse_date(last)
        days.update(start + datetime.timedelta(n) for n in range((end - start).days + 1))
    days.update(parse_date(text) for text in feed["calendar_dates"].get("date", []))
    if not days:
        raise ValueError("the feed has neither calendar.txt nor calendar_dates.txt")
    trips_per_service = feed["trips"]["service_id"].value_counts().to_dict()
    running = running_services(feed, sorted(days))
    return max(running, key=lambda day: sum(trips_per_service.get(s, 0) for s in running[day]))


def trip_starts(feed: Feed, services: set[str]) -> pd.DataFrame:
    """One row per vehicle run of a trip of `services`: trip_id and start (minutes).

    A trip is one run starting at its first scheduled departure. A trip listed in
    frequencies.txt is a template instead: it runs every headway_secs from each start_time up to,
    not including, its end_time.
    """
    trips = feed["trips"][feed["trips"]["service_id"].isin(services)]
    times = feed["stop_times"][feed["stop_times"]["trip_id"].isin(trips["trip_id"])]
    times = times.assign(order=pd.to_numeric(times["stop_sequence"]))
    first = times.sort_values(["trip_id", "order"]).groupby("trip_id").head(1)
    departure = first["departure_time"].where(first["departure_time"] != "", first["arrival_time"])
    starts = pd.DataFrame({"trip_id": first["trip_id"], "start": minutes(departure)})

    frequencies = feed["frequencies"]
    if frequencies.empty:
        return starts.reset_index(drop=True)
    frequencies = frequencies[frequencies["trip_id"].isin(trips["trip_id"])]
    runs = []
    # In whole seconds, so that a run falling exactly on end_time is left out without rounding.
    for trip_id, start, end, headway in zip(frequencies["trip_id"],
                                            (minutes(frequencies["start_time"]) * 60).round(),
                                            (minutes(frequencies["end_time"]) * 60).round(),
                                            pd.to_numeric(frequencies["headway_secs"])):
        count = max(0, int(-(-(end - start) // headway)))  # departures in [start, end)
        runs += [(trip_id, (start + k * headway) / 60.0) for k in range(count)]
    expanded = pd.DataFrame(runs, columns=["trip_id", "start"])
    scheduled = starts[~starts["trip_id"].isin(frequencies["trip_id"])]
    return pd.concat([scheduled, expanded], ignore_index=True)
