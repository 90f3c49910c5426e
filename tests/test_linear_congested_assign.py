"""linear_congested_assign: the contract of the congested loop, seen from Python."""

import math
import os
import random
import subprocess
import sys

import pytest

import vemo
from reference_assignment import f32

INF = math.inf
FLOOR = f32(0.001001001)

# A corridor from stop 0 to stop 1 served by two lines. Line A (arcs 0-2) comes every 10 minutes
# and takes 10; line B (arcs 3-5) every 2 minutes and takes 25. Uncongested, all 100 trips take
# A, four times its capacity of 0.1 × 300; B could carry 150.
CORRIDOR = (
    [0, 2, 3, 0, 4, 5],
    [2, 3, 1, 4, 5, 1],
    [0.1, INF, INF, 0.5, INF, INF],
    [0.0, 10.0, 0.0, 0.0, 25.0, 0.0],
    [100.0, 0.0, 0.0, 0.0, 0.0, 0.0],
    [1],
)
CAPACITY = 300.0


def corridor(**params):
    return vemo.linear_congested_assign(*CORRIDOR, CAPACITY, **params)


def corridor_with_freqs(freqs):
    frm, to, _, costs, demands, dsts = CORRIDOR
    return vemo.linear_assign(frm, to, freqs, costs, demands, dsts)


def random_city(seed, stops=40, lines=12):
    """Arc list of random lines, every line boarded and alighted at each of its stops."""
    rng = random.Random(seed)
    frm, to, freqs, costs = [], [], [], []
    node = stops
    for _ in range(lines):
        line = rng.sample(range(stops), rng.randint(3, 10))
        freq = f32(rng.choice([0.05, 0.1, 0.2, 0.25]))
        for k, stop in enumerate(line):
            frm += [stop, node + k]
            to += [node + k, stop]
            freqs += [freq, INF]
            costs += [0.0, 0.0]
            if k > 0:
                frm.append(node + k - 1), to.append(node + k)
                freqs.append(INF), costs.append(float(rng.randint(2, 15)))
        node += len(line)
    dsts = rng.sample(range(stops), 10)
    demands = [float(rng.randint(0, 30)) if i < stops else 0.0
               for _ in dsts for i in range(node)]
    return frm, to, freqs, costs, demands, dsts


def test_no_iteration_without_a_finite_tolerance():
    expected = vemo.linear_assign(*CORRIDOR)
    assert corridor(tol=INF) == expected
    assert corridor(tol=math.nan) == expected


def test_one_iteration_written_out():
    # Uncongested, line A is saturated (floor) and B carries nothing (its nominal frequency).
    latest = corridor_with_freqs([FLOOR, INF, INF, 0.5, INF, INF])
    uncongested = vemo.linear_assign(*CORRIDOR)
    for alpha in (1.0, 0.5, 0.25):
        node_costs, flows = corridor(average_decay_factor=alpha, max_iters=1)
        assert node_costs == latest[0]
        assert flows == [f32(f32(alpha * new) + f32(f32(1.0 - alpha) * old))
                         for new, old in zip(latest[1], uncongested[1])]
    # One iteration whatever the gap.
    assert corridor(max_iters=1) == corridor(max_iters=1, tol=-INF)


def test_decay_factor_zero_keeps_the_uncongested_flows():
    _, flows = corridor(average_decay_factor=0.0, max_iters=50)
    assert flows == vemo.linear_assign(*CORRIDOR)[1]


def test_beta_zero_floors_every_finite_frequency():
    floored = corridor_with_freqs([FLOOR, INF, INF, FLOOR, INF, INF])
    assert corridor(beta=0.0, average_decay_factor=1.0, max_iters=1) == floored


def test_arcs_without_waiting_keep_the_uncongested_assignment():
    frm, to, freqs, costs, demands, dsts = random_city(11)
    no_waiting = [INF] * len(freqs)
    expected = vemo.linear_assign(frm, to, no_waiting, costs, demands, dsts)
    node_costs, flows = vemo.linear_congested_assign(
        frm, to, no_waiting, costs, demands, dsts, 10.0, tol=-INF, max_iters=30)
    assert node_costs == expected[0]
    assert flows == pytest.approx(expected[1], rel=1e-5, abs=1e-4)


def test_congestion_moves_trips_to_the_slower_line():
    on_b = [corridor(average_decay_factor=0.1, tol=-INF, max_iters=n)[1][3]
            for n in (1, 2, 5, 10, 20)]
    assert on_b == sorted(on_b) and on_b[0] < 10.0 < 80.0 < on_b[-1]
    # The iteration at which the loop stops grows as the tolerance shrinks, so the gap falls.
    runs = [corridor(average_decay_factor=0.1, tol=-INF, max_iters=n) for n in range(1, 40)]
    stops = [runs.index(corridor(average_decay_factor=0.1, tol=tol, max_iters=1000)) + 1
             for tol in (2.0, 1.0, 0.5, 0.3, 0.2)]
    assert stops == sorted(stops) and stops[0] < stops[-1]
    # max_iters = 0 sets no limit: the loop ends on the gap alone.
    assert corridor(average_decay_factor=0.1, tol=0.2, max_iters=0) == runs[stops[-1] - 1]


def test_results_are_identical_for_any_number_of_threads():
    code = (
        "import sys, vemo\n"
        "sys.path.insert(0, %r)\n"
        "from test_linear_congested_assign import random_city\n"
        "from test_mat_linear_assign import random_line_description\n"
        "import random\n"
        "print(repr(vemo.linear_congested_assign(*random_city(5), 20.0, 0.1, max_iters=20)))\n"
        "line = random_line_description(random.Random(5), 30, 10)\n"
        "print(repr(vemo.mat_linear_congested_assign(*line, 5.0, 0.1, max_iters=20)))\n"
        % os.path.dirname(__file__))
    outputs = set()
    for threads in ("1", "2"):
        done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                              env=dict(os.environ, RAYON_NUM_THREADS=threads), timeout=300,
                              check=True)
        outputs.add(done.stdout)
    assert len(outputs) == 1
    assert len(outputs.pop()) > 1000
