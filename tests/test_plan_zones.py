"""Zones and demand on the sample feed: zone skims against LineNetwork's stop skims, zones
joined to stops by connectors, stations as zones, the gravity model, and faults in zone and
demand files."""

import numpy as np
import pytest

from plan_feeds import PEAK, STOP_IDS, WEEKDAY, feed_copy, model
from vemo_plan.job import gtfs
from vemo_plan.job import _geo
from vemo_plan.job import demand as demand_module
from vemo_plan.job._geo import metres
from vemo_plan.job.demand import gravity_demand, read_demand
from vemo_plan.job.model import zone_model
from vemo_plan.job.skims import SKIMS, assign_zones
from vemo_plan.job.walking import Walking
from vemo_plan.job.zones import Zones, read_zones, station_zones

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
    # A connector and at most one walk on is an access walk, so the same strategies; costs may
    # differ by the search's rounding, 1/60000 per arc.
    for name in SKIMS:
        np.testing.assert_allclose(getattr(by_zone, name),
                                   getattr(by_stop, name)[np.ix_(stops, stops)], rtol=0,
                                   atol=20 / 60000, err_msg=name)


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


# City Hall and City Hall North in a station with an entrance; Market's parent is no station.
STATION_STOPS = {"C1": ",CH", "C2": ",CH", "E1": ",XX"}
STATION_ROWS = "CH,City Hall station,46.8010,-71.2258,1,\nCHE,Entrance,46.8012,-71.2258,2,CH\n"


def station_feed(text):
    rows = text.splitlines()
    return "\n".join([rows[0] + ",parent_station"] + [
        row + STATION_STOPS.get(row.split(",")[0], ",") for row in rows[1:]]) + "\n" + STATION_ROWS


def test_stations_are_zones(tmp_path, stop_model):
    feed = gtfs.read_feed(feed_copy(tmp_path, {"stops.txt": station_feed}))
    feed_lines = gtfs.feed_lines(feed, WEEKDAY, *PEAK)
    zones = station_zones(feed, feed_lines, Walking())
    ids = [stop for stop in STOP_IDS if stop != "C2"]
    ids[ids.index("C1")] = "CH"
    assert (zones.ids, zones.stations) == (ids, 1)
    station = ids.index("CH")
    assert (zones.lat[station], zones.lon[station]) == (46.801, -71.2258)
    links = zones.links.set_index("stop")
    c1, c2 = STOP_IDS.index("C1"), STOP_IDS.index("C2")
    walks = Walking().minutes(metres(46.801, -71.2258, feed_lines.stop_lat[[c1, c2]],
                                     feed_lines.stop_lon[[c1, c2]]))
    assert list(links.loc[[c1, c2], "zone"]) == [station, station]
    np.testing.assert_allclose(links.loc[[c1, c2], "minutes"], walks)
    others = links.drop([c1, c2])
    assert [ids[zone] for zone in others["zone"]] == [STOP_IDS[stop] for stop in others.index]
    assert not others["minutes"].any()

    # From the station, the better of its stops and the walk to it; to it, no worse than that.
    skims = assign_zones(zone_model(feed_lines, zones, transfers=gtfs.feed_transfers(
        feed, feed_lines)), np.ones((len(ids), len(ids))))
    by_stop = assign_zones(stop_model, np.ones((len(STOP_IDS), len(STOP_IDS)))).cost
    others = [STOP_IDS.index(stop) for stop in ids if stop != "CH"]
    best_from = np.min(walks[:, None] + by_stop[np.ix_([c1, c2], others)], axis=0)
    best_to = np.min(by_stop[np.ix_(others, [c1, c2])] + walks[None, :], axis=1)
    rest = [k for k in range(len(ids)) if k != station]
    np.testing.assert_allclose(skims.cost[station, rest], best_from, atol=1e-3)
    assert (skims.cost[rest, station] <= best_to + 1e-3).all()


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
     "{path} line 2: trips '-1' is not a number at least 0 and at most 1e+12"),
    ("origin,destination,trips\nW1,E2,\n",
     "{path} line 2: trips '' is not a number at least 0 and at most 1e+12"),
    ("origin,destination,trips\nW1,E2,1\nW1,E1,inf\n",
     "{path} line 3: trips 'inf' is not a number at least 0 and at most 1e+12"),
    ("origin,destination,trips\nW1,E2,2e12\n",
     "{path} line 2: trips '2e12' is not a number at least 0 and at most 1e+12"),
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


@pytest.mark.parametrize("limit, block", [(300.0, 7), (2_000.0, 50), (0.0, 4_000_000)])
def test_pairs_within_measure_what_all_pairs_give(monkeypatch, limit, block):
    """The latitude band and the blocks of rows find every pair the whole matrix finds, with
    the same distances, bit for bit; as does the gravity model's mirrored decay."""
    monkeypatch.setattr(_geo, "_BLOCK", block)
    monkeypatch.setattr(demand_module, "_DECAY_ROWS", 3)
    rng = np.random.default_rng(5)
    lat_a, lon_a = 45 + rng.random(40) * 0.05, 7 + rng.random(40) * 0.05
    lat_b, lon_b = np.append(lat_a[:5], 45 + rng.random(30) * 0.05), 7 + rng.random(35) * 0.05
    whole = metres(lat_a[:, None], lon_a[:, None], lat_b[None, :], lon_b[None, :])
    i, j = np.nonzero(whole <= limit)
    found = _geo.pairs_within(lat_a, lon_a, lat_b, lon_b, limit)
    for got, expected in zip(found, (i, j, whole[i, j])):
        np.testing.assert_array_equal(got, expected)
    square = metres(lat_a[:, None], lon_a[:, None], lat_a[None, :], lon_a[None, :])
    weight = rng.random((40, 40))
    expected = weight * np.exp(-(square / 1000.0) / 2.0)
    demand_module._decay(weight, lat_a, lon_a, 2.0)
    np.testing.assert_array_equal(weight, expected)
