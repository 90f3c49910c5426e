"""Measure vemo on one grid city in this process, whose worker pool has RAYON_NUM_THREADS
threads, and print the figures as one JSON object (run.py starts one such process per size and
thread count).

How each figure is obtained (times are the best of --repeats rounds, each round running every
timed call once in turn, so that ratios compare runs under the same load):
- call: `linear_assign` on the city's arc list, demand blocks and destinations, from Python
  lists to Python lists.
- conversion in: the same call with no destinations. It converts every argument and computes
  nothing (beyond the largest node index).
- conversion out: a call whose search is empty and whose results have the length of the real
  call's and as many +0.0 (one shared object, not one apiece), minus the same call on two
  nodes, whose results are those zeros alone. What is left of their computations is setting up
  each destination's node vectors, little beside making a float object for every other result.
- computation: call - conversion in - conversion out.
- single destination: the call for the first destination alone.
- extra peak memory: the peak resident set during the call, above the resident set before it
  (inputs built) and the size of the result lists; beside it the size of the vectors the call
  must hold (its arguments converted, its results before they become lists).
- with --floors: the search, result and argument floors of floors.py, and conversion in with
  NumPy arrays (int64 indices, float64 values) instead of lists, read whole or through their
  iterators.
- with --peer: the peer's assignment of the same trips with as many threads; with --check also
  how far its node costs and flows are from vemo's.
"""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402
import vemo  # noqa: E402

import floors  # noqa: E402
import hand_back  # noqa: E402
import list_api  # noqa: E402
import peer  # noqa: E402
import suite  # noqa: E402
from list_api import FLOAT_BYTES  # noqa: E402
from measure import best_times, build_identity, extra_peak_bytes  # noqa: E402
from networks import GridCity, side_for_arcs  # noqa: E402

# Node costs are compared with the peer's on this many destinations (each is one more search).
CHECKED_DESTINATIONS = 4


def result_bytes(results):
    """Memory held by result lists and their float objects, an object shared by several items
    (every +0.0 is one) counted once."""
    zeros = [value for values in results for value in values if value == 0.0]
    objects = sum(len(values) for values in results) - len(zeros) + len({id(z) for z in zeros})
    return sum(sys.getsizeof(values) for values in results) + FLOAT_BYTES * objects


class ItemsOnly:
    """A sequence that hands out the items of an array but not its buffer, so that vemo reads
    it the way it reads any sequence: through its iterator, one NumPy scalar at a time."""

    def __init__(self, array):
        self._array = array

    def __len__(self):
        return len(self._array)

    def __getitem__(self, index):
        return self._array[index]

    def __iter__(self):
        return iter(self._array)


def numpy_conversion_in_call(frm, to, arc_freqs, costs, demands, wrap=None):
    """Conversion in of the arguments as NumPy arrays (int64 indices, float64 values), each
    passed through `wrap` if given."""
    arrays = [np.asarray(frm, dtype=np.int64), np.asarray(to, dtype=np.int64),
              np.asarray(arc_freqs, dtype=np.float64), np.asarray(costs, dtype=np.float64),
              np.asarray(demands, dtype=np.float64)]
    if wrap:
        arrays = [wrap(array) for array in arrays]
    return lambda: vemo.linear_assign(*arrays, np.zeros(0, np.int64))


def measure(args):
    city = GridCity(side_for_arcs(args.arcs))
    frm, to, arc_freqs, costs = city.arc_list()
    dsts = city.destinations(args.destinations)
    demands = city.demand_blocks(dsts)
    network = (frm, to, arc_freqs, costs)
    figures = {
        "threads": int(os.environ.get("RAYON_NUM_THREADS", "0")),
        "vemo_build": build_identity(vemo),
        "city": city.describe(),
        "stops": city.stop_count,
        "lines": len(city.alignments),
        "nodes": city.node_count,
        "arcs": city.arc_count,
        "destinations": len(dsts),
    }
    vemo.linear_assign([0], [1], [1.0], [1.0], [0.0, 0.0], [1])  # starts the worker pool

    def call():
        return vemo.linear_assign(*network, demands, dsts)

    figures["extra_peak_bytes"], results = extra_peak_bytes(call, result_bytes)
    result_count = sum(len(values) for values in results)
    figures["result_floats"] = result_count
    figures["result_zeros"] = hand_back.positive_zeros(results)
    # What the call itself must hold: its arguments as vectors of 64-bit indices and 32-bit
    # floats, and its results as 32-bit floats.
    figures["vector_bytes"] = (8 * (len(frm) + len(to) + len(dsts))
                               + 4 * (len(arc_freqs) + len(costs) + len(demands) + result_count))
    # The working memory the design allows, with 32-bit arc and node indices: the search graph,
    # shared by the call (per arc: its slot, a 16-byte record and its cost; per node: an
    # offset), and per worker taking part the scratch of one destination (per node: frequency,
    # volume, entry flag; per arc: queue entry, queue position and strategy list entry).
    n, m = city.node_count, city.arc_count
    figures["search_graph_bytes"] = 24 * m + 4 * (n + 1)
    figures["scratch_bytes_per_worker"] = 9 * n + 16 * m
    # Every figure that enters a ratio is timed in the same rounds as the others.
    calls = {
        **list_api.calls(network, demands, dsts, result_count, figures["result_zeros"]),
        "single_destination_call_s": lambda: vemo.linear_assign(
            *network, demands[:city.node_count], dsts[:1]),
    }
    if args.floors:
        arguments = [("Q", frm), ("Q", to), ("f", arc_freqs), ("f", costs), ("f", demands),
                     ("Q", dsts)]
        calls["floor_argument_read_s"] = floors.argument_read_call(arguments)
        calls["floor_result_list_s"] = floors.result_list_call(result_count)
        if floors.search_floor_available():
            calls["floor_search_s"] = floors.search_call(frm, to, costs, city.node_count, dsts)
        calls["numpy_conversion_in_s"] = numpy_conversion_in_call(*network, demands)
        calls["numpy_items_conversion_in_s"] = numpy_conversion_in_call(
            *network, demands, ItemsOnly)
    if args.peer and peer.available():
        try:
            model = peer.Peer.from_blocks(*network, city.stop_count, demands, dsts)
            if args.check:
                figures["peer_check"] = peer.agreement(model, dsts, *results,
                                                       CHECKED_DESTINATIONS)
            peer_assign = model.assign_call(figures["threads"])
            peer_assign()  # fails here, not in the timing, if this version cannot run it
            calls["peer_assign_s"] = peer_assign
        except Exception as error:  # another version of the peer: say so, measure the rest
            figures["peer_error"] = f"{type(error).__name__}: {error}"
    del results

    times = best_times(args.repeats, calls)
    figures["conversion_out_s"], computation = list_api.split(times)
    figures.update(times)
    figures["computation_s"] = computation
    return figures


def main():
    parser = suite.size_arguments(__doc__.split("\n")[0])
    parser.add_argument("--floors", action="store_true", help="also measure the floors")
    print(json.dumps(measure(parser.parse_args())))


if __name__ == "__main__":
    main()
