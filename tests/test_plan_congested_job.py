"""The job's congested assignment on the sample feed: riders per vehicle by mode, number and
route file; the loop's gaps in convergence.csv; the summary's stop reason and the segments
that carry more riders than their runs hold."""

import re

import numpy as np
import pandas as pd
import pytest

from plan_feeds import PEAK, WEEKDAY, feed_copy
from vemo_plan.job import gtfs
from vemo_plan.job.capacities import MODES, basic_mode, line_capacities
from vemo_plan.job.cli import main

# route_type: riders per vehicle, the extended types by their basic mode.
MODE_CAPACITIES = {-1: 80, 3: 80, 0: 200, 1: 1000, 2: 600, 4: 300, 5: 60, 6: 10, 7: 100, 11: 80,
                   12: 500, 8: 80, 102: 600, 200: 80, 401: 1000, 405: 500, 700: 80, 800: 80,
                   900: 200, 1000: 300, 1100: 80, 1200: 300, 1300: 10, 1400: 100, 1701: 60,
                   1702: 80, 1800: 80}


def test_riders_per_vehicle_by_route_type():
    assert {code: MODES[basic_mode(code)].capacity for code in MODE_CAPACITIES} == MODE_CAPACITIES


@pytest.mark.parametrize("vehicle_capacity, by_route, expected", [
    (None, None, {"R1": 80, "R2": 1000, "R3": 300}),
    (50.0, None, {"R1": 50, "R2": 50, "R3": 50}),
    (None, {"R3": 40.0}, {"R1": 80, "R2": 1000, "R3": 40}),
    (50.0, {"R1": 40.0}, {"R1": 40, "R2": 50, "R3": 50}),
])
def test_line_capacities(tmp_path, vehicle_capacity, by_route, expected):
    # Route 2 a metro, route 3 a ferry, route 1 without a route_type.
    routes = {"routes.txt": lambda text: text.replace("Main Street,3", "Main Street,")
              .replace("Hill,3", "Hill,1").replace("Express,3", "Express,4")}
    feed_lines = gtfs.feed_lines(gtfs.read_feed(feed_copy(tmp_path, routes)), WEEKDAY, *PEAK)
    capacities = line_capacities(feed_lines, vehicle_capacity, by_route)
    np.testing.assert_array_equal(capacities, [expected[r] for r in feed_lines.route_ids])


def bad_route_files(tmp_path):
    cases = [("route_id,capacity\nR1,60\nR2,many\n", " line 3: capacity 'many' is not a number "
              "above 0"),
             ("route_id,capacity\nR1,0\n", " line 2: capacity '0' is not a number above 0"),
             ("route_id,capacity\nR1,60\nR9,60\n", " line 3: route_id 'R9' is not a route of the "
              "feed"),
             ("route_id,capacity\nR1,60\nR1,70\n", " line 3: route_id 'R1' repeated"),
             ("route_id,riders\nR1,60\n", ": no column capacity (the header names route_id, "
              "riders)")]
    for k, (text, message) in enumerate(cases):
        path = tmp_path / f"capacities{k}.csv"
        path.write_text(text)
        yield path, f"vemo-plan: {path}{message}\n"


def test_a_bad_route_capacity_row_is_named(tmp_path, capsys):
    for path, message in bad_route_files(tmp_path):
        assert main(["--route-capacities", str(path), "--out", str(tmp_path / "out"),
                     "--no-progress"]) == 1
        assert capsys.readouterr().err == message


@pytest.mark.parametrize("model, options, stopped", [
    ("capacity", ["--tol", "1"], "capacity model, 1 iteration, final gap {gap}, stopped: the "
     "gap reached the tolerance 1"),
    ("crowding", ["--max-iters", "2", "--tol", "0"], "crowding model, 2 iterations, final gap "
     "{gap}, stopped: the iteration limit 2"),
    ("averaging", ["--max-iters", "3", "--decay", "0.5"], "averaging model, 3 iterations, "
     "final gap {gap}, stopped: the iteration limit 3"),
    ("capacity", ["--capacity", "50"], "capacity model, {iterations} iterations, final gap "
     "{gap}, stopped: flows stay over capacity: the lines cannot carry the demand"),
])
def test_convergence_file_and_stop_reason(tmp_path, capsys, model, options, stopped):
    out = tmp_path / "out"
    assert main(["--congested", "--congestion-model", model, *options, "--out", str(out),
                 "--no-progress"]) == 0
    congested = capsys.readouterr().out.splitlines()[6]
    gaps = pd.read_csv(out / "convergence.csv")
    assert list(gaps.columns) == ["iteration", "gap"]
    assert list(gaps["iteration"]) == list(range(1, len(gaps) + 1))
    assert congested.endswith("; " + stopped.format(gap=f"{gaps['gap'].iloc[-1]:.3g}",
                                                    iterations=len(gaps)))


def test_segments_over_capacity(tmp_path, capsys):
    # West Terminal -> Mill Street is ridden only by route 1's lines towards the east, 15 runs
    # in the peak, and no walk joins the two stops: 5000 trips, 150 places.
    demand, out = tmp_path / "od.csv", tmp_path / "out"
    demand.write_text("origin,destination,trips\nW1,W2,5000\n")
    assert main(["--demand", str(demand), "--congested", "--capacity", "10", "--out", str(out),
                 "--no-progress"]) == 0
    printed = capsys.readouterr().out.splitlines()
    assert printed[9] == ("  over capacity: 2 segments carry more riders than their runs hold; "
                          "the most over:")
    over = [re.fullmatch(r"    (1 to \w+ \w+): West Terminal to Mill Street, ([\d,]+) riders "
                         r"over", line) for line in printed[10:]]
    assert sorted(match[1] for match in over) == ["1 to City Hall", "1 to East Terminal"]
    assert sum(int(match[2].replace(",", "")) for match in over) == pytest.approx(4850, abs=1)
    table = pd.read_csv(out / "line_loads.csv")
    assert (table["vehicle_capacity"] == 10).all()
