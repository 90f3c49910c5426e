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
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import report  # noqa: E402
import suite  # noqa: E402
from measure import available_cpus  # noqa: E402

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


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true",
                        help=f"only the {QUICK_SIZES} smallest sizes, to try the suite out")
    parser.add_argument("--output", default="bench-results.json", help="where to write the JSON")
    args = parser.parse_args()

    facts = suite.start()
    thread_counts = sorted({1, available_cpus()})
    sizes = SIZES[:QUICK_SIZES] if args.quick else SIZES
    started = time.perf_counter()
    results = suite.run_sizes("run_one_size.py", sizes, thread_counts, ["--floors", "--check"],
                              report.summarize, describe_check)
    facts["load_average_at_end"] = os.getloadavg()
    suite.warn_if_builds_mixed(
        [run for result in results for run in result["runs"].values()], ["vemo_build"])
    rows = [result["summary"] for result in results]

    print()
    report.print_main_table(rows)
    print()
    report.print_split_table(rows)
    print()
    print(report.LEGEND)
    command = "make bench" + (" (benchmarks/run.py --quick)" if args.quick else "")
    suite.write_results(args.output, command, facts, started, sizes=results)


if __name__ == "__main__":
    main()
