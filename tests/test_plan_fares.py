"""Fares: GTFS fares v1 as a fare per boarding of each line, and the expected fare skim; the
headway cap on waiting."""

import numpy as np
import pytest

from plan_feeds import PEAK, STOP_IDS, WEEKDAY, feed_copy, model
from vemo_plan.job import gtfs, sample_feed
from vemo_plan.job.model import zone_model
from vemo_plan.job.skims import assign_zones, assign_zones_congested

ATTRIBUTES = "fare_id,price,currency_type,payment_method,transfers\n"
NO_TRANSFERS = "F1,2.50,CAD,0,0\nF2,1.00,CAD,0,0\n"


@pytest.mark.parametrize("attributes, rules, fares, note", [
    ("F1,2.50,CAD,0,0\n", None, {"R1": 2.5, "R2": 2.5, "R3": 2.5}, ""),
    (NO_TRANSFERS, "fare_id,route_id\nF1,R1\nF2,R2\nF2,R1\n", {"R1": 1.0, "R2": 1.0, "R3": 0.0},
     "lines have no fare"),
    ("F1,2.50,CAD,0,\n", "fare_id,route_id\nF1,\n", {"R1": 2.5, "R2": 2.5, "R3": 2.5},
     "transfer allowances"),
    (NO_TRANSFERS, "fare_id,origin_id\nF1,Z1\n", None, "by origin, destination or zone"),
    (NO_TRANSFERS, None, None, "2 fares and no fare_rules.txt"),
    ("F1,2.50,CAD,0,0\nF2,1.00,EUR,0,0\n", "fare_id,route_id\nF1,R1\n", None, "2 currencies"),
])
def test_fares_by_route(tmp_path, attributes, rules, fares, note):
    folder = feed_copy(tmp_path, {})
    (folder / "fare_attributes.txt").write_text(ATTRIBUTES + attributes)
    if rules is not None:
        (folder / "fare_rules.txt").write_text(rules)
    feed = gtfs.read_feed(folder)
    lines = gtfs.feed_lines(feed, WEEKDAY, *PEAK)
    result = gtfs.line_fares(feed, lines.route_ids)
    assert note in result.note and bool(note) == bool(result.note)
    if fares is None:
        assert result.per_line is None
    else:
        assert list(result.per_line) == [fares[route] for route in lines.route_ids]


def test_the_expected_fare_of_each_trip(tmp_path):
    folder = feed_copy(tmp_path, {})
    (folder / "fare_attributes.txt").write_text(ATTRIBUTES + NO_TRANSFERS)
    (folder / "fare_rules.txt").write_text("fare_id,route_id\nF1,R1\nF2,R2\nF2,R3\n")
    feed = gtfs.read_feed(folder)
    lines = gtfs.feed_lines(feed, WEEKDAY, *PEAK)
    zones = zone_model(lines, fares=gtfs.line_fares(feed, lines.route_ids))
    skims = assign_zones(zones, np.ones((len(STOP_IDS), len(STOP_IDS))))
    w1, w2, e2, n1, c2 = (STOP_IDS.index(stop) for stop in ("W1", "W2", "E2", "N1", "C2"))
    # Route 1 alone; route 2 alone; route 1 to City Hall, a walk, then route 2.
    assert skims.fare[w1, w2] == pytest.approx(2.5)
    assert skims.fare[n1, c2] == pytest.approx(1.0)
    assert (skims.boardings[w1, n1], skims.fare[w1, n1]) == pytest.approx((2.0, 3.5))
    # To East Terminal, a fifth of the riders board a short turn to City Hall first and pay
    # route 1's fare twice: 2.5 x 1.2.
    assert (skims.boardings[w1, e2], skims.fare[w1, e2]) == pytest.approx((1.2, 3.0))
    assert "fare" in skims.matrices()


def test_the_headway_cap_bounds_the_first_wait():
    demand = np.ones((len(STOP_IDS), len(STOP_IDS)))
    plain = assign_zones(model(), demand)
    feed = gtfs.read_feed(sample_feed())
    lines = gtfs.feed_lines(feed, WEEKDAY, *PEAK)
    capped_model = zone_model(lines, transfers=gtfs.feed_transfers(feed, lines), max_headway=8.0)
    capped = assign_zones(capped_model, demand)
    reached = np.isfinite(plain.cost)
    assert np.nanmax(plain.first_wait) > 4.0  # route 2 every 15 minutes: 7.5
    assert np.nanmax(capped.first_wait) <= 4.0 + 1e-4
    assert (capped.cost[reached] <= plain.cost[reached] + 1e-4).all()
    # Waited for as if more often, a line still carries only its runs' riders.
    congested = assign_zones_congested(capped_model, demand, np.full(len(lines.runs), 30.0))
    for loads, use, runs in zip(congested.line_loads, congested.capacity_use, lines.runs):
        np.testing.assert_allclose(use, loads / (30.0 * runs), rtol=1e-5)
