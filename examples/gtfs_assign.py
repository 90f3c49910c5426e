"""Assign trips to the scheduled service of a GTFS feed, without and with congestion.

    python examples/gtfs_assign.py [FEED.zip] [--day YYYYMMDD] [--start HH:MM] [--end HH:MM]
                                   [--demand trips.csv] [--out DIR]

With no feed it reads the Coquimbo feed that the aequilibrae package ships (pip install
"vemo[examples]"). The service of one day in a time window becomes a line description (see
gtfs_lines.py), demand comes from a gravity model or a CSV (see stop_demand.py), and
mat_linear_assign and mat_linear_congested_assign assign it. Written to DIR:

- stop_costs.csv: expected minutes, waiting included, from stop to stop, uncongested and
  congested, for every pair the stop cost matrix holds (origin before destination in the
  numbering of line_description), with the trips of that pair;
- line_loads.csv: riders on every segment of every line in the window, both runs;
- line_loads.png: the loads on the stop map, uncongested beside congested;
- convergence.png: the congested loop's total cost and loads as the iterations go on.
"""

from __future__ import annotations

import argparse
import sys
import time
import zipfile
from importlib.metadata import PackageNotFoundError, distribution
from pathlib import Path

import numpy as np
import pandas as pd

import vemo
from gtfs_feed import busiest_day, parse_date, read_feed
from gtfs_lines import LineDescription, line_description
from line_loads import segment_loads
from load_map import draw_convergence, draw_load_maps, lat_lon_to_km
from stop_demand import csv_demand, gravity_demand

Result = tuple[list[list[float]], list[float], float]


def coquimbo_feed() -> bytes:
    """The GTFS zip inside aequilibrae's reference_files/coquimbo.zip, found through the
    package's installed file list (aequilibrae itself is not imported)."""
    try:
        outer = distribution("aequilibrae").locate_file("aequilibrae/reference_files/coquimbo.zip")
    except PackageNotFoundError:
        sys.exit("No feed given and aequilibrae is not installed: pip install 'vemo[examples]'")
    return feed_bytes(Path(str(outer)))


def feed_bytes(path: Path) -> bytes:
    """The feed's bytes; a zip that holds no stops.txt but one GTFS zip gives that inner zip."""
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        inner = [name for name in names if name.lower().endswith(".zip")]
        if not any(Path(name).name == "stops.txt" for name in names) and len(inner) == 1:
            return archive.read(inner[0])
    return path.read_bytes()


def clock_minutes(text: str) -> float:
    hours, _, mins = text.partition(":")
    return int(hours) * 60.0 + float(mins or 0)


def arguments(argv: list[str] | None) -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("feed", nargs="?", type=Path, help="GTFS zip (default: Coquimbo)")
    parser.add_argument("--day", help="service day YYYYMMDD (default: the busiest day)")
    parser.add_argument("--start", default="07:00", help="window start HH:MM (default 07:00)")
    parser.add_argument("--end", default="09:00", help="window end HH:MM (default 09:00)")
    parser.add_argument("--demand", type=Path, help="CSV: origin_stop_id, destination_stop_id, "
                        "trips (default: the gravity model)")
    parser.add_argument("--trips", type=float, default=3000.0,
                        help="gravity model: trips in the window (default 3000)")
    parser.add_argument("--length-km", type=float, default=3.0,
                        help="gravity model: distance scale in km (default 3)")
    parser.add_argument("--vehicle-capacity", type=float, default=80.0,
                        help="riders per vehicle (default 80)")
    parser.add_argument("--decay", type=float, default=0.05,
                        help="weight of the newest flows in the congested average (default 0.05)")
    parser.add_argument("--max-iters", type=int, default=400,
                        help="most congested iterations (default 400)")
    parser.add_argument("--out", type=Path, default=Path("gtfs_output"),
                        help="folder for the CSV files and pictures (default gtfs_output)")
    args = parser.parse_args(argv)
    if args.max_iters < 1:
        parser.error("--max-iters must be at least 1")
    return args


def checkpoints(max_iters: int) -> list[int]:
    """Iteration counts to stop at for the convergence picture: 1, 2, 4, ... and max_iters."""
    counts = [1 << k for k in range(max_iters.bit_length()) if 1 << k < max_iters]
    return counts + [max_iters]


def relative_distance(loads: list[list[float]], final: list[list[float]]) -> float:
    a, b = np.concatenate([np.asarray(x) for x in loads]), np.concatenate(final)
    norm = float(np.linalg.norm(b))
    return float(np.linalg.norm(a - b)) / norm if norm > 0 else 0.0


def write_stop_costs(path: Path, lines: LineDescription, demand: np.ndarray, plain: Result,
                     congested: Result) -> None:
    origin, destination = np.triu_indices(lines.stop_count, k=1)
    keep = origin > 0  # stop 0 is the placeholder
    origin, destination = origin[keep], destination[keep]
    plain_costs = np.asarray(plain[0], dtype=np.float32)
    congested_costs = np.asarray(congested[0], dtype=np.float32)
    ids = np.array(lines.stop_ids)
    pd.DataFrame({
        "origin_stop_id": ids[origin],
        "destination_stop_id": ids[destination],
        "uncongested_minutes": plain_costs[origin, destination],
        "congested_minutes": congested_costs[origin, destination],
        "trips": demand[origin, destination],
    }).to_csv(path, index=False)


def write_line_loads(path: Path, lines: LineDescription, capacity: float,
                     plain: list[list[float]], congested: list[list[float]]) -> None:
    rows = []
    for name, route, stops, freq, before, after in zip(lines.line_names, lines.route_ids,
                                                       lines.alignments, lines.freqs, plain,
                                                       congested):
        for k, (a, b) in enumerate(zip(stops, stops[1:])):
            rows.append((name, route, k, lines.stop_ids[a], lines.stop_ids[b],
                         lines.stop_names[a], lines.stop_names[b], freq * 60.0, freq * capacity,
                         before[k], after[k]))
    pd.DataFrame(rows, columns=[
        "line", "route_id", "segment", "from_stop_id", "to_stop_id", "from_stop_name",
        "to_stop_name", "runs_per_hour", "capacity", "uncongested_load", "congested_load",
    ]).to_csv(path, index=False)


def main(argv: list[str] | None = None) -> None:
    args = arguments(argv)
    feed = read_feed(feed_bytes(args.feed) if args.feed else coquimbo_feed())
    day = parse_date(args.day) if args.day else busiest_day(feed)
    start, end = clock_minutes(args.start), clock_minutes(args.end)
    lines = line_description(feed, day, start, end)
    if args.demand:
        demand, dropped = csv_demand(lines, args.demand)
        source = f"{args.demand} (rows left out, naming a stop not served: {dropped})"
    else:
        demand = gravity_demand(lines, args.trips, args.length_km)
        source = f"gravity model, {args.trips:g} trips, distance scale {args.length_km:g} km"
    # A line of f runs per minute carries f * window minutes * vehicle capacity riders.
    capacity = lines.window_minutes * args.vehicle_capacity
    description = (lines.alignments, lines.freqs, lines.travel_time_mat, demand)

    print(f"Feed {args.feed or 'Coquimbo (aequilibrae)'}: service day {day.isoformat()}, "
          f"{args.start} to {args.end}")
    print(f"  lines: {len(lines.alignments)} (stop patterns of "
          f"{len(set(lines.route_ids))} routes), runs: {sum(lines.runs)}")
    print(f"  stops: {lines.stop_count - 1}, arcs: "
          f"{sum(3 * (len(stops) - 1) for stops in lines.alignments)} in the line network")
    print(f"  demand: {source}: {demand.sum():,.0f} trips")

    clock = time.perf_counter()
    plain = vemo.mat_linear_assign(*description)
    plain_seconds = time.perf_counter() - clock
    clock = time.perf_counter()
    congested = vemo.mat_linear_congested_assign(*description, capacity, args.decay,
                                                 max_iters=args.max_iters)
    congested_seconds = time.perf_counter() - clock
    print(f"  uncongested: {plain_seconds:.3f} s, total cost {plain[2]:,.0f} rider-minutes")
    print(f"  congested (capacity {args.vehicle_capacity:g} per vehicle, at most "
          f"{args.max_iters} iterations): {congested_seconds:.3f} s, total cost "
          f"{congested[2]:,.0f} rider-minutes")

    plain_loads = segment_loads(lines.alignments, plain[1])
    congested_loads = segment_loads(lines.alignments, congested[1])
    args.out.mkdir(parents=True, exist_ok=True)
    written = [args.out / name for name in
               ("stop_costs.csv", "line_loads.csv", "line_loads.png", "convergence.png")]
    write_stop_costs(written[0], lines, demand, plain, congested)
    write_line_loads(written[1], lines, capacity, plain_loads, congested_loads)
    xy = lat_lon_to_km(lines.stop_lat, lines.stop_lon)
    draw_load_maps(written[2], xy, lines.alignments, lines.line_names,
                   [("uncongested", plain_loads), ("congested", congested_loads)],
                   title=f"Riders per line segment, {day.isoformat()} {args.start}-{args.end}",
                   unit="riders", served=range(1, lines.stop_count),
                   capacities=[freq * capacity for freq in lines.freqs])

    counts = checkpoints(args.max_iters)
    runs = [vemo.mat_linear_congested_assign(*description, capacity, args.decay, max_iters=n)
            for n in counts[:-1]] + [congested]
    draw_convergence(written[3], counts, [run[2] for run in runs],
                     [relative_distance(segment_loads(lines.alignments, run[1]), congested_loads)
                      for run in runs], plain[2],
                     title="Congested assignment by number of iterations",
                     cost_unit="rider-minutes")
    settled = next(n for n, run in zip(counts, runs) if run == congested)
    print(f"  congested results after {settled} iterations equal those after {args.max_iters}")
    print("  wrote " + ", ".join(str(path) for path in written))


if __name__ == "__main__":
    try:
        main()
    except (OSError, ValueError, zipfile.BadZipFile) as problem:  # a feed or CSV we cannot use
        sys.exit(f"{Path(sys.argv[0]).name}: {problem}")
