"""What vemo's suite (run.py) and vemo_plan's (plan_run.py) share: the machine's facts, one
fresh process per size and thread count, the check that one build ran throughout, the JSON
written at the end, and the arguments of a one-size script."""

import argparse
import json
import time

import report
from measure import in_fresh_process


def start():
    """The machine's facts, printed, with a warning if other work already keeps every CPU
    busy."""
    facts = report.machine()
    print("Machine: " + report.describe_machine(facts), flush=True)
    if facts["load_average_at_start"][0] >= facts["cpus_available"]:
        print("WARNING: other work keeps every CPU busy; the times will be noisy, and the "
              "all-thread times most", flush=True)
    return facts


def describe_peer(run, describe_check):
    if "peer_error" in run:
        return "the peer failed: " + run["peer_error"]
    if "peer_check" in run:
        return describe_check(run["peer_check"])
    return "the peer is not installed (pip install '.[bench]')"


def run_sizes(script, sizes, thread_counts, first_run_extra, summarize, describe_check):
    """Per size (arcs, destinations, repeats), `script` in a fresh process per thread count,
    `first_run_extra` added to the 1-thread run's arguments; each size's summary and runs."""
    results = []
    for arcs, destinations, repeats in sizes:
        args = ["--arcs", str(arcs), "--destinations", str(destinations), "--repeats",
                str(repeats), "--peer"]
        runs = {}
        for threads in thread_counts:
            started = time.perf_counter()
            extra = first_run_extra if threads == 1 else []
            runs[threads] = in_fresh_process(script, args + extra, threads)
            print(f"  {runs[threads]['city']}, {destinations} destinations, {threads} "
                  f"thread(s): {time.perf_counter() - started:.0f} s", flush=True)
        print("  peer check: " + describe_peer(runs[1], describe_check), flush=True)
        results.append({"summary": summarize(runs[1], runs[thread_counts[-1]]),
                        "runs": {str(threads): run for threads, run in runs.items()}})
    return results


def warn_if_builds_mixed(runs, keys):
    for key in keys:
        builds = {run[key] for run in runs if key in run}
        if len(builds) > 1:
            print("\nWARNING: vemo was reinstalled during the run; the figures mix builds:\n  "
                  + "\n  ".join(sorted(builds)))


def write_results(path, command, facts, started, **fields):
    with open(path, "w") as output:
        json.dump({"command": command, "machine": facts,
                   "seconds": time.perf_counter() - started, **fields}, output, indent=1)
    load = " ".join(f"{value:.2f}" for value in facts["load_average_at_end"])
    print(f"\nWritten to {path} in {time.perf_counter() - started:.0f} s; "
          f"load average at the end {load}")


def size_arguments(description):
    """The arguments every one-size script takes; a script adds its own."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--arcs", type=int, required=True, help="smallest number of arcs")
    parser.add_argument("--destinations", type=int, required=True)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--peer", action="store_true", help="also time the peer")
    parser.add_argument("--check", action="store_true", help="also compare with the peer")
    return parser
