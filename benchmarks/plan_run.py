"""vemo_plan's benchmarks, beside vemo's suite (run.py).

On the same grid cities, with the same trips, it measures side by side in one run: what
vemo_plan adds around the core's computation when it writes per-destination flows into NumPy
arrays, against what linear_assign's lists cost; three skims against none; the peer's
assignment with the same skims (after checking that both give the same skims); the peak memory
of a call against its budget and against linear_assign's result lists; and one call at scale
(10^6 arcs, 500 destinations, 10,000 origins); and the job on a real regional feed
(feed_job.py: stage times, peak memory, the peer on the same arcs), where the feed is there.
Prints the tables and writes them as JSON.

Every size and thread count runs in a fresh process, as in run.py.
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import feed_job  # noqa: E402
import plan_report  # noqa: E402
import suite  # noqa: E402
from measure import available_cpus, in_fresh_process  # noqa: E402

# (smallest number of arcs, destinations, repeats). The ratios are read to a few percent, and
# on this kind of virtual machine one call's time varies by 5 to 8% (standard deviation) from
# one call to the next, at any length of call: many short rounds read them closer than a few
# long ones (the median of n rounds' ratios is off by about 1.25 x 8% / sqrt(n)). Destinations
# are therefore fewer than run.py's at the larger sizes, and rounds more.
SIZES = [
    (10_000, 64, 150),
    (100_000, 16, 40),
    (200_000, 16, 32),
    (500_000, 8, 32),
]
QUICK_SIZES = 2
# (smallest number of arcs, destinations, origins) of the call at scale.
SCALE = (1_000_000, 500, 10_000)
QUICK_SCALE = (100_000, 50, 1_000)


def run_scale(arcs, destinations, origins, threads):
    started = time.perf_counter()
    run = in_fresh_process("plan_scale.py", ["--arcs", str(arcs), "--destinations",
                                             str(destinations), "--origins", str(origins)],
                           threads)
    print(f"  at scale, {run['city']}: {time.perf_counter() - started:.0f} s", flush=True)
    return run


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true",
                        help=f"only the {QUICK_SIZES} smallest sizes and a small call at scale")
    parser.add_argument("--output", default="plan-bench-results.json",
                        help="where to write the JSON")
    args = parser.parse_args()

    facts = suite.start()
    thread_counts = sorted({1, available_cpus()})
    sizes = SIZES[:QUICK_SIZES] if args.quick else SIZES
    started = time.perf_counter()
    results = suite.run_sizes("plan_one_size.py", sizes, thread_counts, ["--check"],
                              plan_report.summarize, plan_report.describe_check)
    scale = run_scale(*(QUICK_SCALE if args.quick else SCALE), thread_counts[-1])
    real_feed = (feed_job.run_all(feed_job.FEED, 1 if args.quick else 3)
                 if feed_job.FEED.exists() else None)
    facts["load_average_at_end"] = os.getloadavg()
    suite.warn_if_builds_mixed(
        [run for result in results for run in result["runs"].values()] + [scale],
        ["vemo_build", "vemo_plan_build"])
    rows = [result["summary"] for result in results]

    print()
    plan_report.print_results_out_table(rows)
    print()
    plan_report.print_list_table(rows)
    print()
    plan_report.print_skims_and_peer_table(rows)
    print()
    plan_report.print_memory_table(rows)
    print()
    print("At scale: " + plan_report.describe_scale(scale))
    print()
    print(f"No real feed at {feed_job.FEED}: its job is not measured." if real_feed is None
          else feed_job.describe(real_feed))
    print()
    print(plan_report.LEGEND)
    command = "make bench-plan" + (" (benchmarks/plan_run.py --quick)" if args.quick else "")
    suite.write_results(args.output, command, facts, started, sizes=results, scale=scale,
                        real_feed=real_feed)


if __name__ == "__main__":
    main()
