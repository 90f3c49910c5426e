"""GTFS feeds read with pandas: the services of a day, and their runs in a time window as the
lines of a ``LineNetwork``.

    feed = read_feed("feed.zip")
    lines = feed_lines(feed, busiest_day(feed), 7 * 60, 9 * 60)

Errors in a feed raise ``InputError`` naming the file and, where one is to blame, its line.
"""

from .._tables import InputError
from ._calendar import busiest_day, services_on
from ._fares import LineFares, line_fares
from ._lines import FeedLines, clock, feed_lines
from ._read import Feed, parse_day, read_feed
from ._transfers import feed_transfers

__all__ = ["Feed", "FeedLines", "InputError", "LineFares", "busiest_day", "clock", "feed_lines",
           "feed_transfers", "line_fares", "parse_day", "read_feed", "services_on"]
