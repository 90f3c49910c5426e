"""linear_assign: results, against a plain model, and across threads."""

import math
import os
import random
import struct
import subprocess
import sys
import threading
import time

import pytest

import vemo
from reference_assignment import f32
from reference_assignment import linear_assign as model_assign

INF = math.inf
WORKED = ([0, 0, 1], [2, 1, 2], [0.125, 0.5, INF], [12, 5, 10])


class Rand(random.Random):
    """A seeded generator whose repr names its seed, so a failing case can be replayed."""

    def __init__(self, seed):
        super().__init__(seed)
        self.seed_value = seed

    def __repr__(self):
        return f"Rand({self.seed_value})"


def random_case(rng, nodes=None, arcs=None, destinations=3):
    nodes = nodes or rng.randint(2, 25)
    arcs = arcs or rng.randint(1, 4 * nodes)
    frm = [rng.randrange(nodes) for _ in range(arcs)]
    to = [rng.randrange(nodes) for _ in range(arcs)]
    to[-1] = nodes - 1
    freqs = [INF if rng.random() < 0.25 else f32(rng.choice([0.05, 0.1, 0.2, 0.5, 1.0, 2.0]))
             for _ in range(arcs)]
    # Small integer costs make ties common; a few zero costs exercise the settled-node rule.
    costs = [float(rng.choice([0, 1, 1, 2, 3, 5, 8])) for _ in range(arcs)]
    dsts = [rng.randrange(nodes) for _ in range(destinations)]
    demands = [float(rng.randrange(0, 40)) for _ in range(destinations * nodes)]
    return frm, to, freqs, costs, demands, dsts


def test_worked_example():
    assert vemo.linear_assign(*WORKED, [60, 0, 0], [2]) == (
        [15.199999809265137, 10.0, 0.0], [12.0, 48.0, 48.0])


def test_edge_cases_of_the_driver():
    # No destinations: two empty lists, once node_count is known.
    assert vemo.linear_assign(*WORKED, [], []) == ([], [])
    # Duplicate destinations are independent blocks; extra demands are ignored.
    costs, flows = vemo.linear_assign(*WORKED, [60, 0, 0, 30, 0, 0, 99], [2, 2])
    assert flows == [12.0, 48.0, 48.0, 6.0, 24.0, 24.0]
    assert costs[:3] == costs[3:]
    # Node 3 exists only through `to` beyond the arcs: isolated, cost inf, its demand unloaded.
    costs, flows = vemo.linear_assign([0], [1, 3], [1.0], [2.0], [0, 0, 0, 5], [1])
    assert costs == [2.5, 0.0, INF, INF]
    assert flows == [0.0]


@pytest.mark.parametrize("seed", range(60))
def test_agrees_with_the_plain_model_bit_for_bit(seed):
    rng = Rand(seed)
    case = random_case(rng)
    expected = model_assign(*case)
    assert vemo.linear_assign(*case) == expected, rng


def test_many_equal_priorities_agree_with_the_plain_model():
    # Every arc costs 1 and every frequency is 1: the order of pops is all tie-breaking.
    rng = Rand(1234)
    nodes = 40
    frm = [rng.randrange(nodes) for _ in range(300)]
    to = [rng.randrange(nodes) for _ in range(299)] + [nodes - 1]
    case = (frm, to, [1.0] * 300, [1.0] * 300, [1.0] * (2 * nodes), [0, nodes - 1])
    assert vemo.linear_assign(*case) == model_assign(*case)


def bits(values):
    return [struct.pack("<f", value) for value in values]


@pytest.mark.parametrize("seed", range(20))
def test_non_finite_and_huge_costs_agree_with_the_plain_model_bit_for_bit(seed):
    # NaN and -inf costs queue an arc with priority 0 before its head is reached; +inf and
    # costs past the priority range queue it last.
    rng = Rand(seed)
    frm, to, freqs, costs, demands, dsts = random_case(rng)
    for a in rng.sample(range(len(costs)), k=min(len(costs), 4)):
        costs[a] = rng.choice([math.nan, -INF, INF, 40000.0, -40000.0])
    case = (frm, to, freqs, costs, demands, dsts)
    expected = model_assign(*case)
    got = vemo.linear_assign(*case)
    assert [bits(part) for part in got] == [bits(part) for part in expected], rng


def run_in_subprocess(threads, code):
    env = dict(os.environ, RAYON_NUM_THREADS=str(threads))
    done = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True,
                          timeout=120, check=True)
    return done.stdout


def test_results_are_identical_for_any_number_of_threads():
    code = (
        "import random, vemo, sys\n"
        "sys.path.insert(0, %r)\n"
        "from test_linear_assign import random_case\n"
        "case = random_case(random.Random(99), nodes=300, arcs=1500, destinations=40)\n"
        "print(repr(vemo.linear_assign(*case)))\n" % os.path.dirname(__file__))
    outputs = {threads: run_in_subprocess(threads, code) for threads in (1, 2, 4)}
    assert outputs[1] == outputs[2] == outputs[4]
    assert len(outputs[1]) > 1000


def test_repeated_and_concurrent_calls_agree():
    case = random_case(random.Random(5), nodes=200, arcs=1000, destinations=30)
    expected = vemo.linear_assign(*case)
    assert vemo.linear_assign(*case) == expected
    results = [None] * 6

    def call(slot):
        for _ in range(3):
            results[slot] = vemo.linear_assign(*case)

    threads = [threading.Thread(target=call, args=(slot,)) for slot in range(len(results))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all(result == expected for result in results)


def test_other_python_threads_run_during_a_long_call():
    case = random_case(random.Random(8), nodes=3000, arcs=12000, destinations=400)
    ticks = 0
    stop = threading.Event()

    def ticker():
        nonlocal ticks
        while not stop.is_set():
            ticks += 1
            time.sleep(0.001)

    thread = threading.Thread(target=ticker)
    start = time.perf_counter()
    thread.start()
    try:
        vemo.linear_assign(*case)
    finally:
        elapsed = time.perf_counter() - start
        stop.set()
        thread.join()
    # With the lock held for the whole call the ticker would barely have run.
    assert elapsed > 0.05, "the call was too short to tell"
    assert ticks >= 10
