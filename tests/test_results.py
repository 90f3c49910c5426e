"""The shapes and values of results, and that arguments are copies."""
import copy
import math
import sys

import vemo

INF = float("inf")


def assert_float_list(values):
    assert type(values) is list
    assert all(type(value) is float for value in values)


def test_linear_assign_returns_a_pair_of_float_lists(worked_example):
    args, expected = worked_example
    result = vemo.linear_assign(*args)
    assert type(result) is tuple
    assert result == expected
    for values in result:
        assert_float_list(values)


def test_results_are_32_bit_values_widened_exactly():
    node_costs, arc_flows = vemo.linear_assign([0], [1], [INF], [1.0], [0.1, 0.0], [1])
    assert arc_flows == [0.10000000149011612]


def test_zeros_share_one_object_and_negative_zero_keeps_its_sign():
    # Arc 1 -> 2 costs 0.00001, whose queue priority is 0: node 1 ends at -0.0.
    node_costs, arc_flows = vemo.linear_assign([0, 1], [2, 2], [INF, INF], [5.0, 0.00001],
                                               [0.0, 0.0, 0.0], [2])
    assert node_costs == [5.0, 0.0, 0.0] and arc_flows == [0.0, 0.0]
    assert math.copysign(1.0, node_costs[1]) == -1.0
    assert math.copysign(1.0, node_costs[2]) == 1.0
    assert node_costs[2] is arc_flows[0] is arc_flows[1]
    assert node_costs[1] is not node_costs[2]
    zero = arc_flows[0]
    # Held once by each of the three items that show it, by `zero` and by the argument.
    assert sys.getrefcount(zero) == 3 + 2

    matrix, totals, total_cost = vemo.mat_linear_assign(
        [[0, 1]], [0.5], [[0, 10], [0, 0]], [[0, 0], [0, 0]])
    assert matrix[0][0] is matrix[1][1] is totals[0] is total_cost


def test_an_empty_destination_list_gives_empty_results():
    assert vemo.linear_assign([0], [1], [1.0], [1.0], [], []) == ([], [])


def test_arguments_are_left_as_they_were(worked_example):
    args, expected = worked_example
    before = copy.deepcopy(args)
    assert vemo.linear_assign(*args) == expected
    assert args == before


def test_line_based_results_are_a_matrix_totals_and_a_float():
    matrix, totals, total_cost = vemo.mat_linear_assign(
        [[0, 1, 2]], [0.5], [[0, 10, 0], [0, 0, 20], [0, 0, 0]], [[0, 2, 1], [0, 0, 3], [0, 0, 0]]
    )
    assert matrix == [[0.0, 11.0, 31.0], [0.0, 0.0, 21.0], [0.0, 0.0, 0.0]]
    for row in matrix:
        assert_float_list(row)
    assert totals == [3.0, 3.0, 3.0, 2.0, 4.0, 4.0]
    assert_float_list(totals)
    assert type(total_cost) is float and total_cost == 116.0


def test_congested_defaults_are_the_documented_values(worked_example):
    args, _ = worked_example
    defaults = vemo.linear_congested_assign(*args, 20.0)
    assert defaults == vemo.linear_congested_assign(*args, 20.0, 0.01, 0.2, 0.001, 1000)
    assert defaults == vemo.linear_congested_assign(
        *args, capacity=20.0, max_iters=1000, tol=0.001, beta=0.2, average_decay_factor=0.01
    )
    for values in defaults:
        assert_float_list(values)

    line = ([[0, 1]], [0.5], [[0, 10], [0, 0]], [[0, 4], [0, 0]])
    mat_defaults = vemo.mat_linear_congested_assign(*line, 2.0)
    assert mat_defaults == vemo.mat_linear_congested_assign(*line, 2.0, 0.01, 0.2, 0.001, 1000)
    assert type(mat_defaults) is tuple and len(mat_defaults) == 3

