"""Zones and demand on the sample feed: zone skims against LineNetwork's stop skims, zones
joined to stops by connectors, the gravity model, and faults in zone and demand files."""

import numpy as np
import pytest

from plan_feeds import STOP_IDS, model
from vemo_plan.job import gtfs
from vemo_plan.job.demand import gravity_demand, read_demand
from vemo_plan.job.skims import SKIMS, assign_zones
from vemo_plan.job.walking import Walking
from vemo_plan.job.zones import Zones, read_zones

LINE_SKIMS = {"cost": "stop_costs"} | {name: name for name in SKIMS[1:]}


@pytest.fixture(scope="module")
def stop_model():
    return model()


def served_stop_zones(stop_model, ids):
    """Zones exactly at served stops, each joined to that stop alone."""
    feed_lines = stop_model.feed_lines
    stops = [feed_lines.stop_ids.index(stop) for stop in ids]
    zones = Zones([f"zone {stop}" for stop in ids], feed_lines.stop_lat[stops],
                  feed_lines.stop_lon[stops])
    return model(zones, Walking(connector_metres=1, max_connectors=1)), stops


def test_stop_zones_skim_as_the_line_network(stop_model):
    demand = gravity_demand(stop_model)
    skims = assign_zones(stop_model, demand)
    np.fill_diagonal(demand, 0)
    stops = stop_model.line_network.assign(demand)
    for name, line_name in LINE_SKIMS.items():
        np.testing.assert_array_equal(getattr(skims, name), getattr(stops, line_name),
                                      err_msg=name)
    np.testing.assert_array_equal(skims.arc_flows, stops.arc_flows)
    assert [list(loads) for loads in skims.line_loads] == [list(x) for x in stops.line_loads]
    assert (skims.total_cost, list(skims.unassigned)) == (stops.total_cost, list(stops.unassigned))


def test_zones_at_stops_skim_as_their_stops(stop_model):
    ids = ["W1", "C1", "E2", "N2", "S4"]
    zone_model, stops = served_stop_zones(stop_model, ids)
    assert (zone_model.access["minutes"] == 0).all() and len(zone_model.access) == len(ids)
    by_zone = assign_zones(zone_model, np.ones((len(ids), len(ids))))
    by_stop = assign_zones(stop_model, np.ones((len(STOP_IDS), len(STOP_IDS))))
    # A zone's connector is its access or egress walk, so it walks no further: where the stops'
    # strategies start and end without a walk they are the zones', but for the search's
    # rounding (1/60000 per arc), and elsewhere the zones' cost no less.
    pairs = np.ix_(stops, stops)
    same = (by_stop.access_walk[pairs] == 0) & (by_stop.egress_walk[pairs] == 0)
    assert same.sum() > 10 and not same.all()
    for name in SKIMS:
        np.testing.assert_allclose(getattr(by_zone, name)[same], getattr(by_stop, name)[pairs][same],
                                   rtol=0, atol=20 / 60000, err_msg=name)
    assert (by_zone.cost[~same] >= by_stop.cost[pairs][~same]).all()


def test_connectors_and_zones_out_of_reach(stop_model):
    feed_lines = stop_model.feed_lines
    w1, w2 = STOP_IDS.index("W1"), STOP_IDS.index("W2")
    # Between West Terminal and Mill Street (533 m apart), 20 km away, and at East Terminal.
    e2 = STOP_IDS.index("E2")
    zones = Zones(["between", "far", "E2"],
                  np.array([feed_lines.stop_lat[w1], 47.0, feed_lines.stop_lat[e2]]),
                  np.array([(feed_lines.stop_lon[w1] + feed_lines.stop_lon[w2]) / 2, -71.0,
                            feed_lines.stop_lon[e2]]))
    for walking, stops in [(Walking(), ["W1", "W2", "C1"]), (Walking(max_connectors=1), ["W1"]),
                           (Walking(connector_metres=200), [])]:
        connected = model(zones, walking).access
        first = connected[connected["zone"] == 0]
        assert [STOP_IDS[s] for s in first["stop"]] == stops
    zone_model = model(zones, Walking())
    assert list(zone_model.unconnected) == [False, True, False]
    demand = np.array([[0.0, 5.0, 7.0], [11.0, 0.0, 13.0], [17.0, 19.0, 0.0]])
    skims = assign_zones(zone_model, demand)
    assert list(skims.unassigned) == [11.0, 24.0, 13.0]  # every trip to or from "far"
    assert np.isinf(skims.cost[1, 0]) and np.isnan(skims.transfers[1, 0])
    # 266.4 m (0.0035 degrees of longitude at 46.8 N) to West Terminal or Mill Street, then
    # route 1 to the East Terminal's zone.
    assert skims.walking_time[0, 2] == pytest.approx(266.4 * 1.3 / 80, abs=0.002)
    parts = skims.waiting_time + skims.in_vehicle_time + skims.walking_time
    reached = np.isfinite(skims.cost)
    np.testing.assert_allclose(parts[reached], skims.cost[reached], atol=1e-3)


def test_gravity_demand(stop_model):
    demand = gravity_demand(stop_model, 1000.0, 2.0)
    assert demand.sum() == pytest.approx(1000.0)
    assert not demand.diagonal().any()
    np.testing.assert_allclose(demand, demand.T)
    depot = STOP_IDS.index("D1")  # no service: no activity
    assert not demand[depot].any() and not demand[:, depot].any()


def test_demand_file(tmp_path, stop_model):
    path = tmp_path / "od.csv"
    path.write_text("origin,destination,trips\nW1,E2,10\n\nW1,E2,2.5\nD1,S4,0\nC1,C1,3\n")
    demand = read_demand(path, stop_model.zones)
    index = STOP_IDS.index
    assert demand[index("W1"), index("E2")] == 12.5
    assert demand[index("C1"), index("C1")] == 3.0
    assert demand.sum() == 15.5


# File text, then the message; line numbers count blank lines.
ZONE_FAULTS = [
    ("zone_id,longitude,latitude\nA,-71.2,46.8\n\nA,-71.3,46.8\n",
     "{path} line 4: zone_id 'A' is empty or repeated"),
    ("zone_id,longitude,latitude\nA,-71.2,96.8\n",
     "{path} line 2: latitude must be within ±90 and longitude within ±180"),
    ("zone_id,longitude,latitude\nA,west,46.8\n",
     "{path} line 2: longitude 'west' is not a number"),
    ("zone_id,longitude,latitude\n", "{path}: no zone"),
    ("", "{path}: the file is empty; it needs a header line"),
]
DEMAND_FAULTS = [
    ("origin,destination,trips\nW1,E2,-1\n",
     "{path} line 2: trips '-1' is not a number at least 0"),
    ("origin,destination,trips\nW1,E2,\n", "{path} line 2: trips '' is not a number at least 0"),
    ("origin,destination\nW1,E2\n",
     "{path}: no column trips (the header names origin, destination)"),
]


@pytest.mark.parametrize("text, message", ZONE_FAULTS + DEMAND_FAULTS)
def test_faults_name_the_file_and_line(tmp_path, stop_model, text, message):
    path = tmp_path / "input.csv"
    path.write_text(text)
    read = read_zones if (text, message) in ZONE_FAULTS else (
        lambda path: read_demand(path, stop_model.zones))
    with pytest.raises(gtfs.InputError) as caught:
        read(path)
    assert str(caught.value) == message.format(path=path)
