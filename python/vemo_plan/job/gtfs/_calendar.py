"""Which services run on a day: calendar.txt's weekly pattern within its dates, then
calendar_dates.txt's exceptions (1 adds the service that day, 2 removes it)."""

from __future__ import annotations

import datetime

import numpy as np
import pandas as pd

from .._tables import InputError, Table
from ._read import WEEKDAYS, Feed, dates


def running_services(feed: Feed, days: list[datetime.date]) -> dict[datetime.date, set[str]]:
    """The service_ids running on each of `days`."""
    calendar, exceptions = feed["calendar"], feed["calendar_dates"]
    first, last = dates(calendar, "start_date").to_numpy(), dates(calendar, "end_date").to_numpy()
    weekly = np.column_stack([_flags(calendar, day, ("0", "1")) == "1" for day in WEEKDAYS])
    services = calendar.rows["service_id"].to_numpy()
    kinds = _flags(exceptions, "exception_type", ("1", "2"))
    changes = pd.DataFrame({"day": dates(exceptions, "date"), "service": exceptions.rows[
        "service_id"], "adds": kinds == "1"}).groupby("day")

    running: dict[datetime.date, set[str]] = {}
    for day in days:
        today = set(services[(first <= day) & (day <= last) & weekly[:, day.weekday()]])
        if day in changes.groups:
            change = changes.get_group(day)
            today |= set(change["service"][change["adds"]])
            today -= set(change["service"][~change["adds"]])
        running[day] = today
    return running


def _flags(table: Table, column: str, allowed: tuple[str, ...]) -> pd.Series:
    values = table.rows[column]
    wrong = ~values.isin(allowed)
    if wrong.any():
        table.fail(wrong.idxmax(), f"{column} {values[wrong.idxmax()]!r} is not "
                                   f"{' or '.join(allowed)}")
    return values


def services_on(feed: Feed, day: datetime.date) -> set[str]:
    """The service_ids running on `day`."""
    return running_services(feed, [day])[day]


MIDWEEK = (1, 2, 3)  # Tuesday to Thursday: the ordinary weekdays a planner's model stands for


def busiest_day(feed: Feed) -> datetime.date:
    """The default service day: the Tuesday, Wednesday or Thursday with the most scheduled
    trips, else (in a feed without a trip on one) the day with the most; the earliest of
    equals. The
    days are those that calendar.txt covers and those that calendar_dates.txt names."""
    return default_day(feed)[0]


def default_day(feed: Feed) -> tuple[datetime.date, str]:
    """``busiest_day`` and why it is that day, e.g. "the most trips of the Tuesdays to
    Thursdays in the feed"."""
    calendar = feed["calendar"]
    days: set[datetime.date] = set(dates(feed["calendar_dates"], "date"))
    for start, end in zip(dates(calendar, "start_date"), dates(calendar, "end_date")):
        days.update(pd.date_range(start, end).date)
    trips_per_service = feed["trips"].rows["service_id"].value_counts().to_dict()
    running = running_services(feed, sorted(days))
    if not running:
        raise InputError(f"{feed.label}: calendar.txt and calendar_dates.txt name no day")
    trips = {day: sum(trips_per_service.get(s, 0) for s in services)
             for day, services in running.items()}
    midweek = [day for day, count in trips.items() if day.weekday() in MIDWEEK and count]
    day = max(midweek or trips, key=trips.__getitem__)
    among = ("the Tuesdays to Thursdays in the feed" if midweek
             else "the days of the feed, which has no Tuesday to Thursday")
    return day, f"the most trips of {among}"
