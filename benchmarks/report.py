"""The ratios of one size from its per-thread-count runs, and the printed tables."""

import os
import platform
from importlib import metadata

MIB = 1024 * 1024


def ratio(numerator, denominator):
    if numerator is None or denominator is None or denominator <= 0:
        return None
    return numerator / denominator


def summarize(one, many):
    """The table row of one size from its run with one thread and its run with all threads."""
    k = one["destinations"]
    return {
        "arcs": one["arcs"],
        "nodes": one["nodes"],
        "destinations": k,
        "threads": many["threads"],
        "ms_per_destination_1_thread": 1000 * one["call_s"] / k,
        "ms_per_destination_all_threads": 1000 * many["call_s"] / k,
        "speed_up": ratio(one["call_s"], many["call_s"]),
        "single_destination_all_over_1": ratio(many["single_destination_call_s"],
                                               one["single_destination_call_s"]),
        "peer_over_vemo_1_thread": ratio(one.get("peer_assign_s"), one["computation_s"]),
        # With more than one thread the results of early destinations are handed back while
        # later ones are computed, so only the call minus its conversion in can be timed.
        "peer_over_vemo_all_threads": ratio(many.get("peer_assign_s"),
                                            computation_and_conversion_out(many)),
        "computation_over_search_floor": ratio(one["computation_s"], one.get("floor_search_s")),
        "conversion_in_over_floor": ratio(one["conversion_in_s"],
                                          one.get("floor_argument_read_s")),
        "conversion_out_over_floor": ratio(one["conversion_out_s"],
                                           one.get("floor_result_list_s")),
        "lists_over_numpy_conversion_in": ratio(one["conversion_in_s"],
                                                one.get("numpy_conversion_in_s")),
        "numpy_items_over_whole": ratio(one.get("numpy_items_conversion_in_s"),
                                        one.get("numpy_conversion_in_s")),
        "extra_peak_mib_1_thread": one["extra_peak_bytes"] / MIB,
        "extra_peak_mib_all_threads": many["extra_peak_bytes"] / MIB,
        "vector_mib": one["vector_bytes"] / MIB,
        "memory_budget_mib": memory_budget(many) / MIB,
        "extra_peak_over_budget": ratio(many["extra_peak_bytes"], memory_budget(many)),
        "split_ms_1_thread": {
            "conversion_in": 1000 * one["conversion_in_s"],
            "computation": 1000 * one["computation_s"],
            "conversion_out": 1000 * one["conversion_out_s"],
        },
        "computation_and_out_ms_all_threads": 1000 * computation_and_conversion_out(many),
        "peer_ms_per_destination_1_thread": per_destination_ms(one.get("peer_assign_s"), k),
        "peer_ms_per_destination_all_threads": per_destination_ms(many.get("peer_assign_s"), k),
        "search_floor_ms_per_destination": per_destination_ms(one.get("floor_search_s"), k),
        "numpy_conversion_in_ms": (None if one.get("numpy_conversion_in_s") is None
                                   else 1000 * one["numpy_conversion_in_s"]),
    }


def computation_and_conversion_out(run):
    return run["call_s"] - run["conversion_in_s"]


def memory_budget(run):
    """Inputs and outputs as vectors, the search graph, and one scratch per worker taking part."""
    workers = min(run["threads"], run["destinations"])
    return (run["vector_bytes"] + run["search_graph_bytes"]
            + workers * run["scratch_bytes_per_worker"])


def per_destination_ms(seconds, destinations):
    return None if seconds is None else 1000 * seconds / destinations


def cell(value, digits):
    return "n/a" if value is None else f"{value:.{digits}f}"


def print_table(headers, rows):
    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(headers)]
    print("| " + " | ".join(h.rjust(w) for h, w in zip(headers, widths)) + " |")
    print("|" + "|".join("-" * (w + 1) + ":" for w in widths) + "|")
    for row in rows:
        print("| " + " | ".join(c.rjust(w) for c, w in zip(row, widths)) + " |")


def print_main_table(rows):
    threads = rows[0]["threads"]
    print_table(
        ["arcs", "nodes", "dsts", "ms/dst 1 thr", f"ms/dst {threads} thr", "speed-up",
         "1 dst: all/1", "peer/vemo 1 thr", "peer/vemo all", "vemo/Dijkstra", "in/floor",
         "out/floor", "extra RSS MiB", "RSS/budget"],
        [[str(r["arcs"]), str(r["nodes"]), str(r["destinations"]),
          cell(r["ms_per_destination_1_thread"], 2), cell(r["ms_per_destination_all_threads"], 2),
          cell(r["speed_up"], 2), cell(r["single_destination_all_over_1"], 2),
          cell(r["peer_over_vemo_1_thread"], 2), cell(r["peer_over_vemo_all_threads"], 2),
          cell(r["computation_over_search_floor"], 2), cell(r["conversion_in_over_floor"], 2),
          cell(r["conversion_out_over_floor"], 2), cell(r["extra_peak_mib_all_threads"], 1),
          cell(r["extra_peak_over_budget"], 2)]
         for r in rows])


def print_split_table(rows):
    threads = rows[0]["threads"]
    print_table(
        ["arcs", "in ms", "compute ms 1 thr", "out ms 1 thr", f"compute+out ms {threads} thr", "NumPy in ms", "lists/NumPy", "items/NumPy", "peer ms/dst 1 thr",
         f"peer ms/dst {threads} thr", "Dijkstra ms/dst", "vectors MiB", "budget MiB"],
        [[str(r["arcs"]), cell(r["split_ms_1_thread"]["conversion_in"], 2),
          cell(r["split_ms_1_thread"]["computation"], 1),
          cell(r["split_ms_1_thread"]["conversion_out"], 2),
          cell(r["computation_and_out_ms_all_threads"], 1),
          cell(r["numpy_conversion_in_ms"], 2), cell(r["lists_over_numpy_conversion_in"], 2),
          cell(r["numpy_items_over_whole"], 1),
          cell(r["peer_ms_per_destination_1_thread"], 2),
          cell(r["peer_ms_per_destination_all_threads"], 2),
          cell(r["search_floor_ms_per_destination"], 2), cell(r["vector_mib"], 1),
          cell(r["memory_budget_mib"], 1)]
         for r in rows])


LEGEND = """\
ms/dst: one linear_assign call from Python lists to Python lists, divided by its destinations.
speed-up: that call with 1 thread / with all threads; 1 dst: all/1 the same for one
  destination the other way round (above 1 is a slowdown).
peer/vemo: the peer's assignment of the same trips / vemo's computation alone (the call minus
  its conversions) with 1 thread; with all threads, / the call minus its conversion in, since
  the results of early destinations are handed back while later ones are computed. Above 1,
  vemo is faster.
vemo/Dijkstra: vemo's computation with 1 thread / SciPy's Dijkstra from each destination.
in/floor: the call with no destinations (every argument converted, nothing computed) /
  array.array('f' or 'Q', list) over the same six lists.
out/floor: (a call with an empty search whose results have the same length and as many +0.0
  - the same call on two nodes, whose results are those zeros alone) /
  array.array('f', values).tolist() of as many floats.
compute ms: call - in - out; compute+out: call - in. NumPy in: the call with no destinations
  on NumPy arrays (int64, float64) instead of lists; items/NumPy: the same arrays read through their
  iterators (wrapped in a sequence that hides their buffers), over it.
extra RSS: peak resident set during the call with all threads, above the resident set before
  it (inputs built) and what the result lists occupy (32 bytes a float object, every +0.0 being
  one shared object, and 8 a list item).
  vectors: what of it the call must hold, its arguments as 64-bit indices and 32-bit floats and
  its results as 32-bit floats. budget: vectors + the search graph + one destination's scratch
  per worker taking part; RSS/budget: extra RSS over it."""


def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as meminfo:
        memory_kib = int(meminfo.readline().split()[1])
    return {
        "cpu": model,
        "cpus_available": len(os.sched_getaffinity(0)),
        "memory_gib": round(memory_kib / MIB, 1),
        "system": f"{platform.system()} {platform.release()}",
        "python": platform.python_version(),
        "packages": {name: installed_version(name)
                     for name in ("vemo", "numpy", "scipy", "aequilibrae")},
        "load_average_at_start": os.getloadavg(),
    }


def installed_version(name):
    try:
        return metadata.version(name)
    except metadata.PackageNotFoundError:
        return None


def describe_machine(facts):
    versions = ", ".join(f"{name} {version}" for name, version in facts["packages"].items()
                         if version)
    load = " ".join(f"{value:.2f}" for value in facts["load_average_at_start"])
    return (f"{facts['cpu']}, {facts['cpus_available']} CPUs available, "
            f"{facts['memory_gib']} GiB, {facts['system']}, Python {facts['python']}; "
            f"{versions}; load average at start {load}")
