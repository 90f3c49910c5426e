"""The job on a real regional feed, every stop a zone, as a planner runs it: its stage times and
peak memory, uncongested and congested; the zone assignment's peak memory with the model built;
and the zone assignment beside the peer's on the very same arcs, trips and skims, at 1 and at
every available thread.

    python benchmarks/feed_job.py [--feed ZIP] [--rounds N]

Each part runs in a fresh process. The peer (peer.py) skims what an arc carries: the node cost,
in-vehicle time (by mode too), walking time, boardings and fares where the feed has them; vemo
is timed on the same skims ("same skims"), and as the job calls it, with the waits and walks
split at the first and last boardings ("job's call"). Times are the best of --rounds rounds
that run every call in turn (measure.round_times); the job runs --rounds times, each stage's
best time kept.
"""

import argparse
import json
import os
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import numpy as np  # noqa: E402

import peer  # noqa: E402
from measure import (available_cpus, extra_peak_bytes, in_fresh_process,  # noqa: E402
                     peak_resident_bytes, release_freed_memory, reset_peak_resident,
                     round_times)

FEED = Path(__file__).resolve().parents[2] / "shared" / "feeds" / "region-nord.zip"
MIB = 2.0**20
# The peer and vemo agree on a node's cost within this many minutes (same network).
COST_AGREEMENT_MINUTES = 1e-3


def job_part(feed, congested):
    """The job with its defaults: stage seconds and the process's peak resident memory."""
    from vemo_plan.job import Job, run_job
    with tempfile.TemporaryDirectory() as out:
        reset_peak_resident()
        started = time.perf_counter()
        report = run_job(Job(feed=Path(feed), out=Path(out), congested=congested))
        seconds = time.perf_counter() - started
    return {"stages": report.seconds, "seconds": seconds,
            "peak_mib": peak_resident_bytes() / MIB,
            "arcs": report.model.line_network.network.arc_count,
            "nodes": report.model.line_network.network.node_count,
            "zones": len(report.model.zones),
            "iterations": None if report.congested is None else report.congested.loop.iterations}


def prepared(feed):
    """The job's model, gravity demand and capacities on `feed`, with its defaults."""
    from vemo_plan.job.run import Job, prepare
    return prepare(Job(feed=Path(feed)))


def memory_part(feed):
    """The peak resident memory of the zone assignment, uncongested and congested (the job's
    default model and capacities), above what the process holds with the model built."""
    from vemo_plan.job.skims import assign_zones, assign_zones_congested
    job = prepared(feed)
    model, demand, capacities = job.model, job.demand, job.vehicle_capacities
    figures = {}
    for name, call in {"uncongested": lambda: assign_zones(model, demand),
                       "congested": lambda: assign_zones_congested(model, demand,
                                                                   capacities)}.items():
        release_freed_memory()
        extra, result = extra_peak_bytes(call, lambda result: 0)
        figures[f"{name}_call_mib"] = extra / MIB
        del result
    return figures


def peer_part(feed, rounds):
    """vemo's zone assignment and the peer's on the same arcs, trips and skims, timed in turn;
    the largest cost difference between the two on pairs both reach."""
    from vemo_plan.job.skims import assign_zones, trip_list
    job = prepared(feed)
    model, demand = job.model, job.demand
    lines = model.line_network
    network = lines.network
    threads = int(os.environ["RAYON_NUM_THREADS"])
    # "boardings" is a name the peer keeps for a skim of its own.
    skims = {**model.arc_skims, "boarded": lines.boarding.astype(np.float32)}
    trips = trip_list(model, demand)
    dsts, origins = model.destination_nodes, model.origin_nodes
    other = peer.Peer(network.tail, network.head, network.frequency, network.cost,
                      (trips[0], dsts[trips[1]], trips[2]), skims, (origins, dsts))

    def same_skims():
        return network.assign(trips, dsts, origins=origins, skims=skims, layout="origin")

    ours = same_skims()
    other.assign(threads)
    theirs = other.skims()[peer.NODE_COST_SKIM].T  # [origin, destination]
    reached = np.isfinite(ours.node_costs) & (theirs < 1e30)
    np.fill_diagonal(reached, False)
    gap = np.abs(ours.node_costs.astype(np.float64) - theirs)[reached]
    del ours
    times = round_times(rounds, {"vemo_job_call": lambda: assign_zones(model, demand),
                                 "vemo_same_skims": same_skims,
                                 "peer_same_skims": other.assign_call(threads)})
    best = {name: min(values) for name, values in times.items()}
    return {"threads": threads, "best_s": best,
            "peer_over_vemo": best["peer_same_skims"] / best["vemo_same_skims"],
            "peer_over_job_call": best["peer_same_skims"] / best["vemo_job_call"],
            "pairs_compared": int(reached.sum()),
            "max_cost_difference": float(gap.max(initial=0.0)),
            "costs_agree": bool(gap.max(initial=0.0) <= COST_AGREEMENT_MINUTES)}


def best_job(runs):
    """The job's runs as one: each stage's best time, the best whole and the lowest peak. A
    stage that fills fresh memory (the demand, skims.omx's pages) varies from process to process
    with how fast this machine hands out memory at that moment."""
    best = dict(runs[0])
    best["stages"] = {stage: min(run["stages"][stage] for run in runs)
                      for stage in runs[0]["stages"]}
    best["seconds"] = min(run["seconds"] for run in runs)
    best["peak_mib"] = min(run["peak_mib"] for run in runs)
    best["rounds"] = len(runs)
    return best


def run_all(feed, rounds):
    """Every part, each in its own process; the figures as one dict."""
    cpus = sorted({1, available_cpus()})
    figures = {"feed": str(feed)}
    for congested in (False, True):
        figures["congested_job" if congested else "job"] = best_job(
            [in_fresh_process("feed_job.py", ["--part", "job", "--feed", str(feed)]
                              + ["--congested"] * congested, cpus[-1]) for _ in range(rounds)])
    figures["memory"] = in_fresh_process("feed_job.py", ["--part", "memory", "--feed",
                                                         str(feed)], cpus[-1])
    if peer.available():
        figures["peer"] = [in_fresh_process("feed_job.py", ["--part", "peer", "--feed",
                                                            str(feed), "--rounds", str(rounds)],
                                            threads) for threads in cpus]
    return figures


def describe(figures):
    """The figures as the tables printed."""
    job, congested = figures["job"], figures["congested_job"]
    lines = [f"Real-feed job, {Path(figures['feed']).name}: {job['zones']:,} zones, "
             f"{job['nodes']:,} nodes, {job['arcs']:,} arcs",
             f"Stages: the best of {job['rounds']} runs of the job, each in a fresh process.",
             "| run | " + " | ".join(congested["stages"]) + " | whole | peak MiB |",
             "|---|" + "---|" * (len(congested["stages"]) + 2)]
    for name, run in (("uncongested", job), ("congested", congested)):
        stages = " | ".join(f"{run['stages'].get(stage, 0):.2f}" for stage in congested["stages"])
        lines.append(f"| {name} | {stages} | {run['seconds']:.2f} | {run['peak_mib']:,.0f} |")
    stages = job["stages"]
    preparation = sum(stages[s] for s in ("feed", "lines", "network", "demand"))
    lines.append(f"Preparation {preparation / stages['uncongested']:.2f}x the uncongested "
                 f"assignment, files {stages['files'] / stages['uncongested']:.2f}x.")
    memory = figures["memory"]
    lines.append(f"Zone assignment's peak above the model: uncongested "
                 f"{memory['uncongested_call_mib']:,.0f} MiB, congested "
                 f"{memory['congested_call_mib']:,.0f} MiB "
                 f"({memory['congested_call_mib'] / memory['uncongested_call_mib']:.2f}x).")
    for run in figures.get("peer", []):
        best = run["best_s"]
        lines.append(
            f"{run['threads']} thread(s): vemo {best['vemo_same_skims']:.2f} s (same skims), "
            f"{best['vemo_job_call']:.2f} s (job's call); peer {best['peer_same_skims']:.2f} s: "
            f"peer / vemo {run['peer_over_vemo']:.2f}x (same skims), "
            f"{run['peer_over_job_call']:.2f}x (job's call); costs of "
            f"{run['pairs_compared']:,} pairs within {run['max_cost_difference']:.1e} min"
            + ("" if run["costs_agree"] else " (DISAGREE)"))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--feed", default=str(FEED), help="the GTFS zip (%(default)s)")
    parser.add_argument("--rounds", type=int, default=3, help="timed rounds (%(default)s)")
    parser.add_argument("--part", choices=["job", "memory", "peer"], help=argparse.SUPPRESS)
    parser.add_argument("--congested", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.part == "job":
        print(json.dumps(job_part(args.feed, args.congested)))
    elif args.part == "memory":
        print(json.dumps(memory_part(args.feed)))
    elif args.part == "peer":
        print(json.dumps(peer_part(args.feed, args.rounds)))
    else:
        figures = run_all(args.feed, args.rounds)
        print(describe(figures))
        print(json.dumps(figures))


if __name__ == "__main__":
    main()
