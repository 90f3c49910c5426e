"""vemo_plan.gtfs on the sample feed: services by day, lines of a window with frequencies.txt
and interpolated times, walks with transfers.txt, and faults named by file and line."""

import datetime
import zipfile

import numpy as np
import pytest

from plan_feeds import HOLIDAY, PEAK, STOP_IDS, WEEKDAY, feed_copy, zipped
from vemo_plan.job import gtfs, sample_feed
from vemo_plan.job.walking import Walking, stop_walks


@pytest.fixture(scope="module")
def feed():
    return gtfs.read_feed(sample_feed())


def test_services_by_day(feed):
    assert gtfs.busiest_day(feed) == WEEKDAY
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
    ({"stop_times.txt": replace("1e00,06:03:00,06:03:00,W2", "1e00,06:03:00,06:03:00,ZZ")},
     "small_feed/stop_times.txt line 3: stop_id 'ZZ' is not a stop of stops.txt"),
    ({"stop_times.txt": replace("1e00,06:03:00,06:03:00,W2,2", "1e00,06:03:00,06:03:00,W2,1")},
     "small_feed/stop_times.txt line 3: a stop_sequence repeated within its trip"),
    ({"stop_times.txt": replace("1e00,06:00:00,06:00:00", "1e00,,")},
     "small_feed/stop_times.txt line 2: the first and last stops of a trip need a time"),
    ({"stop_times.txt": replace("1e00,06:03:00,06:03:00,W2,2", "1e00,06:03:00,06:03:00,W2,2,x")},
     "small_feed/stop_times.txt line 3: 6 fields where the header names 5"),
    ({"stop_times.txt": replace("1e00,06:00:00,06:00:00,W1,1", "1e00,06:00:00,06:00:00,W1,1,x")},
     "small_feed/stop_times.txt line 2: more fields than the header line names"),
    ({"calendar.txt": replace("WK,1,", "WK,yes,")},
     "small_feed/calendar.txt line 2: monday 'yes' is not 0 or 1"),
    ({"calendar_dates.txt": replace("20250901,2", "2025-09-01,2")},
     "small_feed/calendar_dates.txt line 2: date '2025-09-01' is not a date YYYYMMDD"),
    ({"frequencies.txt": replace(",600", ",0")},
     "small_feed/frequencies.txt line 2: headway_secs '0' is not a number above 0"),
    ({"stops.txt": replace("46.8000,-71.2400", "46.8000,-271.2400")},
     "small_feed/stops.txt line 2: a stop needs stop_lat within ±90 and stop_lon within ±180"),
    ({"transfers.txt": append("C1,C9,2,60\n")},
     "small_feed/transfers.txt line 6: to_stop_id 'C9' is neither a stop nor a station of "
     "stops.txt"),
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
