"""A trip's cost in parts: waits before and after the first boarding, walks at its ends and
between rides; no walk chains; the perceived cost that chooses routes while skims stay real."""

import numpy as np
import pytest

from vemo_plan import LineNetwork, Perception

# Stops 0 .. 7. Line 0 rides 1 -> 2 and line 1 rides 3 -> 4, 10 minutes each, every 10 minutes;
# walks 0 -> 1 (2 min), 2 -> 3 (3), 4 -> 5 (4), and 5 -> 6 -> 7 (1 each) with nothing to ride.
WALKS = ([0, 2, 4, 5, 6], [1, 3, 5, 6, 7], [2.0, 3.0, 4.0, 1.0, 1.0])
PARTS = ("first_wait", "transfer_wait", "in_vehicle_time", "access_walk", "egress_walk",
         "transfer_walk")


def network(**options):
    return LineNetwork.from_segments([[1, 2], [3, 4]], [0.1, 0.1], [[10.0], [10.0]],
                                     walking=WALKS, **options)


@pytest.mark.parametrize("origin, destination, cost, parts", [
    # Walk, wait 5, ride, walk across, wait 5, ride, walk: every part once.
    (0, 5, 39.0, (5, 5, 20, 2, 4, 3)),
    (1, 4, 33.0, (5, 5, 20, 0, 0, 3)),
    (2, 5, 22.0, (5, 0, 10, 3, 4, 0)),  # a walk to the first boarding is an access walk
    (5, 6, 1.0, (0, 0, 0, 1, 0, 0)),    # a walk-only trip walks its access walk
    (5, 7, np.inf, None),               # two walks in a row: no way
])
def test_a_trip_in_parts(origin, destination, cost, parts):
    result = network(chained_walks=False).assign(np.zeros((8, 8)))
    assert result.stop_costs[origin, destination] == pytest.approx(cost, abs=1e-3)
    if parts is not None:
        got = [getattr(result, name)[origin, destination] for name in PARTS]
        assert got == pytest.approx(parts, abs=1e-3)
        assert result.waiting_time[origin, destination] == pytest.approx(sum(parts[:2]))


def test_chained_walks_join_walk_after_walk():
    result = network().assign(np.zeros((8, 8)))
    assert result.stop_costs[5, 7] == pytest.approx(2.0)
    assert result.access_walk[5, 7] == pytest.approx(2.0)


def test_parts_split_shared_waits_by_the_strategy():
    # Stops A, X, Y, B of Spiess & Florian (1989): a rider at A waits 3 minutes for lines 1 and
    # 2; half of them transfer after riding line 2, and wait 1.25 minutes on average later.
    a, x, y, b = range(4)
    lines = LineNetwork.from_segments([[a, b], [a, x, y], [x, y, b], [y, b]],
                                      [1 / 12, 1 / 12, 1 / 30, 1 / 6],
                                      [[25], [7, 6], [4, 4], [10]], chained_walks=False)
    result = lines.assign(np.zeros((4, 4)))
    assert (result.first_wait[a, b], result.transfer_wait[a, b]) == pytest.approx((3.0, 1.25))


def test_perception_chooses_routes_and_skims_stay_real():
    # From 0 to 2: walk 12 minutes, or wait 5 (every 10 minutes) and ride 4.
    lines = {weights: LineNetwork.from_segments(
        [[0, 2]], [0.1], [[4.0]], walking=([0], [2], [12.0]), perception=weights)
        for weights in (Perception(), Perception(wait=3.0), Perception.production())}
    chosen = {weights: lines[weights].assign(np.zeros((3, 3))) for weights in lines}
    plain, slow_waits, production = chosen.values()
    # Plain: the ride (9 < 12). Waits weighed 3x: 15 + 4 = 19 > 12, so the walk.
    assert (plain.stop_costs[0, 2], plain.perceived_costs) == (pytest.approx(9.0), None)
    assert (slow_waits.stop_costs[0, 2], slow_waits.perceived_costs[0, 2]) == \
        pytest.approx((12.0, 12.0))
    # Production: walk 24 against 10 + 5 (boarding) + 4: the ride, at its real 9 minutes.
    assert production.stop_costs[0, 2] == pytest.approx(9.0)
    assert production.perceived_costs[0, 2] == pytest.approx(19.0)
    assert production.waiting_time[0, 2] == pytest.approx(5.0)


@pytest.mark.parametrize("weights", [dict(wait=0.5), dict(walk=np.nan), dict(boarding=-1)])
def test_perception_weights_are_checked(weights):
    with pytest.raises(ValueError, match="perception"):
        Perception(**weights)
