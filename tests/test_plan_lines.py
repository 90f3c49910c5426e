"""vemo_plan.LineNetwork: vemo's line network and results bit for bit, the two ways to give
running times, capacity per line, and worked examples of every result."""

import math

import numpy as np
import pytest

import vemo
from plan_cases import random_lines, same_bits, vemo_blocks
from vemo_plan import ArcKind, AveragingModel, LineNetwork

INF, NAN = math.inf, math.nan
SEEDS = range(10)


@pytest.mark.parametrize("seed", SEEDS)
def test_arcs_and_stop_costs_are_those_of_mat_linear_assign(seed):
    (alignments, frequencies, times, demand), _ = random_lines(seed)
    lines = LineNetwork(alignments, frequencies, times)
    network, stops = lines.network, lines.stop_count
    matrix, totals, _ = vemo.mat_linear_assign(alignments, frequencies, times, demand)
    # vemo's destinations are stops 1 .. M-1; block k holds the trips toward stop k + 1.
    blocks = np.zeros((stops - 1, network.node_count), np.float32)
    blocks[:, :stops] = demand[:, 1:].T
    costs, flows = vemo.linear_assign(network.tail, network.head, network.frequency,
                                      network.cost, blocks.ravel(), list(range(1, stops)))
    upper = np.zeros((stops, stops), np.float32)
    upper[:, 1:] = np.reshape(costs, (stops - 1, -1))[:, :stops].T
    assert same_bits(np.triu(upper, 1), np.float32(matrix))
    summed = np.zeros(network.arc_count, np.float32)
    for row in np.float32(flows).reshape(stops - 1, -1):
        summed += row
    assert same_bits(summed, np.float32(totals))
    assert same_bits(np.triu(lines.assign(demand).stop_costs, 1), np.float32(matrix))


@pytest.mark.parametrize("seed", SEEDS)
def test_congested_results_are_vemos_on_the_same_arcs(seed):
    (alignments, frequencies, times, demand), walking = random_lines(seed, walks=2)
    lines = LineNetwork(alignments, frequencies, times, walking=walking)
    result = lines.assign_congested(
        demand, 3.0, AveragingModel(average_decay_factor=0.3, tol=0.0, max_iters=5),
        arc_flows="per_destination")
    network, stops = lines.network, lines.stop_count
    blocks = np.zeros((stops, network.node_count), np.float32)  # row d: the trips toward d
    blocks[:, :stops] = demand.T
    np.fill_diagonal(blocks, 0)
    arcs = (network.tail, network.head, network.frequency, network.cost)
    costs, flows, _ = vemo_blocks(arcs, blocks, np.arange(stops), (3.0, 0.3, 0.2, 0.0, 5))
    assert same_bits(result.stop_costs, np.ascontiguousarray(costs[:, :stops].T))
    assert same_bits(result.arc_flows, flows)


def test_from_segments_builds_the_arcs_of_the_matrix_form():
    (alignments, frequencies, times, _), (walk_from, walk_to, minutes) = random_lines(4, walks=3)
    last = len(times) - 1  # a walk from the last stop makes both forms count every stop
    walking = ([last, *walk_from], [0, *walk_to], [1.0, *minutes])
    segments = [times[stops[:-1], stops[1:]] for stops in alignments]
    matrix_form = LineNetwork(alignments, frequencies, times, walking=walking)
    segment_form = LineNetwork.from_segments(alignments, frequencies, segments, walking=walking)
    for name in ("tail", "head", "frequency", "cost"):
        assert same_bits(getattr(matrix_form.network, name), getattr(segment_form.network, name))
    assert same_bits(matrix_form.arc_kind, segment_form.arc_kind)


def test_capacity_per_line_reaches_its_boarding_arcs():
    # Two lines side by side from stop 0 to stop 1; only the second is short of room.
    lines = LineNetwork([[0, 1], [0, 1]], [0.1, 0.1], [[0, 10], [0, 0]])
    result = lines.assign_congested([[0, 100], [0, 0]], [1e9, 1e-3],
                                    AveragingModel(tol=0.0, max_iters=3))
    boarding = lines.arc_kind == ArcKind.BOARD
    roomy, crowded = result.effective_frequencies[boarding] / np.float32(0.1)
    assert roomy > 0.9 and crowded < 0.02


# One line 0 -> 1 -> 2 every 2 minutes (10 and 20 minutes); trips toward stop 0 cannot arrive.
THREE_STOPS = (LineNetwork, ([[0, 1, 2]], [0.5], [[0, 10, 0], [0, 0, 20], [0, 0, 0]]), {},
               [[0, 2, 1], [0, 0, 3], [4, 0, 0]])
# A line 0 -> 1 every 10 minutes taking 5, beaten by an 8-minute walk.
WALK = (LineNetwork.from_segments, ([[0, 1]], [0.1], [[5]]), {"walking": ([0], [1], [8])},
        [[0, 10], [0, 0]])
EXPECTED = {
    "three stops": (THREE_STOPS, {
        "stop_costs": [[0, 11, 31], [INF, 0, 21], [INF, INF, 0]],
        "waiting_time": [[0, 1, 1], [NAN, 0, 1], [NAN, NAN, 0]],
        "in_vehicle_time": [[0, 10, 30], [NAN, 0, 20], [NAN, NAN, 0]],
        "walking_time": [[0, 0, 0], [NAN, 0, 0], [NAN, NAN, 0]],
        "boardings": [[0, 1, 1], [NAN, 0, 1], [NAN, NAN, 0]],
        "transfers": [[0, 0, 0], [NAN, 0, 0], [NAN, NAN, 0]],
        "line_loads": [[3, 4]], "total_cost": 116, "unassigned": [4, 0, 0]}),
    "walk": (WALK, {
        "stop_costs": [[0, 8], [INF, 0]], "waiting_time": [[0, 0], [NAN, 0]],
        "in_vehicle_time": [[0, 0], [NAN, 0]], "walking_time": [[0, 8], [NAN, 0]],
        "boardings": [[0, 0], [NAN, 0]], "transfers": [[0, 0], [NAN, 0]],
        "line_loads": [[0]], "total_cost": 80, "unassigned": [0, 0]}),
}


@pytest.mark.parametrize("arc_flows", ["total", "per_destination"])
@pytest.mark.parametrize("case, expected", EXPECTED.values(), ids=EXPECTED.keys())
def test_worked_examples(case, expected, arc_flows):
    build, args, keywords, demand = case
    result = build(*args, **keywords).assign(demand, arc_flows=arc_flows)
    for name, values in expected.items():
        np.testing.assert_array_equal(getattr(result, name), values, err_msg=name)
