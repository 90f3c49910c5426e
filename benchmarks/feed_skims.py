"""The job with no option but the feed, on GTFS feeds: per feed, its lines, stops, zones and
arcs; the pairs of zones reachable, unreachable and walked alone; the trips skipped by reason;
the largest difference on a reachable pair between the cost and the sum of its six parts
(first and transfer waits, in-vehicle time, access, egress and transfer walks); and the stage
times.

    python benchmarks/feed_skims.py FEED [FEED ...]
"""

from __future__ import annotations

import sys
import tempfile
from pathlib import Path

import numpy as np

from vemo_plan.job import Job, gtfs, run_job

PARTS = ("first_wait", "transfer_wait", "in_vehicle_time", "access_walk", "egress_walk",
         "transfer_walk")


def row(feed: str) -> str:
    with tempfile.TemporaryDirectory() as out:
        report = run_job(Job(feed=Path(feed), out=Path(out)))
    skims, model = report.uncongested, report.model
    off_diagonal = ~np.eye(len(model.zones), dtype=bool)
    reached = np.isfinite(skims.cost) & off_diagonal
    walked = reached & (skims.boardings == 0)
    identity = np.abs(sum(getattr(skims, name) for name in PARTS) - skims.cost)[reached]
    skipped = gtfs.read_feed(feed).skipped
    stages = ", ".join(f"{name} {seconds:.2f}" for name, seconds in report.seconds.items())
    return (f"| {Path(feed).name} | {len(model.feed_lines.alignments)} | "
            f"{len(model.feed_lines.stop_ids)} | {len(model.zones)} | "
            f"{model.line_network.network.arc_count} | {int(reached.sum()):,} | "
            f"{int((off_diagonal & ~reached).sum()):,} | {int(walked.sum()):,} | "
            f"{', '.join(f'{len(ids)} {reason}' for reason, ids in skipped.items()) or '-'} | "
            f"{identity.max(initial=0):.1e} | {stages} |")


def main(feeds: list[str]) -> None:
    print("| feed | lines | stops | zones | arcs | reachable pairs | unreachable | walk only | "
          "skipped trips | max abs(cost - parts) | stage seconds |\n"
          "|---|---|---|---|---|---|---|---|---|---|---|", flush=True)
    for feed in feeds:
        print(row(feed), flush=True)


if __name__ == "__main__":
    main(sys.argv[1:])
