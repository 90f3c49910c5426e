"""vemo_plan.Network: vemo's results bit for bit, the demand forms, origins, flow totals, the
congested loop, progress bars, its own copy of the arcs, and thread-count independence."""

import os
import subprocess
import sys
import textwrap
import types

import numpy as np
import pytest

from plan_cases import random_network, same_bits, vemo_blocks
from vemo_plan import AveragingModel, ComputationError, Network

SEEDS = range(10)


@pytest.mark.parametrize("seed", SEEDS)
def test_uncongested_results_are_vemos_bit_for_bit(seed):
    arcs, demand, destinations = random_network(seed)
    result = Network(*arcs).assign(demand, destinations, arc_flows="per_destination")
    costs, flows, loaded = vemo_blocks(arcs, demand, destinations)
    assert same_bits(result.node_costs, costs)
    assert same_bits(result.arc_flows, flows)
    np.testing.assert_allclose(result.unassigned, (demand - loaded).sum(axis=1, dtype=np.float64))
    reached = np.where(loaded > 0, costs, 0).astype(np.float64)
    assert result.total_cost == pytest.approx((reached * loaded).sum(), rel=1e-5)


@pytest.mark.parametrize("seed", SEEDS)
def test_congested_results_are_vemos_bit_for_bit(seed):
    arcs, demand, destinations = random_network(seed)
    result = Network(*arcs).assign_congested(
        demand, destinations, 8.0, AveragingModel(average_decay_factor=0.3, tol=0.0,
                                                      max_iters=6), arc_flows="per_destination")
    costs, flows, _ = vemo_blocks(arcs, demand, destinations, (8.0, 0.3, 0.2, 0.0, 6))
    assert same_bits(result.node_costs, costs)
    assert same_bits(result.arc_flows, flows)
    assert result.iterations == len(result.gaps) <= 6
    finite = np.isfinite(arcs[2])
    assert np.all(result.effective_frequencies[finite] <= arcs[2][finite])
    assert np.all(result.effective_frequencies[~finite] == np.inf)


def test_a_loop_stopped_by_max_iters_has_not_converged():
    arcs, demand, destinations = random_network(0)
    result = Network(*arcs).assign_congested(demand, destinations, 0.5,
                                             AveragingModel(tol=0.0, max_iters=1))
    assert (result.iterations, result.converged) == (1, False)


def test_sparse_demand_adds_repeated_pairs_and_origins_pick_columns():
    arcs, demand, destinations = random_network(3)
    network = Network(*arcs)
    positions, origins = np.nonzero(demand)
    halves = demand[positions, origins] / 2  # every pair given twice, in two halves
    sparse = network.assign((np.tile(origins, 2), np.tile(positions, 2), np.tile(halves, 2)),
                            destinations, skims={"cost": arcs[3]})
    dense = network.assign(demand, destinations, skims={"cost": arcs[3]})
    for name in ("node_costs", "waiting_time", "arc_flows", "unassigned"):
        assert same_bits(getattr(sparse, name), getattr(dense, name)), name
    picked = network.assign(demand, destinations, skims={"cost": arcs[3]}, origins=[4, 0, 4])
    assert same_bits(picked.node_costs, dense.node_costs[:, [4, 0, 4]])
    assert same_bits(picked.skims["cost"], dense.skims["cost"][:, [4, 0, 4]])


def test_origin_layout_and_boardings_are_the_same_results_a_row_per_origin():
    # 70 destinations: the origin-major rows are written in blocks, the last one partial.
    arcs, demand, destinations = random_network(4, destinations=70)
    network = Network(*arcs)
    boarding = np.isfinite(arcs[2])
    layouts = {layout: network.assign(demand, destinations, skims={"cost": arcs[3]},
                                      boarding=boarding, trip_ends=["cost"], layout=layout)
               for layout in ("destination", "origin")}
    by_destination, by_origin = layouts["destination"], layouts["origin"]
    for name in ("node_costs", "waiting_time", "boardings", "transfers", "first_wait",
                 "transfer_wait"):
        assert same_bits(getattr(by_origin, name), getattr(by_destination, name).T.copy()), name
    for group in ("skims", "before_first_boarding", "after_last_boarding"):
        for name, values in getattr(by_destination, group).items():
            assert same_bits(getattr(by_origin, group)[name], values.T.copy()), name
    # The boardings are the skim of 1 per boarding arc.
    counted = network.assign(demand, destinations, skims={"boarded": boarding.astype(float)})
    assert same_bits(by_destination.boardings, counted.skims["boarded"])
    assert network.assign(demand, destinations).transfers is None


def test_total_flows_are_the_per_destination_flows_summed():
    arcs, demand, destinations = random_network(5, destinations=6)
    network = Network(*arcs)
    per_destination = network.assign(demand, destinations, arc_flows="per_destination")
    total = network.assign(demand, destinations)
    np.testing.assert_allclose(total.arc_flows, per_destination.arc_flows.sum(axis=0), rtol=1e-6)
    assert network.assign(demand, destinations, arc_flows="none").arc_flows is None


def test_the_network_keeps_its_own_arcs():
    (tail, head, frequency, cost), demand, destinations = random_network(2)
    tail, head = tail.astype(np.uint64), head.astype(np.uint64)  # the core's own dtypes
    network = Network(tail, head, frequency, cost)
    before = network.assign(demand, destinations).node_costs
    for array in (tail, head, frequency, cost):
        array[:] = 0
    assert same_bits(network.assign(demand, destinations).node_costs, before)
    with pytest.raises(ValueError):
        network.cost[0] = 1.0


class RecordingBar:
    """Stands in for tqdm.tqdm: remembers what the progress callbacks did."""

    made = []

    def __init__(self, total, unit):
        self.total, self.n, self.postfix = total, 0, {}
        RecordingBar.made.append(self)

    def update(self, count):
        self.n += count

    def set_postfix(self, refresh, **values):
        self.postfix = values

    def __enter__(self):
        return self

    def __exit__(self, *failure):
        pass


def test_progress_bars_count_destinations_and_iterations(monkeypatch):
    monkeypatch.setitem(sys.modules, "tqdm", types.SimpleNamespace(tqdm=RecordingBar))
    arcs, demand, destinations = random_network(1)
    network = Network(*arcs)
    network.assign(demand, destinations, progress=True)
    result = network.assign_congested(demand, destinations, 5.0,
                                      AveragingModel(tol=0.0, max_iters=4), progress=True)
    uncongested, congested = RecordingBar.made[-2:]
    assert (uncongested.total, uncongested.n) == (3, 3)
    assert (congested.total, congested.n) == (4, result.iterations)
    assert congested.postfix == {"gap": f"{result.gaps[-1]:.3g}"}


THREADS_SCRIPT = """
    import hashlib, sys
    sys.path.insert(0, {tests!r})
    from plan_cases import random_lines, random_network
    from vemo_plan import AveragingModel, LineNetwork, Network
    arcs, demand, destinations = random_network(7, nodes=40, arcs=150, destinations=12)
    (alignments, frequencies, times, trips), walking = random_lines(7, walks=4)
    lines = LineNetwork(alignments, frequencies, times, walking=walking)
    results = [
        Network(*arcs).assign(demand, destinations, skims={{"cost": arcs[3]}},
                              arc_flows="per_destination"),
        Network(*arcs).assign_congested(demand, destinations, 5.0,
                                        AveragingModel(tol=0.0, max_iters=5)),
        lines.assign(trips),
    ]
    digest = hashlib.sha256()
    for result in results:
        for value in vars(result).values():
            for array in value.values() if isinstance(value, dict) else [value]:
                if hasattr(array, "tobytes"):
                    digest.update(array.tobytes())
    print(digest.hexdigest())
"""


def test_results_are_the_same_for_one_and_two_threads():
    script = textwrap.dedent(THREADS_SCRIPT.format(tests=os.path.dirname(__file__)))
    digests = {subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                              check=True, timeout=120,
                              env=dict(os.environ, RAYON_NUM_THREADS=str(threads))).stdout
               for threads in (1, 2)}
    assert len(digests) == 1 and digests != {""}


# (tail, head, frequency, cost) toward the last node: the search keeps costs below 2^31 / 60000.
WITHIN_RANGE = [([0], [1], [np.inf], [35790.0]), ([1], [0], [1.0], [1.0]),  # unreachable
                ([0], [1], [0.0], [1.0])]  # never boarded
PAST_RANGE = [([0], [1], [np.inf], [35792.0]), ([0], [1], [1e-5], [1.0]),  # a wait of 5e4
              ([0, 1], [1, 2], [np.inf, np.inf], [20000.0, 20000.0]), ([0], [1], [1e30], [5e8])]


def test_costs_past_the_search_range_fail_instead_of_coming_back_infinite():
    for arcs in WITHIN_RANGE:
        network = Network(*arcs)
        network.assign(np.ones((1, network.node_count)), [network.node_count - 1])
    for arcs in PAST_RANGE:
        network = Network(*arcs)
        with pytest.raises(ComputationError, match=r"^a cost toward destination node \d reaches "
                                                   r"35791\.39 \(2\^31 / 60000\) time units"):
            network.assign(np.ones((1, network.node_count)), [network.node_count - 1])
