"""examples/gtfs_assign.py on a small GTFS feed written here, checked against hand-computed
line descriptions, demand and loads."""

import csv
import datetime
import io
import sys
import zipfile
from pathlib import Path

import pytest

pytest.importorskip("pandas")
pytest.importorskip("matplotlib")
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))

import gtfs_assign  # noqa: E402
import gtfs_feed  # noqa: E402
import gtfs_lines  # noqa: E402
import stop_demand  # noqa: E402

TUESDAY = datetime.date(2024, 1, 2)
HOLIDAY = datetime.date(2024, 1, 3)  # a Wednesday run on the weekend service

# Route A runs S1 -> S2 -> S3 twice in the window and S1 -> S2 once; route B runs S3 -> S4 every
# 20 minutes from 07:00 to 08:00 through frequencies.txt. S5 is served by nothing.
FEED = {
    "stops.txt": """stop_id,stop_name,stop_lat,stop_lon
S1,First,-29.900,-71.300
S2,Second,-29.910,-71.300
S3,Third,-29.920,-71.310
S4,Fourth,-29.930,-71.320
S5,Unserved,-29.950,-71.350
""",
    "routes.txt": """route_id,route_short_name,route_long_name,route_type
RA,A,,3
RB,B,,3
""",
    "trips.txt": """route_id,service_id,trip_id
RA,WK,t1
RA,WK,t2
RA,WK,t3
RA,WK,t4
RA,WK,t5
RA,WE,t6
RB,WK,f1
""",
    # t2 has no time at S2 (times there are interpolated); t4 and t5 start outside the window.
    "stop_times.txt": """trip_id,arrival_time,departure_time,stop_id,stop_sequence
t1,07:10:00,07:10:00,S1,1
t1,07:14:00,07:15:00,S2,2
t1,07:20:00,07:20:00,S3,3
t2,07:40:00,07:40:00,S1,1
t2,,,S2,2
t2,07:52:00,07:52:00,S3,3
t3,08:10:00,08:10:00,S1,1
t3,08:17:00,08:17:00,S2,2
t4,09:30:00,09:30:00,S1,1
t4,09:35:00,09:35:00,S2,2
t5,06:50:00,06:50:00,S1,1
t5,06:55:00,06:55:00,S2,2
t6,07:20:00,07:20:00,S1,1
t6,07:23:00,07:23:00,S2,2
t6,07:27:00,07:27:00,S3,3
f1,07:00:00,07:00:00,S3,1
f1,07:09:00,07:09:00,S4,2
""",
    "frequencies.txt": """trip_id,start_time,end_time,headway_secs
f1,07:00:00,08:00:00,1200
""",
    "calendar.txt": """service_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,start_date,end_date
WK,1,1,1,1,1,0,0,20240101,20241231
WE,0,0,0,0,0,1,1,20240101,20241231
""",
    "calendar_dates.txt": """service_id,date,exception_type
WK,20240103,2
WE,20240103,1
""",
}


def zipped(files):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, text in files.items():
            archive.writestr(name, text)
    return buffer.getvalue()


@pytest.fixture(scope="module")
def feed():
    return gtfs_feed.read_feed(zipped(FEED))


def test_service_days(feed):
    assert gtfs_feed.services_on(feed, TUESDAY) == {"WK"}
    assert gtfs_feed.services_on(feed, HOLIDAY) == {"WE"}
    assert gtfs_feed.services_on(feed, datetime.date(2024, 1, 6)) == {"WE"}
    assert gtfs_feed.services_on(feed, datetime.date(2025, 1, 6)) == set()
    assert gtfs_feed.busiest_day(feed) == datetime.date(2024, 1, 1)


def test_frequency_trips_run_every_headway_up_to_the_end(feed):
    starts = gtfs_feed.trip_starts(feed, {"WK"})
    assert sorted(starts.loc[starts["trip_id"] == "f1", "start"]) == [420.0, 440.0, 460.0]
    assert sorted(starts.loc[starts["trip_id"] == "t2", "start"]) == [460.0]


def test_line_description_by_hand(feed):
    lines = gtfs_lines.line_description(feed, TUESDAY, 7 * 60, 9 * 60)
    assert lines.stop_ids == ["", "S1", "S2", "S3", "S4"]
    # Route order, then the pattern with more runs first.
    assert lines.alignments == [[1, 2, 3], [1, 2], [3, 4]]
    assert lines.line_names == ["A to Third", "A to Second", "B to Fourth"]
    assert lines.runs == [2, 1, 3]
    assert lines.freqs == pytest.approx([2 / 120, 1 / 120, 3 / 120])
    times = lines.travel_time_mat
    # S1 -> S2: 4 (t1), 6 (t2, S2 interpolated at 07:46), 7 (t3); S2 -> S3: 5 (t1), 6 (t2).
    assert times[1, 2] == pytest.approx(17 / 3)
    assert times[2, 3] == pytest.approx(5.5)
    assert times[3, 4] == pytest.approx(9.0)
    assert (times != 0).sum() == 3

    holiday = gtfs_lines.line_description(feed, HOLIDAY, 7 * 60, 9 * 60)
    assert holiday.alignments == [[1, 2, 3]]
    assert holiday.runs == [1]

    with pytest.raises(ValueError, match="no trip starts"):
        gtfs_lines.line_description(feed, TUESDAY, 22 * 60, 23 * 60)


def test_gravity_demand(feed):
    lines = gtfs_lines.line_description(feed, TUESDAY, 7 * 60, 9 * 60)
    demand = stop_demand.gravity_demand(lines, 1000.0, 2.0)
    assert demand.sum() == pytest.approx(1000.0)
    assert (demand == demand.T).all()
    assert (demand.diagonal() == 0).all()
    assert (demand[0] == 0).all() and (demand[:, 0] == 0).all()
    # S1 and S2 are equally busy (3 runs each); S3 is nearer S2 than S1 is.
    assert demand[2, 3] > demand[1, 3]


def test_end_to_end_with_a_demand_csv(tmp_path, capsys):
    # The feed inside another zip, as aequilibrae ships Coquimbo's.
    outer = tmp_path / "outer.zip"
    outer.write_bytes(zipped({"readme.txt": "", "gtfs_small.zip": zipped(FEED)}))
    trips = tmp_path / "trips.csv"
    trips.write_text("origin_stop_id,destination_stop_id,trips\n"
                     "S1,S2,12\nS2,S3,3\nS3,S4,4\nS3,S4,2\nS5,S1,99\n")
    out = tmp_path / "out"
    gtfs_assign.main([str(outer), "--day", "20240102", "--demand", str(trips),
                      "--out", str(out), "--max-iters", "8"])

    printed = capsys.readouterr().out
    assert "lines: 3 (stop patterns of 2 routes), runs: 6" in printed
    assert "stops: 4, arcs: 12 in the line network" in printed
    assert "(rows left out, naming a stop not served: 1): 21 trips" in printed

    with open(out / "line_loads.csv") as f:
        loads = {(row["line"], row["segment"]): row for row in csv.DictReader(f)}
    # S1 -> S2 splits 2 : 1 between the two A patterns, by frequency.
    expected = {("A to Third", "0"): 8.0, ("A to Third", "1"): 3.0, ("A to Second", "0"): 4.0,
                ("B to Fourth", "0"): 6.0}
    assert {key: float(row["uncongested_load"]) for key, row in loads.items()} == \
        pytest.approx(expected)
    assert float(loads[("B to Fourth", "0")]["runs_per_hour"]) == pytest.approx(1.5)

    with open(out / "stop_costs.csv") as f:
        costs = {(row["origin_stop_id"], row["destination_stop_id"]): row
                 for row in csv.DictReader(f)}
    assert len(costs) == 6  # the pairs of four stops, lower-numbered stop first
    # Both A patterns ride S1 -> S2: the wait is 0.5 / (3 / 120) = 20 minutes.
    assert float(costs[("S1", "S2")]["uncongested_minutes"]) == pytest.approx(20 + 17 / 3)
    assert float(costs[("S1", "S2")]["trips"]) == 12.0
    assert all(float(row["congested_minutes"]) < float("inf") for row in costs.values())
    for picture in ("line_loads.png", "convergence.png"):
        assert (out / picture).read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
