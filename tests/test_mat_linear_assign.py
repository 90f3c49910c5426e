"""The line-based functions: worked examples, agreement with a plain model of the line network,
failures, and inputs left untouched."""

import copy
import math
import random

import pytest

import vemo
from reference_assignment import f32

INF = math.inf
MAT_FUNCTIONS = [
    pytest.param(vemo.mat_linear_assign, id="uncongested"),
    # No iteration: the congested pipeline must give the uncongested result.
    pytest.param(lambda *line: vemo.mat_linear_congested_assign(*line, 1.0, tol=INF),
                 id="congested"),
]

TWO_STOPS = ([[0, 1]], [0.5], [[0, 10], [0, 0]], [[0, 4], [0, 0]])
THREE_STOPS = (
    [[0, 1, 2]],
    [0.5],
    [[0, 10, 0], [0, 0, 20], [0, 0, 0]],
    [[0, 2, 1], [0, 0, 3], [0, 0, 0]],
)


def line_network(alignments, freqs, travel_time_mat, demands_mat):
    """Arc list and demand vector of a line description, built the plain way."""
    stops = len(travel_time_mat)
    frm, to, arc_freqs, costs = [], [], [], []

    def arc(tail, head, freq, cost):
        frm.append(tail), to.append(head), arc_freqs.append(freq), costs.append(cost)

    node = stops
    for line, line_stops in enumerate(alignments):
        for k, stop in enumerate(line_stops):
            if k > 0:
                arc(node + k - 1, node + k, INF, travel_time_mat[line_stops[k - 1]][stop])
            if k < len(line_stops) - 1:
                arc(stop, node + k, freqs[line], 0.0)
            if k > 0:
                arc(node + k, stop, INF, 0.0)
        node += len(line_stops)
    demands = []
    for d in range(1, stops):
        block = [0.0] * node
        for r in range(stops):
            if r != d:
                block[r] = demands_mat[r][d]
                block[d] = f32(block[d] - demands_mat[r][d])
        demands += block
    return frm, to, arc_freqs, costs, demands


def model_mat_assign(alignments, freqs, travel_time_mat, demands_mat):
    stops = len(travel_time_mat)
    frm, to, arc_freqs, costs, demands = line_network(alignments, freqs, travel_time_mat,
                                                      demands_mat)
    node_costs, arc_flows = vemo.linear_assign(frm, to, arc_freqs, costs, demands,
                                               list(range(1, stops)))
    nodes = len(demands) // (stops - 1)
    matrix = [[node_costs[(j - 1) * nodes + i] if i < j else 0.0 for j in range(stops)]
              for i in range(stops)]
    totals = [0.0] * len(frm)
    for k, flow in enumerate(arc_flows):
        totals[k % len(frm)] = f32(totals[k % len(frm)] + flow)
    total_cost = 0.0
    for cost, demand in zip(node_costs, demands):
        if math.isfinite(cost):
            total_cost = f32(total_cost + f32(cost * demand))
    return matrix, totals, total_cost


def random_line_description(rng, stops, lines):
    alignments = [rng.sample(range(stops), rng.randint(2, min(stops, 6))) for _ in range(lines)]
    freqs = [f32(rng.choice([0.05, 0.1, 0.125, 0.2, 0.5])) for _ in range(lines)]
    times = [[float(rng.randint(1, 20)) for _ in range(stops)] for _ in range(stops)]
    demands = [[float(rng.choice([0, 0, 1, 2, 5, 10])) for _ in range(stops)]
               for _ in range(stops)]
    return alignments, freqs, times, demands


@pytest.mark.parametrize("mat_assign", MAT_FUNCTIONS)
def test_worked_examples(mat_assign):
    assert mat_assign(*TWO_STOPS) == ([[0.0, 11.0], [0.0, 0.0]], [4.0, 4.0, 4.0], 44.0)
    assert mat_assign(*THREE_STOPS) == (
        [[0.0, 11.0, 31.0], [0.0, 0.0, 21.0], [0.0, 0.0, 0.0]],
        [3.0, 3.0, 3.0, 2.0, 4.0, 4.0],
        116.0,
    )


@pytest.mark.parametrize("seed", range(8))
def test_agrees_with_the_plain_line_network_model(seed):
    rng = random.Random(seed)
    line = random_line_description(rng, stops=rng.randint(2, 12), lines=rng.randint(1, 5))
    assert vemo.mat_linear_assign(*line) == model_mat_assign(*line), f"seed {seed}"


def test_demand_towards_stop_zero_changes_nothing():
    alignments, freqs, times, demands = random_line_description(random.Random(7), 8, 3)
    towards_zero = [[99.0] + row[1:] for row in demands]
    assert vemo.mat_linear_assign(alignments, freqs, times, towards_zero) == \
        vemo.mat_linear_assign(alignments, freqs, times, demands)


def test_unreachable_pairs_cost_infinity_and_add_nothing():
    # Lines 0 -> 1 and 2 -> 1: nothing reaches stop 2.
    matrix, _, total_cost = vemo.mat_linear_assign(
        [[0, 1], [2, 1]], [0.5, 0.5], [[0, 10, 0], [0, 0, 0], [0, 5, 0]],
        [[0, 4, 6], [0, 0, 0], [0, 0, 0]])
    assert matrix == [[0.0, 11.0, INF], [0.0, 0.0, INF], [0.0, 0.0, 0.0]]
    assert total_cost == 44.0


FAILURES = [
    (([[0, 1], [2]], [1, 1], THREE_STOPS[2], THREE_STOPS[3]),
     "line 1 has 1 stop; a line needs at least two"),
    (([[]], [1], THREE_STOPS[2], THREE_STOPS[3]), "line 0 has 0 stops; a line needs at least two"),
    (([[0, 1], [1, 2]], [1], THREE_STOPS[2], THREE_STOPS[3]),
     "line 1 has no frequency: freqs has 1 entries"),
    (([[0, 3]], [1], THREE_STOPS[2], THREE_STOPS[3]),
     "stop 3 at position 1 of line 0 is not below the stop count 3 (the rows of travel_time_mat)"),
    (([[1, 2]], [1], [[0, 1, 2], [0, 0], [0, 0, 0]], THREE_STOPS[3]),
     "travel_time_mat row 1 has 2 entries, so it has no travel time to stop 2"),
    (([[0, 1]], [1], THREE_STOPS[2], [[0, 1, 2]]),
     "demands_mat has 1 rows, fewer than the 3 stops"),
    (([[0, 0]], [1], [[1]], [[0]]), "attempt to divide by zero"),
    (([], [], THREE_STOPS[2], THREE_STOPS[3]),
     "a required value was absent: the arc list `from` is empty"),
]


@pytest.mark.parametrize("mat_assign", MAT_FUNCTIONS)
@pytest.mark.parametrize("line, message", FAILURES)
def test_failures(mat_assign, line, message, panic_exception_type):
    with pytest.raises(panic_exception_type) as caught:
        mat_assign(*line)
    assert caught.value.args == (message,)


@pytest.mark.parametrize("mat_assign", [
    vemo.mat_linear_assign,
    lambda *line: vemo.mat_linear_congested_assign(*line, 0.5, max_iters=3),
])
def test_inputs_are_left_as_they_were(mat_assign):
    line = random_line_description(random.Random(3), 7, 3)
    before = copy.deepcopy(line)
    mat_assign(*line)
    assert line == before
