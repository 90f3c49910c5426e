"""The benchmarks' grid city: its arc list and demand blocks are exactly the line network that
the line-based functions build from its line description, so the benchmarks of
`linear_assign` measure the same network."""

import os
import sys

import pytest

import vemo
from reference_assignment import f32

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(__file__)), "benchmarks"))

from networks import GridCity, side_for_arcs  # noqa: E402


@pytest.mark.parametrize("side", [2, 4])
def test_arc_list_is_the_line_network(side):
    city = GridCity(side)
    matrix, flow_totals, _ = vemo.mat_linear_assign(city.alignments, city.freqs,
                                                    city.travel_time_mat(), city.demands_mat())
    frm, to, arc_freqs, costs = city.arc_list()
    dsts = list(range(1, city.stop_count))
    node_costs, arc_flows = vemo.linear_assign(frm, to, arc_freqs, costs,
                                               city.demand_blocks(dsts), dsts)

    assert len(frm) == city.arc_count == len(flow_totals)
    assert max(max(frm), max(to)) + 1 == city.node_count
    n = city.node_count
    assert matrix == [[node_costs[(j - 1) * n + i] if i < j else 0.0
                       for j in range(city.stop_count)] for i in range(city.stop_count)]
    totals = [0.0] * city.arc_count
    for k in range(len(dsts)):
        for a in range(city.arc_count):
            totals[a] = f32(totals[a] + arc_flows[k * city.arc_count + a])
    assert flow_totals == totals


def test_sizes_and_destinations_are_fixed():
    city = GridCity(side_for_arcs(1000))
    assert city.arc_count >= 1000 > GridCity(city.side - 1).arc_count
    assert city.destinations(5) == GridCity(city.side).destinations(5)
    assert len(set(city.destinations(5))) == 5
    assert all(0 <= d < city.stop_count for d in city.destinations(5))
