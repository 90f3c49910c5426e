"""The job's congested models on GTFS feeds: per feed and model, the loop's iterations, final
gap and stop reason, the congested stage's time, the peak memory of the whole run (GNU time's
maximum resident set) and the congested total cost over the uncongested one. Each run is the
job's defaults with ``--congested --congestion-model MODEL``, in a process of its own.

    python benchmarks/job_congested.py [FEED ...]     (default: the package's sample feed)
"""

from __future__ import annotations

import json
import re
import subprocess
import sys
import tempfile
from pathlib import Path

from vemo_plan.job import Job, run_job

MODELS = ("capacity", "crowding", "averaging")


def one(feed: str, model: str, out: str) -> None:
    """Runs the job once and prints its numbers as JSON."""
    report = run_job(Job(feed=None if feed == "sample" else Path(feed), congested=True,
                         congestion=model, out=Path(out)))
    assert report.congested is not None and report.congested.loop is not None
    loop = report.congested.loop
    print(json.dumps({"iterations": loop.iterations, "gap": loop.gaps[-1] if loop.gaps else 0,
                      "stop": loop.stop_reason, "seconds": report.seconds["congested"],
                      "ratio": report.congested.total_cost / report.uncongested.total_cost}))


def main(feeds: list[str]) -> None:
    print("| feed | model | iterations | final gap | stopped | congested s | peak MiB | "
          "congested / uncongested cost |\n|---|---|---|---|---|---|---|---|", flush=True)
    for feed in feeds:
        for model in MODELS:
            with tempfile.TemporaryDirectory() as out:
                run = subprocess.run(["/usr/bin/time", "-v", sys.executable, __file__, "--one",
                                      feed, model, out], capture_output=True, text=True,
                                     check=True)
            row = json.loads(run.stdout.splitlines()[-1])
            kib = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", run.stderr)[1])
            name = "sample" if feed == "sample" else feed.rsplit("/", 1)[-1]
            print(f"| {name} | {model} | {row['iterations']} | {row['gap']:.3g} | {row['stop']} "
                  f"| {row['seconds']:.2f} | {kib / 1024:.0f} | {row['ratio']:.3f} |", flush=True)


if __name__ == "__main__":
    if sys.argv[1:2] == ["--one"]:
        one(*sys.argv[2:5])
    else:
        main(sys.argv[1:] or ["sample"])
