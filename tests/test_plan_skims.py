"""Skims: against the plain model, waiting + in-vehicle + walking = stop cost, and the example
of Spiess & Florian (1989)."""

import numpy as np
import pytest

from plan_cases import random_lines, random_network
from plan_model import Strategy
from vemo_plan import LineNetwork, Network

SEEDS = range(10)


def tie_free_network(seed):
    """The first network drawn from `seed` whose strategies no near tie decides, with them."""
    attempt = 0
    while True:
        arcs, demand, destinations = random_network([seed, attempt])
        arc_list = list(zip(*(values.tolist() for values in arcs)))
        strategies = [Strategy(arc_list, demand.shape[1], d) for d in destinations.tolist()]
        if min(strategy.closest_call for strategy in strategies) > 1e-3:
            return arcs, demand, destinations, strategies
        attempt += 1


@pytest.mark.parametrize("seed", SEEDS)
def test_skims_and_flows_agree_with_the_model(seed):
    arcs, demand, destinations, strategies = tie_free_network(seed)
    # float32 columns are read in place; a strided one is not, and must not be misread.
    skims = {"cost": arcs[3], "boardings": np.isfinite(arcs[2]).astype(np.float32),
             "fare": np.float32(np.arange(2 * len(arcs[3])) % 3)[::2]}
    result = Network(*arcs).assign(demand, destinations, skims=skims,
                                   arc_flows="per_destination")
    grid = demand.shape[1] / 60000  # the search's truncation, at most once per arc of a path
    for k, strategy in enumerate(strategies):
        expected = {"node_costs": (result.node_costs, strategy.cost),
                    "waiting_time": (result.waiting_time, strategy.waiting_time()),
                    "arc_flows": (result.arc_flows, strategy.flows(demand[k].tolist()))}
        expected |= {name: (result.skims[name], strategy.skim(values.tolist()))
                     for name, values in skims.items()}
        for name, (actual, model) in expected.items():
            np.testing.assert_allclose(actual[k], model, rtol=1e-4, atol=grid,
                                       err_msg=f"seed {seed}, destination {k}: {name}")


@pytest.mark.parametrize("seed", SEEDS)
def test_waiting_in_vehicle_and_walking_add_up_to_the_stop_cost(seed):
    (alignments, frequencies, times, demand), walking = random_lines(seed, walks=3)
    lines = LineNetwork(alignments, frequencies, times, walking=walking)
    result = lines.assign(demand)
    parts = result.waiting_time + result.in_vehicle_time + result.walking_time
    reached = np.isfinite(result.stop_costs)
    np.testing.assert_allclose(parts[reached], result.stop_costs[reached], rtol=1e-5,
                               atol=lines.network.node_count / 60000)
    assert np.isnan(parts[~reached]).all()
    assert (result.transfers[reached] > -1e-6).all()
    for matrix in (result.stop_costs, parts, result.boardings, result.transfers):
        assert not np.diagonal(matrix).any()


def test_spiess_and_florian():
    # Stops A, X, Y, B. Headways of 12, 12, 30 and 6 minutes; vemo waits half a headway.
    a, x, y, b = range(4)
    lines = LineNetwork.from_segments([[a, b], [a, x, y], [x, y, b], [y, b]],
                                      [1 / 12, 1 / 12, 1 / 30, 1 / 6], [[25], [7, 6], [4, 4], [10]])
    result = lines.assign(np.zeros((4, 4)))
    at_a = [matrix[a, b] for matrix in (result.stop_costs, result.waiting_time,
                                        result.in_vehicle_time, result.boardings, result.transfers)]
    assert at_a == pytest.approx([27.75, 4.25, 23.5, 1.5, 0.5], rel=1e-5)
