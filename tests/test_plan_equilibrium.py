"""The capacity and crowding models: their gap recomputed from what they return, equilibria
known in closed form, congestion that only acts near capacity, and loads within capacity."""

import numpy as np
import pytest

from plan_cases import random_network
from vemo_plan import CapacityModel, CrowdingModel, LineNetwork, Network


def recomputed_gap(network, demand, destinations, result):
    """The relative gap from the returned per-destination flows and the frequencies and costs
    they produce: their total cost with Spiess and Florian's waiting, against the cheapest
    strategies' of an uncongested assignment under those frequencies and costs."""
    tail, flows = network.tail.astype(np.intp), result.arc_flows.astype(np.float64)
    frequency = result.effective_frequencies.astype(np.float64)
    waited = np.isfinite(frequency)
    waiting = 0.0
    for row in flows:
        largest = np.zeros(network.node_count)
        np.maximum.at(largest, tail[waited], row[waited] / frequency[waited])
        waiting += 0.5 * largest.sum()
    total = float(result.arc_costs.astype(np.float64) @ flows.sum(axis=0)) + waiting
    cheapest = Network(network.tail, network.head, result.effective_frequencies,
                       result.arc_costs).assign(demand, destinations, arc_flows="none")
    minimal = float(cheapest.destination_costs.astype(np.float64).sum())
    return (total - minimal) / total


# Crowded at a capacity of 2, these networks' times grow past the search's range.
@pytest.mark.parametrize("model, capacity", [
    (CapacityModel(tol=0.0, max_iters=4), 2.0),
    (CrowdingModel(alpha=1.0, tol=0.0, max_iters=4), 20.0)])
@pytest.mark.parametrize("seed", range(4))
def test_the_reported_gap_is_that_of_the_returned_flows(model, capacity, seed):
    arcs, demand, destinations = random_network(seed)
    network = Network(*arcs)
    result = network.assign_congested(demand, destinations, capacity, model,
                                      arc_flows="per_destination")
    assert result.gaps[-1] >= -1e-6
    assert recomputed_gap(network, demand, destinations, result) == pytest.approx(
        result.gaps[-1], abs=1e-5)


def two_lines(capacity):
    """Two lines from node 0 to node 3, every 10 and every 5 minutes, riding 20 and 24
    minutes: boarding arcs 0 -> 1 and 0 -> 2, rides 1 -> 3 and 2 -> 3."""
    frequency = np.float32([0.1, 0.2, np.inf, np.inf])
    network = Network([0, 0, 1, 2], [1, 2, 3, 3], frequency, [0, 0, 20, 24])
    return network, np.float32([[1.0, 0, 0, 0]]), [3], np.float32([capacity, capacity, 1, 1])


def test_capacity_model_common_lines_equilibrium():
    # Both lines attractive: riders split by effective frequency, f (1 - (v / (f c)) ** beta),
    # each boarding arc alone feeding its line. The split solves v1 = g f1(v1) / (f1 + f2).
    network, demand, destinations, capacity = two_lines(6.0)
    beta = 3.0

    def effective(f, v):
        return f * (1 - (v / (f * 6.0)) ** beta)

    low, high = 0.0, 1.0
    for _ in range(200):
        v1 = (low + high) / 2
        share = effective(0.1, v1) / (effective(0.1, v1) + effective(0.2, 1 - v1))
        low, high = (v1, high) if share > v1 else (low, v1)
    result = network.assign_congested(demand, destinations, capacity,
                                      CapacityModel(beta=beta, tol=1e-7, max_iters=10_000))
    np.testing.assert_allclose(result.arc_flows[:2], [v1, 1 - v1], atol=1e-4)


def test_crowding_model_equilibrium_of_two_walks():
    # Two untimed paths (infinite frequency) of 10 and 12 minutes, crowding linearly (beta 1,
    # alpha 1) at 40 and 60 riders: 100 riders split where 10 (1 + v / 40) = 12 (1 + w / 60).
    network = Network([0, 0], [1, 1], [np.inf, np.inf], [10, 12])
    result = network.assign_congested(np.float32([[100, 0]]), [1], np.float32([40, 60]),
                                      CrowdingModel(alpha=1.0, beta=1.0, tol=1e-6))
    v = (12 * (1 + 100 / 60) - 10) / (10 / 40 + 12 / 60)
    np.testing.assert_allclose(result.arc_flows, [v, 100 - v], rtol=1e-4)
    np.testing.assert_allclose(result.arc_costs, [10 * (1 + v / 40)] * 2, rtol=1e-4)
    assert result.stop_reason == "tolerance"


@pytest.mark.parametrize("model", [CapacityModel(), CrowdingModel()])
def test_congestion_far_below_capacity_leaves_the_uncongested_costs(model):
    arcs, demand, destinations = random_network(7)
    network = Network(*arcs)
    free = network.assign(demand, destinations)
    congested = network.assign_congested(demand, destinations, 1e6 * demand.sum(), model)
    assert congested.iterations <= 5 and congested.converged
    np.testing.assert_allclose(congested.node_costs, free.node_costs, atol=1e-3)


def test_capacity_model_keeps_feasible_loads_within_capacity():
    # 100 riders from stop 0 to stop 1 on a fast line every 10 minutes and a slow one (30
    # minutes, which nobody takes uncongested), each carrying 60 a segment.
    lines = LineNetwork.from_segments([[0, 1], [0, 1]], [0.1, 0.1], [[10], [30]])
    assert lines.assign([[0, 100], [0, 0]]).line_loads[1][0] == 0
    result = lines.assign_congested([[0, 100], [0, 0]], 600.0,
                                    CapacityModel(tol=1e-4, max_iters=2000))
    fast, slow = (use[0] for use in result.capacity_use)
    assert fast <= 1.01 and slow > 0.6
