"""vemo's benchmark suite, what `make bench` runs.

On grid cities of 10^3 to 5 x 10^5 arcs it measures linear_assign per destination with one
thread and with all threads, the split of a call into conversion in, computation and conversion
out, and the call's peak memory above its inputs and outputs; side by side, in the same run, the
peer (AequilibraE's optimal-strategy class, after checking that it gives the same node costs
and flows) and the floors (a plain Dijkstra per destination, and the least work that reads and
writes lists of floats). Prints the tables and writes them as JSON.

Every size and thread count runs in a fresh process: the worker pool's size is fixed at its
first use, and a fresh process measures peak memory cleanly.
"""

import argparse
import json
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import report  # noqa: E402
from measure import available_cpus, in_fresh_process  # noqa: E402

# (smallest number of arcs, destinations, repeats): more destinations and repeats where a call
# is short, so that the machine's noise weighs less.
SIZES = [
    (1_000, 64, 20),
    (10_000, 64, 10),
    (100_000, 32, 7),
    (200_000, 32, 7),
    (500_000, 32, 7),
]
QUICK_SIZES = 2


def describe_check(check):
    verdict = "agree" if check["agree"] else "DISAGREE"
    return (f"{verdict}: node costs of {check['destinations_checked']} destinations "
            f"({check['node_costs_compared']} reachable), {check['reachability_differs']} "
            f"differ in reachability, {check['costs_outside_tolerance']} outside "
            f"1/60000 + cost x 2^-15; largest difference {check['max_cost_difference']:.2e} "
            f"({check['max_relative_cost_difference']:.1e} of the cost), "
            f"{check['share_of_costs_lower_in_vemo']:.1%} lower in vemo (truncated priorities); "
            f"flows summed over all destinations: {check['share_of_close_flows']:.2%} of arcs "
            f"within 1e-4, largest difference {check['max_flow_difference']:.2e}, total riding "
            f"time {check['relative_riding_time_difference']:.1e} apart")


def describe_peer(run):
    if "peer_error" in run:
        return "the peer failed: " + run["peer_error"]
    if "peer_check" in run:
        return describe_check(run["peer_check"])
    return "the peer is not installed (pip install '.[bench]')"


def run_size(arcs, destinations, repeats, thread_counts):
    args = ["--arcs", str(arcs), "--destinations", str(destinations), "--repeats", str(repeats),
            "--peer"]
    runs = {}
    for threads in thread_counts:
        extra = ["--floors", "--check"] if threads == 1 else []
        started = time.perf_counter()
        runs[threads] = in_fresh_process("run_one_size.py", args + extra, threads)
        print(f"  {runs[threads]['city']}, {destinations} destinations, {threads} thread(s): "
              f"{time.perf_counter() - started:.0f} s", flush=True)
    print("  peer check: " + describe_peer(runs[1]), flush=True)
    return runs


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--quick", action="store_true",
                        help=f"only the {QUICK_SIZES} smallest sizes, to try the suite out")
    parser.add_argument("--output", default="bench-results.json", help="where to write the JSON")
    args = parser.parse_args()

    facts = report.machine()
    print("Machine: " + report.describe_machine(facts), flush=True)
    if facts["load_average_at_start"][0] >= facts["cpus_available"]:
        print("WARNING: other work keeps every CPU busy; the times will be noisy, and the "
              "all-thread times most", flush=True)
    thread_counts = sorted({1, available_cpus()})
    sizes = SIZES[:QUICK_SIZES] if args.quick else SIZES
    started = time.perf_counter()
    results = []
    for arcs, destinations, repeats in sizes:
        runs = run_size(arcs, destinations, repeats, thread_counts)
        results.append({"summary": report.summarize(runs[1], runs[thread_counts[-1]]),
                        "runs": {str(threads): run for threads, run in runs.items()}})
    facts["load_average_at_end"] = os.getloadavg()
    builds = {run["vemo_build"] for result in results for run in result["runs"].values()}
    if len(builds) > 1:
        print("\nWARNING: vemo was reinstalled during the run; the figures mix builds:\n  "
              + "\n  ".join(sorted(builds)))
    rows = [result["summary"] for result in results]

    print()
    report.print_main_table(rows)
    print()
    report.print_split_table(rows)
    print()
    print(report.LEGEND)
    command = "make bench" + (" (benchmarks/run.py --quick)" if args.quick else "")
    with open(args.output, "w") as output:
        json.dump({"command": command, "machine": facts,
                   "seconds": time.perf_counter() - started, "sizes": results}, output, indent=1)
    load = " ".join(f"{value:.2f}" for value in facts["load_average_at_end"])
    print(f"\nWritten to {args.output} in {time.perf_counter() - started:.0f} s; "
          f"load average at the end {load}")


if __name__ == "__main__":
    main()
