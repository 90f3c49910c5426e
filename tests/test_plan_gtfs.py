"""vemo_plan.gtfs on the sample feed: services by day and the default day, lines of a window
with frequencies.txt and interpolated times, walks with transfers.txt, text encodings, trips
skipped by reason, and faults named by file and line."""

import datetime
import zipfile

import numpy as np
import pandas as pd
import pytest

from plan_feeds import HOLIDAY, PEAK, STOP_IDS, WEEKDAY, feed_copy, zipped
from vemo_plan.job import gtfs, sample_feed
from vemo_plan.job._tables import among
from vemo_plan.job.walking import Walking, stop_walks


@pytest.fixture(scope="module")
def feed():
    return gtfs.read_feed(sample_feed())


def test_services_by_day(feed):
    for day, services in [(WEEKDAY, {"WK"}), (HOLIDAY, {"WE"}),
                          (datetime.date(2025, 9, 2), {"WK"}), (datetime.date(2025, 9, 6), {"WE"}),
                          (datetime.date(2026, 1, 1), set())]:
        assert gtfs.services_on(feed, day) == services, day


# name, runs in the window, stops, mean running times
WEEKDAY_LINES = [
    ("1 to East Terminal", 12, ["W1", "W2", "C1", "E1", "E2"], [3, 3, 5, 3]),
    ("1 to West Terminal", 12, ["E2", "E1", "C1", "W2", "W1"], [3, 5, 3, 3]),
    ("1 to City Hall", 3, ["W1", "W2", "C1"], [3, 3]),
    ("2 to North Hill", 8, ["S2", "S1", "C2", "N1", "N2"], [3, 4, 2, 3]),
    # One run has no time at City Hall North: 3 and 3 minutes around it, interpolated.
    ("2 to Harbour", 8, ["N2", "N1", "C2", "S1", "S2"], [3, 17 / 8, 31 / 8, 3]),
    # frequencies.txt: every 10 minutes from 06:05, and from 06:00.
    ("3 to East Terminal", 12, ["S4", "S3", "E2"], [4, 5]),
    ("3 to Harbour Ferry", 12, ["E2", "S3", "S4"], [5, 4]),
]
HOLIDAY_LINES = [
    ("1 to East Terminal", 6, ["W1", "W2", "C1", "E1", "E2"], [3, 3, 4, 3]),
    ("1 to West Terminal", 6, ["E2", "E1", "C1", "W2", "W1"], [3, 3, 4, 3]),
    ("3 to Harbour Ferry", 2, ["E2", "S3", "S4"], [5, 4]),  # every 30 minutes from 08:00
]


@pytest.mark.parametrize("day, expected", [(WEEKDAY, WEEKDAY_LINES), (HOLIDAY, HOLIDAY_LINES)])
def test_lines_of_the_morning_peak(feed, day, expected):
    lines = gtfs.feed_lines(feed, day, *PEAK)
    assert lines.stop_ids == STOP_IDS
    got = [(name, runs, [lines.stop_ids[s] for s in stops], list(minutes)) for name, runs, stops,
           minutes in zip(lines.line_names, lines.runs, lines.alignments, lines.segment_minutes)]
    assert got == [(name, runs, stops, pytest.approx(minutes))
                   for name, runs, stops, minutes in expected]
    np.testing.assert_allclose(lines.frequencies, [runs / 120 for _, runs, _, _ in expected])
    assert not lines.served[STOP_IDS.index("D1")]


def test_walks_between_stops_with_transfers(feed):
    lines = gtfs.feed_lines(feed, WEEKDAY, *PEAK)
    walk_from, walk_to, minutes = stop_walks(lines, Walking(), gtfs.feed_transfers(feed, lines))
    walks = {(STOP_IDS[a], STOP_IDS[b]): m for a, b, m in zip(walk_from, walk_to, minutes)}
    # Old Depot and West Terminal are 188 m apart: 1.3 times that at 4.8 km/h. transfers.txt
    # times City Hall both ways and Harbour -> Harbour Ferry, and forbids the way back.
    assert walks == pytest.approx({("D1", "W1"): 3.0635, ("W1", "D1"): 3.0635,
                                   ("C1", "C2"): 2.0, ("C2", "C1"): 2.0, ("S2", "S4"): 4.0},
                                  abs=1e-4)
    assert stop_walks(lines, Walking(transfer_metres=100))[0].size == 0


def drop_column(index):
    return lambda text: "".join(",".join(row.split(",")[:index] + row.split(",")[index + 1:])
                                + "\n" for row in text.splitlines())


def replace(old, new):
    return lambda text: text.replace(old, new, 1)


def append(row):
    return lambda text: text + row


# Faults in a feed, each with its message: the file and, where one is to blame, the line.
FAULTS = [
    ({"stop_times.txt": None}, "small_feed: the feed has no stop_times.txt"),
    ({"calendar.txt": None, "calendar_dates.txt": lambda text: text.split("\n")[0] + "\n"},
     "small_feed: the feed has neither calendar.txt nor calendar_dates.txt with a row"),
    ({"stops.txt": drop_column(2)},
     "small_feed/stops.txt: no column stop_lat (the header names stop_id, stop_name, stop_lon, "
     "location_type)"),
    ({"stop_times.txt": replace("1e00,06:03:00,06:03:00", "1e00,06:3:00,06:03:00")},
     "small_feed/stop_times.txt line 3: arrival_time '06:3:00' is not a time HH:MM:SS"),
    ({"stop_times.txt": replace("1e00,06:03:00,06:03:00,W2,2", "1e00,06:03:00,06:03:00,W2,2,x")},
     "small_feed/stop_times.txt line 3: 6 fields where the header names 5"),
    ({"stop_times.txt": replace("1e00,06:00:00,06:00:00,W1,1", "1e00,06:00:00,06:00:00,W1,1,x")},
     "small_feed/stop_times.txt line 2: more fields than the header line names"),
    ({"calendar.txt": replace("WK,1,", "WK,yes,")},
     "small_feed/calendar.txt line 2: monday 'yes' is not 0 or 1"),
    ({"calendar_dates.txt": replace("20250901,2", "2025-09-01,2")},
     "small_feed/calendar_dates.txt line 2: date '2025-09-01' is not a date YYYYMMDD"),
    ({"frequencies.txt": replace(",600", ",often")},
     "small_feed/frequencies.txt line 2: headway_secs 'often' is not a number"),
    ({"stops.txt": replace("46.8000,-71.2400", "46.8000,-271.2400")},
     "small_feed/stops.txt line 2: a stop needs stop_lat within ±90 and stop_lon within ±180"),
]


@pytest.mark.parametrize("edits, message", FAULTS)
def test_faults_name_the_file_and_line(tmp_path, edits, message):
    with pytest.raises(gtfs.InputError) as caught:
        feed = gtfs.read_feed(feed_copy(tmp_path, edits))
        lines = gtfs.feed_lines(feed, gtfs.busiest_day(feed), *PEAK)
        gtfs.feed_transfers(feed, lines)
    assert str(caught.value) == message


@pytest.mark.parametrize("window, message", [
    ((22 * 60, 23 * 60),
     "small_feed: no trip leaves its middle stop between 22:00 and 23:00 on 2025-01-01"),
    ((9 * 60, 7 * 60), "the time window must end after it starts: 09:00 to 07:00"),
])
def test_windows_without_service(feed, window, message):
    with pytest.raises(gtfs.InputError) as caught:
        gtfs.feed_lines(feed, WEEKDAY, *window)
    assert str(caught.value) == message


def test_feeds_inside_zips(tmp_path):
    folder = feed_copy(tmp_path, {})
    inner = zipped(folder, tmp_path / "riverton.zip")
    outer = tmp_path / "outer.zip"
    with zipfile.ZipFile(outer, "w") as archive:
        archive.writestr("readme.txt", "")
        archive.write(inner, "riverton.zip")
    for source, label in [(inner, "riverton.zip"), (outer, "outer.zip/riverton.zip")]:
        feed = gtfs.read_feed(source)
        assert feed.label == label
        assert len(gtfs.feed_lines(feed, WEEKDAY, *PEAK).line_names) == len(WEEKDAY_LINES)
    for source, message in [(tmp_path / "none.zip", f"{tmp_path / 'none.zip'}: no such file or "
                             "folder"), (folder / "stops.txt", f"{folder / 'stops.txt'}: not a "
                             "zip file or a folder")]:
        with pytest.raises(gtfs.InputError) as caught:
            gtfs.read_feed(source)
        assert str(caught.value) == message


# A line A-B-C-D eastwards, with dwells; the 07:00 to 08:00 window. T1 starts before it and
# leaves its middle stop B within it, T2 starts within it and leaves B after it: T1 counts,
# T2 does not. Its shape bends north between A and B; D lies 1 km off the shape's end.
LINE_FEED = {
    "stops.txt": "stop_id,stop_lat,stop_lon\nA,45,0\nB,45,0.01\nC,45,0.02\nD,45.01,0.03\n",
    "routes.txt": "route_id\nR\n",
    "trips.txt": "route_id,service_id,trip_id,shape_id\nR,S,T1,L\nR,S,T2,L\nR,S,T3,L\n",
    "calendar.txt": "service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,"
                    "start_date,end_date\nS,1,1,1,1,1,1,1,20250101,20251231\n",
    "stop_times.txt": "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n" + "".join(
        f"{trip},{arrival}:00,{departure}:00,{stop},{k}\n"
        for trip, times in [("T1", ["06:50", "07:00", "07:02", "07:10", "07:13", "07:20"]),
                            ("T2", ["07:55", "08:01", "08:01", "08:05", "08:05", "08:09"]),
                            ("T3", ["07:10", "07:19", "07:20", "07:28", "07:30", "07:38"])]
        for k, (stop, arrival, departure) in enumerate(zip(
            "ABCD", [times[0], *times[1::2]], [*times[::2], times[-1]]))),
    "shapes.txt": "shape_id,shape_pt_lat,shape_pt_lon,shape_pt_sequence\n"
                  "L,45,0,1\nL,45.001,0.005,2\nL,45,0.01,3\nL,45,0.02,4\nL,45,0.03,5\n",
}


@pytest.fixture(scope="module")
def line_feed(tmp_path_factory):
    folder = tmp_path_factory.mktemp("line_feed")
    for name, text in LINE_FEED.items():
        (folder / name).write_text(text)
    return gtfs.feed_lines(gtfs.read_feed(folder), WEEKDAY, 7 * 60, 8 * 60)


def test_runs_and_in_vehicle_times(line_feed):
    assert list(line_feed.runs) == [2]  # T1 and T3
    # Arrival to arrival, from the departure at A: the dwells at B and C are ridden, and the
    # times add up to the runs' mean first departure to last arrival, (30 + 28) / 2.
    np.testing.assert_allclose(line_feed.segment_minutes[0], [9.5, 9.5, 10])
    assert line_feed.segment_minutes[0].sum() == pytest.approx(29)


@pytest.mark.parametrize("segment, points", [
    (0, [[0, 45], [0.005, 45.001], [0.01, 45]]),  # along the shape's bend
    (1, [[0.01, 45], [0.02, 45]]),
    (2, [[0.02, 45], [0.03, 45.01]]),  # D is off the shape: straight
])
def test_segments_follow_the_shape(line_feed, segment, points):
    np.testing.assert_allclose(line_feed.segment_path(0, segment), points)

# calendar.txt and calendar_dates.txt, the default day and why. WK: 110 trips, WE: none.
DAYS = [
    ({}, WEEKDAY, "the most trips of the Tuesdays to Thursdays in the feed"),
    # The same trips on Monday 6 January and Tuesday 7: the Tuesday.
    ({"calendar.txt": replace("WK,1,1,1,1,1,0,0,20250101", "WK,1,1,1,1,1,0,0,20250106")},
     datetime.date(2025, 1, 7), "the most trips of the Tuesdays to Thursdays in the feed"),
    # More on Friday 3 January than on any Wednesday or Thursday: still a Wednesday.
    ({"trips.txt": append("R1,FR,fr1\nR1,FR,fr2\n"), "stop_times.txt": append(
        "fr1,23:00:00,23:00:00,W1,1\nfr1,23:03:00,23:03:00,W2,2\n"
        "fr2,23:00:00,23:00:00,W1,1\nfr2,23:03:00,23:03:00,W2,2\n"),
      "calendar_dates.txt": append("FR,20250103,1\n")},
     WEEKDAY, "the most trips of the Tuesdays to Thursdays in the feed"),
    # Weekdays only from Friday to Monday: the day with the most trips.
    ({"calendar.txt": replace("WK,1,1,1,1,1,0,0,20250101,20251231",
                              "WK,1,1,1,1,1,0,0,20250103,20250106")},
     datetime.date(2025, 1, 3), "the most trips of the days of the feed, which has no Tuesday to "
                                "Thursday"),
]


@pytest.mark.parametrize("edits, day, why", DAYS)
def test_the_default_day(tmp_path, edits, day, why):
    assert gtfs.default_day(gtfs.read_feed(feed_copy(tmp_path, edits))) == (day, why)


# Text that is not UTF-8 is read as cp1252, else as Latin-1, unless an encoding is given:
# stops.txt written in one encoding with a name in it, the encoding given, the note.
ENCODINGS = [
    ("utf-8-sig", "Côté", None, ""),
    ("latin-1", "Côté", None, "small_feed/stops.txt is not UTF-8 text; read as cp1252"),
    ("latin-1", "Côté\x81", None, "small_feed/stops.txt is not UTF-8 text; read as latin-1"),
    ("cp1252", "Côté€", "cp1252", ""),
]


@pytest.mark.parametrize("written, name, encoding, note", ENCODINGS)
def test_text_encodings(tmp_path, capsys, written, name, encoding, note):
    stops = feed_copy(tmp_path, {}) / "stops.txt"
    stops.write_bytes(stops.read_text().replace("West Terminal", name).encode(written))
    feed = gtfs.read_feed(stops.parent, encoding)
    assert list(feed["stops"].rows.columns)[0] == "stop_id"
    assert feed["stops"].rows["stop_name"][2] == name
    assert capsys.readouterr().err == (f"vemo-plan: {note}\n" if note else "")


def test_zip_members_at_two_depths(tmp_path, capsys):
    archive_path = zipped(feed_copy(tmp_path, {}), tmp_path / "feed.zip")
    with zipfile.ZipFile(archive_path, "a") as archive:
        archive.writestr("old/stops.txt", "stop_id\n")
    assert len(gtfs.read_feed(archive_path)["stops"].rows) == len(STOP_IDS)
    assert capsys.readouterr().err == "vemo-plan: feed.zip: read stops.txt, not old/stops.txt\n"


def stop_times(trip, *stops):
    """stop_times.txt rows of `trip`: (stop_id, stop_sequence, time) each."""
    return "".join(f"{trip},{time},{time},{stop},{sequence}\n" for stop, sequence, time in stops)


RIDE = (("W1", 1, "23:00:00"), ("W2", 2, "23:03:00"))  # after the window, so the lines stay
# trip_id, its rows of trips.txt, of stop_times.txt, of frequencies.txt, why it is skipped
# (None: it is used)
BROKEN_TRIPS = [
    ("twice", ["R1,WK,twice", "R2,WK,twice"], RIDE, [], "repeated trip"),
    ("no-route", ["R9,WK,no-route"], RIDE, [], "unknown route"),
    ("no-service", ["R1,XX,no-service"], RIDE, [], "unknown service"),
    ("orphan", [], RIDE, [], "unknown trip"),
    ("same-sequence", ["R1,WK,same-sequence"], (RIDE[0], ("W2", 1, "23:03:00")), [],
     "repeated sequence"),
    ("untimed", ["R1,WK,untimed"], (RIDE[0], ("W2", 2, "")), [], "untimed end"),
    ("backwards", ["R1,WK,backwards"], RIDE, ["backwards,07:00:00,06:00:00,600"],
     "bad frequency"),
    ("rapid", ["R1,WK,rapid"], RIDE, ["rapid,06:00:00,07:00:00,0.5"], "bad frequency"),
    ("shuffled", ["R1,WK,shuffled"], RIDE[::-1], [], None),  # rows out of order are fine
    # A stop time at no stop is left out: the trip runs through its other stops.
    ("no-stop", ["R1,WK,no-stop"], (RIDE[0], ("ZZ", 2, "23:01:00"), ("W2", 3, "23:03:00")), [],
     None),
]


def test_unusable_trips_are_skipped_by_reason(tmp_path, capsys):
    rows = {name: "".join(f"{row}\n" for case in BROKEN_TRIPS for row in case[column])
            for name, column in [("trips.txt", 1), ("frequencies.txt", 3)]}
    rows["stop_times.txt"] = "".join(stop_times(case[0], *case[2]) for case in BROKEN_TRIPS)
    rows["transfers.txt"] = "C1,C9,2,60\n"
    feed = gtfs.read_feed(feed_copy(tmp_path, {name: append(text) for name, text
                                               in rows.items()}))
    expected: dict[str, list[str]] = {}
    for trip, _, _, _, reason in BROKEN_TRIPS:
        if reason is not None:
            expected.setdefault(reason, []).append(trip)
    assert feed.skipped == expected
    assert list(feed.skipped) == [reason for reason in gtfs.REASONS if reason in expected]
    note = capsys.readouterr().err
    assert feed.trimmed == ["no-stop"]
    assert note.startswith("vemo-plan: small_feed: skipped 8 trips that cannot be used (120 in "
                           "trips.txt): 1 with a trip_id repeated in trips.txt (twice), ")
    assert note.endswith("; left out 1 stop time at no stop of stops.txt, of 1 trip (no-stop); "
                         "left out 1 row of transfers.txt naming no stop or station of "
                         "stops.txt (line 6)\n")
    assert note.count("\n") == 1
    lines = gtfs.feed_lines(feed, WEEKDAY, *PEAK)
    assert lines.line_names == [line[0] for line in WEEKDAY_LINES]
    late = gtfs.feed_lines(feed, WEEKDAY, 23 * 60, 24 * 60)
    assert ([lines.stop_ids[s] for s in late.alignments[0]], list(late.runs)) == \
        (["W1", "W2"], [2])


@pytest.mark.parametrize("dtype", ["str", object])
def test_membership_as_pandas_gives_it(dtype):
    text = pd.Series(["a", "", "b", "a", "c"], index=[7, 3, 9, 2, 5], dtype=dtype)
    for members in [set(), {"a", ""}, ["c", "x"], np.array(["b"]), pd.Index(["a", "c"]),
                    pd.Series(["b", "b"], index=[0, 0], dtype="str")]:
        expected = text.isin(members)
        assert among(text, members).equals(expected), members
