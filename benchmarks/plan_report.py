"""The ratios of vemo_plan's benchmarks from the runs of one size, and the printed tables."""

from report import MIB, cell, per_destination_ms, print_table, ratio

GIB = 1024 * MIB


# Ratios of two calls timed in the same rounds: (numerator, denominator) of each. Each is given
# as the ratio of best times and as the median over the rounds of each round's own ratio.
TIMED_RATIOS = {
    "plan_over_computation": ("plan_per_destination_s", "plan_computation_s"),
    "plan_over_fresh_computation": ("plan_per_destination_s", "plan_computation_fresh_s"),
    "fresh_computation_over_computation": ("plan_computation_fresh_s", "plan_computation_s"),
    "computation_again_over_computation": ("plan_computation_again_s", "plan_computation_s"),
    "skims_over_none": ("plan_skims_s", "plan_total_s"),
    "peer_over_plan": ("peer_zone_skims_s", "plan_zone_skims_s"),
}


def summarize(one, many):
    """The table row of one size from its run with one thread and its run with all threads."""
    k = one["destinations"]
    row = {
        "arcs": one["arcs"],
        "nodes": one["nodes"],
        "destinations": k,
        "threads": many["threads"],
        "plan_ms_per_destination_1_thread": per_destination_ms(one["plan_per_destination_s"], k),
        "list_over_computation_1_thread": ratio(one["list_call_s"], one["list_computation_s"]),
        "list_over_plan_1_thread": ratio(one["list_call_s"], one["plan_per_destination_s"]),
        "list_over_plan_all_threads": ratio(many["list_call_s"], many["plan_per_destination_s"]),
        "plan_over_list_computation_1_thread": ratio(one["plan_computation_s"],
                                                     one["list_computation_s"]),
        "plan_zone_ms_per_destination_1_thread": per_destination_ms(one["plan_zone_skims_s"], k),
        "peer_ms_per_destination_1_thread": per_destination_ms(one.get("peer_zone_skims_s"), k),
        "memory": {str(run["threads"]): memory_summary(run) for run in (one, many)},
    }
    for name, (numerator, denominator) in TIMED_RATIOS.items():
        for run, threads in ((one, "1_thread"), (many, "all_threads")):
            row[f"{name}_{threads}"] = ratio(run.get(numerator), run[denominator])
            row[f"{name}_median_{threads}"] = run["median_ratios"].get(name)
    return row


def memory_summary(run):
    return {
        "extra_peak_mib": run["extra_peak_bytes"] / MIB,
        "budget_mib": run["budget_bytes"] / MIB,
        "extra_peak_over_budget": ratio(run["extra_peak_bytes"], run["budget_bytes"]),
        "extra_peak_over_budget_and_inputs": ratio(
            run["extra_peak_bytes"], run["budget_bytes"] + run["copied_input_bytes"]),
        "output_mib": run["output_bytes"] / MIB,
        "network_mib": run["network_bytes"] / MIB,
        "state_mib_per_worker": run["state_bytes_per_worker"] / MIB,
        "copied_input_mib": run["copied_input_bytes"] / MIB,
        "list_result_mib": run["list_result_bytes"] / MIB,
        "list_results_over_extra_peak": ratio(run["list_result_bytes"], run["extra_peak_bytes"]),
    }


def best_and_median(row, name, threads):
    """A ratio's cell: best times' ratio, then the median of the rounds' own in brackets."""
    best, median = row[f"{name}_{threads}"], row[f"{name}_median_{threads}"]
    return f"{cell(best, 3)} ({cell(median, 3)})"


def ratio_columns(rows, names):
    """Headers and cells of each named ratio with 1 thread and with all threads."""
    threads = rows[0]["threads"]
    headers = [f"{label} {count} thr" for _, label in names for count in (1, threads)]
    cells = [[best_and_median(r, name, t) for name, _ in names
              for t in ("1_thread", "all_threads")] for r in rows]
    return headers, cells


def print_results_out_table(rows):
    headers, cells = ratio_columns(rows, [("plan_over_computation", "plan/comp"),
                                          ("computation_again_over_computation", "comp/comp"),
                                          ("plan_over_fresh_computation", "plan/fresh"),
                                          ("fresh_computation_over_computation", "fresh/comp")])
    print_table(["arcs", "nodes", "dsts", "plan ms/dst 1 thr", *headers],
                [[str(r["arcs"]), str(r["nodes"]), str(r["destinations"]),
                  cell(r["plan_ms_per_destination_1_thread"], 2), *ratios]
                 for r, ratios in zip(rows, cells)])


def print_list_table(rows):
    threads = rows[0]["threads"]
    print_table(
        ["arcs", "list/comp 1 thr", "list/plan 1 thr", f"list/plan {threads} thr",
         "plan comp/list comp"],
        [[str(r["arcs"]), cell(r["list_over_computation_1_thread"], 3),
          cell(r["list_over_plan_1_thread"], 2), cell(r["list_over_plan_all_threads"], 2),
          cell(r["plan_over_list_computation_1_thread"], 3)]
         for r in rows])


def print_skims_and_peer_table(rows):
    headers, cells = ratio_columns(rows, [("skims_over_none", "skims/none"),
                                          ("peer_over_plan", "peer/plan")])
    print_table(["arcs", "plan ms/dst zones 1 thr", "peer ms/dst zones 1 thr", *headers],
                [[str(r["arcs"]), cell(r["plan_zone_ms_per_destination_1_thread"], 2),
                  cell(r["peer_ms_per_destination_1_thread"], 2), *ratios]
                 for r, ratios in zip(rows, cells)])


def print_memory_table(rows):
    table = []
    for r in rows:
        for threads, m in r["memory"].items():
            table.append([str(r["arcs"]), threads, cell(m["extra_peak_mib"], 1),
                          cell(m["budget_mib"], 1), cell(m["extra_peak_over_budget"], 2),
                          cell(m["copied_input_mib"], 1),
                          cell(m["extra_peak_over_budget_and_inputs"], 2),
                          cell(m["output_mib"], 1), cell(m["network_mib"], 1),
                          cell(m["state_mib_per_worker"], 1), cell(m["list_result_mib"], 1),
                          cell(m["list_results_over_extra_peak"], 1)])
    print_table(["arcs", "thr", "extra RSS MiB", "budget MiB", "RSS/budget", "inputs MiB",
                 "RSS/(budget+inputs)", "outputs MiB", "network MiB", "state MiB/thr",
                 "list results MiB", "list/RSS"], table)


def describe_check(check):
    verdict = "agree" if check["agree"] else "DISAGREE"
    skims = "; ".join(
        f"{name} {s['outside_tolerance']} outside ({s['at_ties']} at ties, largest "
        f"difference {s['max_difference']:.2g})" for name, s in check["skims"].items())
    return (f"{verdict}: {check['pairs_compared']} destination-to-destination pairs, node costs "
            f"{check['costs_outside_tolerance']} outside 1/60000 + cost x 2^-15 (largest "
            f"difference {check['max_cost_difference']:.1e}), {check['reachability_differs']} "
            f"differ in reachability; skims: {skims}; flows summed over all destinations: "
            f"{check['share_of_close_flows']:.2%} of arcs within 1e-4, total riding time "
            f"{check['relative_riding_time_difference']:.1e} apart")


def describe_scale(run):
    d = run["destinations"]
    seconds = run["network_s"] + run["assign_s"]
    list_total = run["list_result_bytes"] + run["list_demand_bytes"]
    return "\n".join([
        f"{run['city']}; {d} destinations, {run['origins']} origins ({run['triples']} "
        f"origin-destination pairs with trips), total flows and {len(run['skims'])} skims, "
        f"{run['threads']} threads:",
        f"  time: {seconds:.1f} s ({run['network_s']:.2f} s building the network, "
        f"{run['assign_s']:.1f} s assigning, {1000 * run['assign_s'] / d:.0f} ms a "
        f"destination)",
        f"  memory: peak resident set {run['peak_resident_bytes'] / GIB:.2f} GiB for the whole "
        f"process; {run['extra_peak_bytes'] / MIB:.0f} MiB above it before building the "
        f"network; budget {run['budget_bytes'] / MIB:.0f} MiB (outputs "
        f"{run['output_bytes'] / MIB:.0f}, network {run['network_bytes'] / MIB:.0f}, "
        f"{run['state_bytes_per_worker'] / MIB:.0f} a thread), inputs copied "
        f"{run['copied_input_bytes'] / MIB:.0f} MiB: RSS/budget "
        f"{ratio(run['extra_peak_bytes'], run['budget_bytes']):.2f}, RSS/(budget+inputs) "
        f"{ratio(run['extra_peak_bytes'], run['budget_bytes'] + run['copied_input_bytes']):.2f}",
        f"  linear_assign for the same (computed): result lists "
        f"{run['list_result_bytes'] / GIB:.1f} GiB ({run['list_positive_zero_share']:.1%} of "
        f"its {d * (run['nodes'] + run['arcs'])} result floats +0.0), its demand list "
        f"{run['list_demand_bytes'] / GIB:.1f} GiB: {list_total / GIB:.1f} GiB, "
        f"{list_total / run['extra_peak_bytes']:.0f} times vemo_plan's extra peak",
    ])


LEGEND = """\
Results out (every node an origin, flows per destination, no skims):
  plan: vemo_plan's Network.assign on NumPy arrays: int64 nodes, float64 frequencies and
    costs, float32 trips (which it reads in place).
  comp: the same assignment in the core alone: inputs already in its dtypes, flows written
    into one reused array, node results kept for one origin. It leaves out converting and
    checking the inputs, allocating the results, their first touch and writing every origin's
    node cost and waiting time: plan/comp is what the package adds, above 1 a cost.
  fresh: the core alone writing its flows into a new array each call, as Network.assign
    does: plan/fresh is what the package adds beside the first touch of new memory, and
    fresh/comp what that first touch costs on this machine.
  Each ratio is that of the best times, then in brackets the median over the rounds of each
    round's own ratio (best times may come from different rounds). Every other round runs the
    calls in reverse order.
  comp/comp: the same core call timed twice in the same rounds, the second over the first:
    how far apart the machine's noise puts two equal figures.
List API:
  list: vemo.linear_assign from lists to lists, its computation estimated as make bench does
    (call - conversion in - conversion out); list/comp: what its conversions add.
  plan comp/list comp: the core's computation in vemo_plan (waiting times included) over
    linear_assign's estimated computation, which that estimate overstates by about 5%.
Skims (total flows, the stops as origins): the call with three skims (cost, in-vehicle time,
  vehicles boarded) over the same call without.
Peer (total flows, node costs and the three skims from every destination to every
  destination): AequilibraE's HyperpathGenerating with the same skim columns and as many
  threads, over vemo_plan's call; above 1, vemo_plan is faster.
Memory (network built, then one call with total flows, the stops as origins, three skims):
  extra RSS: peak resident set above the resident set before building the network.
  budget: outputs + the prepared network (the Network's copies of its arcs and the search
    graph) + one destination's working state per thread taking part.
  inputs: what the call holds of its inputs beside them, not in the budget: the uint64 node
    numbers (the float32 trips and skims are read in place).
  list results: linear_assign's result lists for the same destinations (every node's cost and
    every arc's flow per destination: 8 bytes an item, 32 a float object, +0.0 shared).
Targets, read on the medians: plan/comp at most 1.03 from 10^4 arcs on; skims/none at most
  1.10 with 1 thread from 10^5 arcs on; peer/plan at least 1.5 (2 aimed at); RSS/budget at
  most 1.10."""
