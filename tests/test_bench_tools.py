"""The benchmarks' own tools: the measuring process, the peak memory of a call, the comparison
with the peer and the search floor's graph. No timing is asserted."""

import math
import os
import sys

import numpy as np
import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(__file__)), "benchmarks"))

import floors  # noqa: E402
import peer  # noqa: E402
from measure import extra_peak_bytes, in_fresh_process  # noqa: E402

MIB = 1024 * 1024


def test_one_size_runs_in_a_process_with_its_pool_size():
    run = in_fresh_process("run_one_size.py", ["--arcs", "100", "--destinations", "3",
                                               "--repeats", "1", "--floors"], 2)
    assert run["threads"] == 2
    assert run["arcs"] >= 100 and run["destinations"] == 3
    assert run["result_floats"] == 3 * (run["nodes"] + run["arcs"])
    assert run["computation_s"] == pytest.approx(
        run["call_s"] - run["conversion_in_s"] - run["conversion_out_s"])
    assert "peer_assign_s" not in run and "peer_check" not in run


def test_conversion_out_stands_in_for_results_of_the_same_length_and_zeros():
    import hand_back
    import run_one_size

    calls = hand_back.calls(3 * 50, 3 * 30, 3)
    results = calls["out_with_results"]()
    assert sum(len(values) for values in results) == 150
    assert hand_back.positive_zeros(results) == 90
    # The second call hands back the same zeros and nothing else but one +inf a destination.
    costs, flows = calls["out_without"]()
    assert costs == [0.0, math.inf] * 3 and flows == [0.0] * (3 * 29)
    # The shared +0.0 is one object; each other float is one of its own.
    lists = sum(sys.getsizeof(values) for values in results)
    assert run_one_size.result_bytes(results) == lists + run_one_size.FLOAT_BYTES * (60 + 1)


def test_extra_peak_counts_working_memory_and_not_results():
    def call():
        scratch = bytearray(64 * MIB)
        scratch[::4096] = b"x" * len(range(0, len(scratch), 4096))  # resident, not just mapped
        del scratch
        return bytearray(16 * MIB)

    extra, result = extra_peak_bytes(call, lambda result: 0)
    assert 56 * MIB <= extra < 96 * MIB
    extra, result = extra_peak_bytes(lambda: b"y" * (32 * MIB), len)
    assert abs(extra) < 8 * MIB


def costs_of(*blocks):
    return [np.array(block, dtype=np.float64) for block in blocks]


@pytest.mark.parametrize("ours, theirs, agree", [
    # vemo's truncated priorities keep its costs a little lower, by up to 1/60000 an arc.
    ([0.0, 10.0, 99.999], [0.0, 10.00001, 100.0], True),
    ([0.0, 10.0, 99.99], [0.0, 10.0, 100.0], False),
    ([0.0, 10.0], [0.0, 10.01], False),
    ([0.0, math.inf], [0.0, math.inf], True),
    ([0.0, math.inf], [0.0, 5.0], False),
    ([0.0, 5.0], [0.0, math.inf], False),
])
def test_cost_agreement(ours, theirs, agree):
    assert peer.cost_agreement([tuple(costs_of(ours, theirs))])["costs_agree"] == agree


def test_flow_agreement_allows_a_few_arcs_split_differently():
    theirs = np.full(1000, 100.0)
    arc_costs = np.full(1000, 2.0)
    assert peer.flow_agreement(theirs * (1 + 1e-6), theirs, arc_costs)["flows_agree"]
    near_tie = theirs.copy()
    near_tie[:3] += [5.0, -5.0, 0.0]  # three arcs of a tie, the trips split the other way
    assert peer.flow_agreement(near_tie, theirs, arc_costs)["flows_agree"]
    assert not peer.flow_agreement(theirs * 1.01, theirs, arc_costs)["flows_agree"]


@pytest.mark.skipif(not floors.search_floor_available(), reason="SciPy is not installed")
def test_search_floor_graph_keeps_zero_costs_and_parallel_arcs():
    # Arcs 0 -> 1 at zero cost, 1 -> 2 twice (5 and 3), 0 -> 2 at 9: node 0 is 3 from node 2.
    frm, to, costs = [0, 1, 1, 0], [1, 2, 2, 2], [0.0, 5.0, 3.0, 9.0]
    graph = floors.reversed_graph(frm, to, costs, 3)
    assert list(floors.dijkstra(graph, directed=True, indices=2)) == [3.0, 3.0, 0.0]
