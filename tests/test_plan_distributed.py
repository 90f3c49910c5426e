"""The zone assignment over a Dask cluster of two workers equals the one-process assignment
bit for bit: matrices, arc flows, line loads, total cost and unassigned trips."""

import numpy as np
import pytest
from dask.distributed import Client, LocalCluster

from plan_feeds import STOP_IDS, model
from vemo_plan.job.demand import gravity_demand
from vemo_plan.job.distributed import assign_zones_on_cluster
from vemo_plan.job.skims import SKIMS, assign_zones
from vemo_plan.job.walking import Walking
from vemo_plan.job.zones import Zones


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=False,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        yield client


def zone_grid():
    """Twenty zones over the town and one beyond reach."""
    lat, lon = np.meshgrid(np.linspace(46.786, 46.814, 5), np.linspace(-71.245, -71.21, 4))
    ids = [f"z{k}" for k in range(21)]
    return Zones(ids, np.append(lat.ravel(), 47.5), np.append(lon.ravel(), -71.0))


@pytest.mark.parametrize("zones", [None, zone_grid()], ids=["stops", "zones"])
@pytest.mark.parametrize("shard_size", [1, 5, None, 100])
def test_equal_to_one_process(client, zones, shard_size):
    zone_model = model(zones, Walking(connector_metres=600))
    demand = gravity_demand(zone_model)
    demand[0, -1] = 7.0  # trips that cannot arrive, toward the zone beyond reach
    local = assign_zones(zone_model, demand)
    shared = assign_zones_on_cluster(client, zone_model, demand, shard_size=shard_size)
    for name in SKIMS:
        assert getattr(shared, name).tobytes() == getattr(local, name).tobytes(), name
    assert shared.arc_flows.tobytes() == local.arc_flows.tobytes()
    assert [a.tobytes() for a in shared.line_loads] == [a.tobytes() for a in local.line_loads]
    assert (shared.total_cost, shared.unassigned.tobytes()) == \
        (local.total_cost, local.unassigned.tobytes())
    assert local.unassigned.sum() == (0.0 if zones is None else 7.0)


def test_shard_size_is_checked(client):
    with pytest.raises(ValueError, match="^shard_size must be at least 1: got 0$"):
        assign_zones_on_cluster(client, model(), np.zeros((len(STOP_IDS),) * 2), shard_size=0)
