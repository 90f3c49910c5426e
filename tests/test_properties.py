"""Properties of the assignment on random valid networks: flow conservation, node costs against
the cheapest paths, independence from the thread count, destinations computed apart, and the
congested loop without iterations."""
import heapq
import json
import math
import os
import random
import subprocess
import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vemo
from test_mat_linear_assign import random_line_description

INF = math.inf
EXAMPLES = 200
# Multiples of 0.5: every sum along a path of these networks is exact in float32 and on the
# search's 1/60000 grid, so cheapest paths come out exactly.
GRID_COSTS = [0.0, 0.5, 1.0, 2.0, 3.0, 5.0, 7.5, 12.0, 20.0]
FREQS = [0.05, 0.1, 0.125, 0.2, 0.5, 1.0, 2.0, INF]


@st.composite
def networks(draw, freqs=st.sampled_from(FREQS), costs=st.sampled_from(GRID_COSTS)):
    """(from, to, arc_freqs, costs, demands, dsts) with positive frequencies."""
    nodes = draw(st.integers(2, 12))
    arcs = draw(st.integers(1, 40))
    node = st.integers(0, nodes - 1)
    frm = draw(st.lists(node, min_size=arcs, max_size=arcs))
    to = draw(st.lists(node, min_size=arcs, max_size=arcs))
    arc_costs = draw(st.lists(costs, min_size=arcs, max_size=arcs))
    arc_freqs = draw(st.lists(freqs, min_size=arcs, max_size=arcs))
    node_count = max(frm + to) + 1
    dsts = draw(st.lists(st.integers(0, node_count - 1), max_size=4))
    demand = st.sampled_from([0.0, 1.0, 2.0, 5.0, 10.0, 60.0])
    demands = draw(st.lists(demand, min_size=len(dsts) * node_count,
                            max_size=len(dsts) * node_count))
    return frm, to, arc_freqs, arc_costs, demands, dsts


def blocks(values, size):
    return [values[k:k + size] for k in range(0, len(values), size)]


def cheapest_costs(frm, to, costs, destination, node_count):
    """Cheapest path cost from every node to `destination`, waiting left out (Dijkstra)."""
    incoming = [[] for _ in range(node_count)]
    for tail, head, cost in zip(frm, to, costs):
        incoming[head].append((tail, cost))
    best = [INF] * node_count
    best[destination] = 0.0
    queue = [(0.0, destination)]
    while queue:
        cost, node = heapq.heappop(queue)
        if cost > best[node]:
            continue
        for tail, arc_cost in incoming[node]:
            if cost + arc_cost < best[tail]:
                best[tail] = cost + arc_cost
                heapq.heappush(queue, (best[tail], tail))
    return best


@settings(max_examples=EXAMPLES)
@given(networks())
def test_flow_is_conserved_at_every_node_that_reaches_the_destination(network):
    frm, to, _, _, demands, dsts = network
    node_costs, arc_flows = vemo.linear_assign(*network)
    nodes = max(frm + to) + 1
    for d, costs, flows, demand in zip(dsts, blocks(node_costs, nodes),
                                       blocks(arc_flows, len(frm)), blocks(demands, nodes)):
        inflow, outflow = [0.0] * nodes, [0.0] * nodes
        for tail, head, flow in zip(frm, to, flows):
            outflow[tail] += flow
            inflow[head] += flow
        reached = [i for i in range(nodes) if math.isfinite(costs[i]) and i != d]
        for i in reached:
            assert outflow[i] == pytest.approx(demand[i] + inflow[i], rel=1e-5, abs=1e-4), i
        # Everything that sets out from a node that reaches d arrives, and nothing else does.
        assert outflow[d] == 0.0
        assert inflow[d] == pytest.approx(sum(demand[i] for i in reached), rel=1e-5)


@settings(max_examples=EXAMPLES)
@given(networks())
def test_node_costs_are_never_below_the_cheapest_path(network):
    frm, to, _, arc_costs, _, dsts = network
    node_costs, _ = vemo.linear_assign(*network)
    nodes = max(frm + to) + 1
    for d, costs in zip(dsts, blocks(node_costs, nodes)):
        cheapest = cheapest_costs(frm, to, arc_costs, d, nodes)
        for cost, bound in zip(costs, cheapest):
            assert math.isinf(cost) == math.isinf(bound)
            assert math.isinf(cost) or cost >= bound


@settings(max_examples=EXAMPLES)
@given(networks(freqs=st.just(INF)))
def test_without_waiting_node_costs_are_the_cheapest_paths(network):
    frm, to, _, arc_costs, _, dsts = network
    node_costs, _ = vemo.linear_assign(*network)
    nodes = max(frm + to) + 1
    for d, costs in zip(dsts, blocks(node_costs, nodes)):
        assert costs == cheapest_costs(frm, to, arc_costs, d, nodes)


@settings(max_examples=EXAMPLES)
@given(networks(freqs=st.just(INF), costs=st.floats(0.0, 50.0, width=32)))
def test_without_waiting_off_grid_costs_are_cheapest_up_to_the_queue_grid(network):
    frm, to, _, arc_costs, _, dsts = network
    node_costs, _ = vemo.linear_assign(*network)
    nodes = max(frm + to) + 1
    for d, costs in zip(dsts, blocks(node_costs, nodes)):
        for cost, cheapest in zip(costs, cheapest_costs(frm, to, arc_costs, d, nodes)):
            # The queue truncates every candidate to the 1/60000 grid and rounds it to float32,
            # once per arc of the path; a path has fewer arcs than the network has nodes.
            assert cost == pytest.approx(cheapest, rel=1e-6, abs=nodes * 2.0**-14)


@settings(max_examples=EXAMPLES)
@given(networks(), st.data())
def test_a_split_of_the_destinations_gives_the_same_blocks(network, data):
    frm, to, arc_freqs, costs, demands, dsts = network
    nodes = max(frm + to) + 1
    split = data.draw(st.integers(0, len(dsts)))
    first = vemo.linear_assign(frm, to, arc_freqs, costs, demands[:split * nodes], dsts[:split])
    rest = vemo.linear_assign(frm, to, arc_freqs, costs, demands[split * nodes:], dsts[split:])
    whole = vemo.linear_assign(*network)
    assert repr(whole) == repr((first[0] + rest[0], first[1] + rest[1]))


@settings(max_examples=EXAMPLES)
@given(networks(), st.sampled_from([0.5, 5.0, 50.0]), st.integers(0, 5))
def test_the_congested_loop_without_tolerance_is_the_uncongested_assignment(
        network, capacity, max_iters):
    congested = vemo.linear_congested_assign(*network, capacity, tol=INF, max_iters=max_iters)
    assert repr(congested) == repr(vemo.linear_assign(*network))


# Each worker is a separate interpreter whose pool has a fixed number of threads; it reads one
# call per line (JSON) and answers with the repr of the result or of the failure.
WORKER = """
import json, sys, vemo
for line in sys.stdin:
    name, args, kwargs = json.loads(line)
    try:
        outcome = repr(getattr(vemo, name)(*args, **kwargs))
    except BaseException as error:
        outcome = type(error).__name__ + repr(error.args)
    print(outcome, flush=True)
"""


@pytest.fixture(scope="module")
def workers():
    started = {}
    for threads in (1, 2, 3):
        started[threads] = subprocess.Popen(
            [sys.executable, "-c", WORKER], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, text=True,
            env=dict(os.environ, RAYON_NUM_THREADS=str(threads)))
    yield started
    for worker in started.values():
        worker.stdin.close()
        worker.wait(timeout=60)


def outcomes(workers, name, *args, **kwargs):
    line = json.dumps([name, args, kwargs]) + "\n"
    for worker in workers.values():
        worker.stdin.write(line)
        worker.stdin.flush()
    return {threads: worker.stdout.readline() for threads, worker in workers.items()}


@settings(max_examples=EXAMPLES // 2)
@given(networks(), st.integers(0, 2**32), st.integers(1, 8))
def test_results_are_identical_for_one_two_and_three_threads(workers, network, seed, iterations):
    rng = random.Random(seed)
    line = random_line_description(rng, stops=rng.randint(2, 9), lines=3)
    calls = [
        ("linear_assign", *network),
        ("linear_congested_assign", *network, 5.0, 0.5, 0.2, 0.0, iterations),
        ("mat_linear_assign", *line),
        ("mat_linear_congested_assign", *line, 2.0, 0.5, 0.2, 0.0, iterations),
    ]
    for call in calls:
        answers = outcomes(workers, *call)
        assert answers[1] and answers[1] == answers[2] == answers[3], call[0]


def test_a_zero_cost_loop_loses_no_trips():
    # 60 trips from node 0 to node 1; arc 1 leads from node 0 back to node 0 at no cost.
    for loop_freq in (0.5, INF):
        _, flows = vemo.linear_assign([0, 0], [1, 0], [0.5, loop_freq], [5.0, 0.0], [60.0, 0.0],
                                      [1])
        assert flows[0] == 60.0
