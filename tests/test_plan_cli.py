"""The command line on the sample feed: the whole job end to end, and bad input answered with
one line and no file written."""

import json
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

from plan_feeds import STOP_IDS, feed_copy, zipped
from vemo_plan.job.cli import main
from vemo_plan.job.omx import read_omx
from vemo_plan.job.skims import SKIMS

SEGMENTS = 22  # of the seven lines of the weekday peak


def test_the_whole_job(tmp_path, capsys):
    out = tmp_path / "out"
    assert main(["--congested", "--congestion-model", "averaging", "--capacity", "60",
                 "--max-iters", "30", "--out", str(out)]) == 0
    printed = capsys.readouterr().out.splitlines()
    assert printed[:5] == [
        "Feed small_feed: 2025-01-01, 07:00 to 09:00",
        "  lines: 7 (stop patterns of 3 routes), runs: 67",
        "  stops: 13 (1 without service), zones: 13 (the stops)",
        "  arcs: 84, of which 5 walks between stops and 0 zone connectors",
        "  demand: gravity model (distance scale 3 km), 3,000 trips",
    ]
    assert printed[5].startswith("  uncongested: total cost ")
    assert printed[5].endswith(" rider-minutes, 0.00% of trips cannot reach their destination")
    assert printed[6].startswith("  congested (60 riders a vehicle): total cost ")
    assert "30 iterations" in printed[6]
    assert printed[7].startswith("  time: feed ") and "congested" in printed[7]
    names = ["skims.omx", "line_loads.csv", "line_loads.geojson", "line_loads.png",
             "convergence.png", "convergence.csv"]
    assert printed[8] == "  wrote " + ", ".join(str(out / name) for name in names)
    assert sorted(path.name for path in out.iterdir()) == sorted(names)

    ids, matrices = read_omx(out / "skims.omx")
    assert ids == STOP_IDS
    skims = [*SKIMS, "in_vehicle_time_bus"]
    assert sorted(matrices) == sorted(["demand", *skims, *(f"congested_{n}" for n in skims)])
    assert matrices["demand"].sum() == pytest.approx(3000)
    assert np.isfinite(matrices["cost"][:-1, :-1]).all()  # all but the unserved Old Depot

    table = pd.read_csv(out / "line_loads.csv", dtype={"segment": int})
    assert len(table) == SEGMENTS
    first = table.iloc[0]
    assert (first["line"], first["from_stop_id"], first["to_stop_id"]) == \
        ("1 to East Terminal", "W1", "W2")
    assert (first["runs_per_hour"], first["capacity"]) == (6.0, 12 * 60)
    np.testing.assert_allclose(table["congested_capacity_use"],
                               table["congested_riders"] / table["capacity"])
    features = json.loads((out / "line_loads.geojson").read_text())["features"]
    assert len(features) == SEGMENTS
    assert features[0]["geometry"] == {"type": "LineString",
                                       "coordinates": [[-71.24, 46.8], [-71.233, 46.8]]}
    assert [f["properties"]["uncongested_riders"] for f in features] == \
        pytest.approx(list(table["uncongested_riders"]))
    for picture in names[3:5]:
        assert (out / picture).read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_zones_and_demand_files(tmp_path, capsys):
    zones, demand, out = tmp_path / "zones.csv", tmp_path / "od.csv", tmp_path / "out"
    zones.write_text("zone_id,longitude,latitude\n1,-71.2365,46.8\n2,-71.213,46.8\n"
                     "3,-71.0,47.0\n")
    demand.write_text("origin,destination,trips\n1,2,30\n1,3,10\n2,2,5\n")
    assert main(["--zones", str(zones), "--demand", str(demand), "--out", str(out),
                 "--no-progress"]) == 0
    printed = capsys.readouterr().out.splitlines()
    assert printed[2] == "  stops: 13 (1 without service), zones: 3 (1 without a stop in reach)"
    assert printed[4] == f"  demand: {demand}, 45 trips (5 within a zone, not assigned)"
    assert printed[5].endswith(" 25.00% of trips cannot reach their destination")
    ids, matrices = read_omx(out / "skims.omx")
    assert ids == ["1", "2", "3"]
    assert matrices["demand"][0, 1] == 30 and np.isinf(matrices["cost"][0, 2])


def bad_inputs(tmp_path):
    """Command lines with one fault each, with the message and exit status they get."""
    no_stop_times = zipped(feed_copy(tmp_path, {"stop_times.txt": None}),
                           tmp_path / "no_stop_times.zip")
    zones, demand = tmp_path / "zones.csv", tmp_path / "od.csv"
    zones.write_text("zone_id,longitude\n1,-71.2365\n")
    demand.write_text("origin,destination,trips\nW1,E2,4\nW1,Z9,3\n")
    return [
        ([str(no_stop_times)], "no_stop_times.zip: the feed has no stop_times.txt", 1),
        (["--start", "22:00", "--end", "23:00"],
         "small_feed: no trip leaves its middle stop between 22:00 and 23:00 on 2025-01-01", 1),
        (["--zones", str(zones)],
         f"{zones}: no column latitude (the header names zone_id, longitude)", 1),
        (["--demand", str(demand)], f"{demand} line 3: destination 'Z9' is not a zone", 1),
        ([str(tmp_path / "nowhere.zip")], f"{tmp_path / 'nowhere.zip'}: no such file or folder",
         1),
        (["--day", "2025-01-01"], "argument --day: '2025-01-01' is not a date YYYYMMDD", 2),
        (["--start", "7h"], "argument --start: '7h' is not a time HH:MM", 2),
        (["--end", "06:30"], "--end must be after --start", 2),
        (["--capacity", "0"], "argument --capacity: '0' is not a number above 0", 2),
        (["--congestion-model", "fast"], "argument --congestion-model: invalid choice: 'fast' "
         "(choose from 'capacity', 'crowding', 'averaging')", 2),
        (["--decay", "0.5"], "decay (--decay) is the averaging model's, not the capacity "
         "model's", 2),
        (["--max-connectors", "1.5"],
         "argument --max-connectors: '1.5' is not an integer at least 0", 2),
        (["--dask", "--scheduler", "tcp://127.0.0.1:1"],
         "argument --scheduler: not allowed with argument --dask", 2),
        (["--colour"], "unrecognized arguments: --colour", 2),
    ]


def test_bad_input_is_one_line_and_writes_nothing(tmp_path, capsys):
    out = tmp_path / "out"
    for arguments, message, status in bad_inputs(tmp_path):
        assert main([*arguments, "--out", str(out), "--no-progress"]) == status, arguments
        printed = capsys.readouterr()
        assert (printed.out, printed.err) == ("", f"vemo-plan: {message}\n")
        assert not out.exists()


def test_python_dash_m(tmp_path):
    run = subprocess.run([sys.executable, "-m", "vemo_plan", "--end", "06:00"],
                         capture_output=True, text=True, timeout=120, cwd=tmp_path)
    assert (run.returncode, run.stdout, run.stderr) == \
        (2, "", "vemo-plan: --end must be after --start\n")


def test_plot_none_draws_nothing(tmp_path):
    # In a process of its own, to see that matplotlib is never imported.
    code = ("import sys; from vemo_plan.job.cli import main; "
            f"main(['--congested', '--plot', 'none', '--no-progress', '--out', "
            f"{str(tmp_path)!r}]); "
            "print('matplotlib' in sys.modules)")
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                         timeout=120)
    assert run.stdout.splitlines()[-1] == "False", run.stderr
    assert sorted(path.suffix for path in tmp_path.iterdir()) == [".csv", ".csv", ".geojson",
                                                                  ".omx"]
