"""The sample feed of vemo_plan (python/vemo_plan/data/small_feed) and copies of it with
faults, for the tests of the feed-to-skims job.

Riverton: route 1 runs West Terminal - Mill Street - City Hall - Market - East Terminal both
ways every 10 minutes (slower between City Hall and Market from 07:00 to 09:00) with three
short turns to City Hall; route 2 runs North Hill - College - City Hall North - Riverside -
Harbour both ways every 15 minutes, one run without a time at City Hall North; route 3 runs
East Terminal - Riverside East - Harbour Ferry both ways through frequencies.txt. Weekdays on
service WK, weekends on WE; on Monday 1 September 2025 WK gives way to WE. Old Depot has no
service. transfers.txt times City Hall <-> City Hall North and Harbour -> Harbour Ferry, and
forbids Harbour Ferry -> Harbour.
"""

import datetime
import shutil
import zipfile
from collections.abc import Callable
from pathlib import Path

from vemo_plan.job import gtfs, sample_feed
from vemo_plan.job.model import ZoneModel, zone_model
from vemo_plan.job.walking import Walking
from vemo_plan.job.zones import Zones

WEEKDAY = datetime.date(2025, 1, 1)
HOLIDAY = datetime.date(2025, 9, 1)
PEAK = (7 * 60.0, 9 * 60.0)
STOP_IDS = ["W1", "W2", "C1", "E1", "E2", "N2", "N1", "C2", "S1", "S2", "S3", "S4", "D1"]

Edit = Callable[[str], str] | None  # a file's new text from its old, or None to remove it


def feed_copy(folder: Path, edits: dict[str, Edit]) -> Path:
    """The sample feed copied to `folder`/small_feed, with `edits` by file name."""
    copy = folder / "small_feed"
    shutil.copytree(sample_feed(), copy)
    for name, edit in edits.items():
        path = copy / name
        if edit is None:
            path.unlink()
        else:
            path.write_text(edit(path.read_text()))
    return copy


def zipped(folder: Path, path: Path) -> Path:
    with zipfile.ZipFile(path, "w") as archive:
        for file in sorted(folder.iterdir()):
            archive.write(file, file.name)
    return path


def model(zones: Zones | None = None, walking: Walking = Walking(),
          day: datetime.date = WEEKDAY) -> ZoneModel:
    feed = gtfs.read_feed(sample_feed())
    feed_lines = gtfs.feed_lines(feed, day, *PEAK)
    return zone_model(feed_lines, zones, walking, gtfs.feed_transfers(feed, feed_lines))
