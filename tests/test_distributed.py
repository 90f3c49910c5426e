"""examples/distributed_assign.py on a LocalCluster of two worker processes: the gathered
blocks must be bit for bit those of one linear_assign call."""

import random
import struct
import sys
from pathlib import Path

import pytest

pytest.importorskip("dask.distributed")
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))

from dask.distributed import Client, LocalCluster  # noqa: E402

import vemo  # noqa: E402
from distributed_assign import distributed_linear_assign  # noqa: E402


def bits(values):
    return struct.pack(f"{len(values)}f", *values)


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        yield client


def random_network(seed, nodes=30, arcs=120, destinations=23):
    rng = random.Random(seed)
    frm = [rng.randrange(nodes) for _ in range(arcs)]
    to = [rng.randrange(nodes) for _ in range(arcs)]
    freqs = [rng.choice([float("inf"), rng.uniform(0.05, 1.0)]) for _ in range(arcs)]
    costs = [rng.uniform(0.5, 20.0) for _ in range(arcs)]
    node_count = max(frm + to) + 1
    # Repeated destinations are independent blocks with their own demand.
    dsts = [rng.randrange(node_count) for _ in range(destinations)]
    demands = [rng.choice([0.0, rng.uniform(0.0, 50.0)]) for _ in range(destinations * node_count)]
    return frm, to, freqs, costs, demands, dsts


@pytest.mark.parametrize("shard_size", [1, 5, 23, 100])
def test_sharded_result_is_bit_for_bit_the_single_call(client, shard_size):
    args = random_network(seed=shard_size)
    expected_costs, expected_flows = vemo.linear_assign(*args)
    node_costs, arc_flows = distributed_linear_assign(client, *args, shard_size=shard_size)
    assert bits(node_costs) == bits(expected_costs)
    assert bits(arc_flows) == bits(expected_flows)


def test_numpy_arrays_are_sharded_alike(client):
    np = pytest.importorskip("numpy")
    args = random_network(seed=9)
    expected_costs, expected_flows = vemo.linear_assign(*args)
    arrays = [np.asarray(values, dtype=np.float32 if isinstance(values[0], float) else np.int64)
              for values in args]
    node_costs, arc_flows = distributed_linear_assign(client, *arrays, shard_size=4)
    assert bits(node_costs) == bits(expected_costs)
    assert bits(arc_flows) == bits(expected_flows)


def test_no_destinations(client):
    frm, to, freqs, costs, demands, _ = random_network(seed=1)
    assert distributed_linear_assign(client, frm, to, freqs, costs, demands, [], 4) == ([], [])


def test_a_failing_shard_is_reported_and_the_workers_stay_up(client):
    frm, to, freqs, costs, demands, dsts = random_network(seed=2)
    short = demands[:-1]  # the last destination's demand block lacks an entry
    with pytest.raises(RuntimeError, match="^linear_assign failed on a shard: .*out of range"):
        distributed_linear_assign(client, frm, to, freqs, costs, short, dsts, 5)
    assert len(client.scheduler_info()["workers"]) == 2
    assert distributed_linear_assign(client, frm, to, freqs, costs, demands, dsts[:3], 2) == \
        vemo.linear_assign(frm, to, freqs, costs, demands, dsts[:3])
