"""Measure vemo_plan on one grid city in this process, whose worker pool has RAYON_NUM_THREADS
threads, and print the figures as one JSON object (plan_run.py starts one such process per
size and thread count).

Inputs are NumPy arrays: int64 node numbers, float64 frequencies and costs, float32 skims, and
the trips of run_one_size.py as a dense (destinations, node_count) float32 array, the forms
vemo_plan reads in place. Times are the best of --repeats rounds, each round running every
timed call once in turn (measure.round_times), so that ratios compare runs under the same load;
the ratios of plan_report.TIMED_RATIOS are also given as the median of the rounds' own ratios
(measure.median_ratio):
- plan_per_destination: Network.assign with arc_flows="per_destination", every node an origin.
- plan_computation: the same assignment in the core alone (plan_calls.computation_call);
  plan_computation_again: the same once more, whose best time differs from the first's only
  by the machine's noise: their ratio shows how finely the other ratios can be read;
  plan_computation_fresh: the same writing its flows into a new array each call, as
  Network.assign does: what first touching new memory costs on this machine.
- list_*: vemo.linear_assign on lists, whole and split as run_one_size.py splits it
  (list_api.py), in rounds of their own (list_rounds).
- plan_total / plan_skims: Network.assign with total flows, the stops as origins, without
  skims and with three (cost, in-vehicle time, boardings).
- plan_zone_skims / peer_zone_skims: total flows and the three skims, the destinations as
  origins, by vemo_plan and by the peer (peer.py), whose skim matrix is square over its zones.
Memory, measured first: the peak resident set while the network is built and plan_skims runs
once, above the resident set before (inputs built, pool started, freed memory handed back to
the system), beside its budget (plan_memory.py). With --check, before the timing: how far the
peer's zone skims and flows are from vemo_plan's (skim_check.py).
"""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402
import vemo  # noqa: E402
import vemo_plan  # noqa: E402

import hand_back  # noqa: E402
import list_api  # noqa: E402
import peer  # noqa: E402
import plan_calls  # noqa: E402
import plan_memory  # noqa: E402
import plan_report  # noqa: E402
import suite  # noqa: E402
from measure import (best_times, build_identity, extra_peak_bytes,  # noqa: E402
                     median_ratio, release_freed_memory, round_times)
from networks import GridCity, side_for_arcs  # noqa: E402
from skim_check import skim_agreement  # noqa: E402


def memory_figures(city, arcs, trips, dsts, skims, threads):
    """Extra peak resident memory of building the network and one call with total flows,
    the stops as origins and the skims; its budget and what the call copies of its inputs."""
    stops = np.arange(city.stop_count)

    def build_and_assign():
        network = vemo_plan.Network(*arcs)
        return network.assign(trips, dsts, skims=skims, origins=stops)

    release_freed_memory()
    extra, result = extra_peak_bytes(build_and_assign, lambda result: 0)
    # The float32 trips and skims are read in place: no copy of them.
    copied = plan_memory.copied_input_bytes(0, 0, len(stops), len(dsts))
    return {"extra_peak_bytes": extra,
            **plan_memory.call_figures(result, city.node_count, city.arc_count, len(skims),
                                       min(threads, len(dsts)), copied)}


def peer_figures(model, network, trips, dsts, skims, check, threads):
    """With `check`, how far the peer's zone skims are from vemo_plan's; and its timed call."""
    figures = {}
    if check:
        ours = network.assign(trips, dsts, skims=skims, origins=dsts)
        flows = model.assign(threads=1)
        figures["peer_check"] = skim_agreement(ours, model.skims(), flows, model.arc_costs())
    call = model.assign_call(threads)
    call()  # fails here, not in the timing, if this version cannot run it
    return figures, call


def list_rounds(repeats):
    """The list API's rounds: fewer, since its ratios are far from 1, and apart from the other
    calls, so that the lists it makes and frees do not come between them."""
    return max(3, repeats // 6)


def measure(args):
    city = GridCity(side_for_arcs(args.arcs))
    arcs = plan_calls.arc_arrays(city)
    dsts_list = city.destinations(args.destinations)
    dsts = np.asarray(dsts_list, np.int64)
    demands = city.demand_blocks(dsts_list)
    trips = plan_calls.dense_trips(demands, len(dsts))
    skims = plan_calls.skims(arcs[2], arcs[3])
    threads = int(os.environ.get("RAYON_NUM_THREADS", "0"))
    figures = {
        "threads": threads,
        "vemo_build": build_identity(vemo),
        "vemo_plan_build": build_identity(vemo_plan._core),
        "city": city.describe(),
        "stops": city.stop_count,
        "nodes": city.node_count,
        "arcs": city.arc_count,
        "destinations": len(dsts),
        "skims": list(skims),
    }
    plan_calls.start_pool()
    vemo.linear_assign([0], [1], [1.0], [1.0], [0.0, 0.0], [1])  # starts vemo's pool
    figures.update(memory_figures(city, arcs, trips, dsts, skims, threads))

    lists = city.arc_list()
    results = vemo.linear_assign(*lists, demands, dsts_list)
    result_count = sum(len(values) for values in results)
    zeros = hand_back.positive_zeros(results)
    del results
    figures["list_result_bytes"] = plan_memory.list_api_bytes(len(dsts), city.node_count,
                                                              city.arc_count, zeros)

    network = vemo_plan.Network(*arcs)
    stops = np.arange(city.stop_count)
    calls = {
        "plan_per_destination_s": lambda: network.assign(trips, dsts,
                                                         arc_flows="per_destination"),
        "plan_computation_s": plan_calls.computation_call(network, dsts, trips),
        "plan_computation_again_s": plan_calls.computation_call(network, dsts, trips),
        "plan_computation_fresh_s": plan_calls.computation_call(network, dsts, trips,
                                                                fresh_flows=True),
        "plan_total_s": lambda: network.assign(trips, dsts, origins=stops),
        "plan_skims_s": lambda: network.assign(trips, dsts, skims=skims, origins=stops),
        "plan_zone_skims_s": lambda: network.assign(trips, dsts, skims=skims, origins=dsts),
    }
    if args.peer and peer.available():
        try:
            model = peer.Peer.from_blocks(*lists, city.stop_count, demands, dsts_list,
                                          skims=skims)
            checked, calls["peer_zone_skims_s"] = peer_figures(model, network, trips, dsts,
                                                               skims, args.check, threads)
            figures.update(checked)
        except Exception as error:  # another version of the peer: say so, measure the rest
            figures["peer_error"] = f"{type(error).__name__}: {error}"

    rounds = round_times(args.repeats, calls)
    times = {name: min(values) for name, values in rounds.items()}
    list_calls = list_api.calls(lists, demands, dsts_list, result_count, zeros, label="list_")
    times.update(best_times(list_rounds(args.repeats), list_calls))
    figures["list_conversion_out_s"], figures["list_computation_s"] = list_api.split(
        times, "list_")
    figures.update(times)
    figures["median_ratios"] = {
        name: median_ratio(rounds, numerator, denominator)
        for name, (numerator, denominator) in plan_report.TIMED_RATIOS.items()
        if numerator in rounds}
    return figures


def main():
    parser = suite.size_arguments(__doc__.split("\n")[0])
    print(json.dumps(measure(parser.parse_args())))


if __name__ == "__main__":
    main()
