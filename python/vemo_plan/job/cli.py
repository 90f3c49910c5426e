"""The command line: the whole job in one command.

    vemo-plan [FEED] [--day YYYYMMDD] [--start HH:MM] [--end HH:MM] [--zones CSV]
              [--demand CSV] [--congested [--capacity N]] [--dask | --scheduler ADDRESS]
              [--out DIR]

Every error is one line on standard error and a non-zero exit: 2 for a wrong command line, 1
for input that cannot be used, 130 when interrupted.
"""

from __future__ import annotations

import argparse
import re
import sys
import zipfile
from collections.abc import Callable, Sequence
from pathlib import Path
from typing import NoReturn

from .. import ComputationError
from .gtfs import parse_day
from .run import Job, run_job
from .walking import Walking

PROG = "vemo-plan"


class _UsageError(Exception):
    pass


class _Parser(argparse.ArgumentParser):
    def error(self, message: str) -> NoReturn:
        raise _UsageError(message)


def _clock(text: str) -> float:
    """HH:MM (or HH:MM:SS) as minutes after midnight; hours may pass 23."""
    match = re.fullmatch(r"(\d+):([0-5]\d)(?::([0-5]\d))?", text)
    if match is None:
        raise argparse.ArgumentTypeError(f"{text!r} is not a time HH:MM")
    hours, minutes, seconds = match.groups()
    return int(hours) * 60.0 + int(minutes) + int(seconds or 0) / 60.0


def _day(text: str) -> object:
    try:
        return parse_day(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def _number(kind: Callable[[str], float], low: float, strict: bool) -> Callable[[str], float]:
    def parse(text: str) -> float:
        try:
            value = kind(text)
        except ValueError:
            value = float("nan")
        if not (value > low if strict else value >= low) or value == float("inf"):
            raise argparse.ArgumentTypeError(
                f"{text!r} is not {'an integer' if kind is int else 'a number'} "
                f"{'above' if strict else 'at least'} {low:g}")
        return value
    return parse


def _parser() -> argparse.ArgumentParser:
    defaults, walking = Job(out=Path()), Walking()
    parser = _Parser(prog=PROG, description="Transit assignment of a GTFS feed: skims to "
                     "OpenMatrix, line loads to CSV, GeoJSON and pictures.")
    add = parser.add_argument
    add("feed", nargs="?", type=Path,
        help="GTFS zip or folder (default: the small sample feed of the package)")
    add("--day", type=_day, help="service day YYYYMMDD (default: the day with the most trips)")
    add("--start", type=_clock, default=defaults.start, help="window start HH:MM (07:00)")
    add("--end", type=_clock, default=defaults.end, help="window end HH:MM (09:00)")
    add("--zones", type=Path, help="CSV of zone_id, longitude, latitude (default: the stops)")
    add("--demand", type=Path, help="CSV of origin, destination (zone ids), trips in the window "
        "(default: a gravity model)")
    add("--trips", type=_number(float, 0, False), default=defaults.trips,
        help="gravity model: trips in the window (%(default)g)")
    add("--length-km", type=_number(float, 0, True), default=defaults.length_km,
        help="gravity model: distance scale in km (%(default)g)")
    add("--walk-metres", type=_number(float, 0, False), default=walking.transfer_metres,
        help="walks link stops this close in a straight line (%(default)g)")
    add("--connector-metres", type=_number(float, 0, False), default=walking.connector_metres,
        help="zones link to served stops this close (%(default)g)")
    add("--max-connectors", type=_number(int, 0, False), default=walking.max_connectors,
        help="zones link to at most this many stops (%(default)g)")
    add("--detour", type=_number(float, 1, False), default=walking.detour,
        help="walking distance per straight-line metre (%(default)g)")
    add("--walk-kmh", type=_number(float, 0, True), default=walking.speed_kmh,
        help="walking speed in km/h (%(default)g)")
    add("--congested", action="store_true", help="also assign with congestion")
    add("--capacity", type=_number(float, 0, True), default=defaults.vehicle_capacity,
        help="riders a vehicle carries (%(default)g)")
    add("--max-iters", type=_number(int, 1, False), default=defaults.max_iters,
        help="most congested iterations (%(default)g)")
    add("--decay", type=_number(float, 0, True), default=defaults.decay,
        help="weight of each iteration's flows in the congested average, at most 1 "
        "(%(default)g)")
    cluster = parser.add_mutually_exclusive_group()
    cluster.add_argument("--dask", action="store_true", help="run the uncongested assignment "
                         "on a Dask LocalCluster of two worker processes")
    cluster.add_argument("--scheduler", metavar="ADDRESS",
                         help="run it on the Dask cluster at this scheduler address")
    add("--out", type=Path, default=Path("vemo_plan_output"),
        help="folder for the files written (%(default)s)")
    add("--no-progress", action="store_true", help="no progress bar")
    return parser


def _job(args: argparse.Namespace) -> Job:
    if not args.end > args.start:
        raise _UsageError("--end must be after --start")
    if args.decay > 1:
        raise _UsageError(f"--decay must be at most 1: got {args.decay:g}")
    return Job(
        out=args.out, feed=args.feed, day=args.day, start=args.start, end=args.end,
        zones=args.zones, demand=args.demand, trips=args.trips, length_km=args.length_km,
        walking=Walking(transfer_metres=args.walk_metres,
                        connector_metres=args.connector_metres,
                        max_connectors=int(args.max_connectors), detour=args.detour,
                        speed_kmh=args.walk_kmh),
        congested=args.congested, vehicle_capacity=args.capacity,
        max_iters=int(args.max_iters), decay=args.decay,
        cluster=args.scheduler or ("local" if args.dask else None),
        progress=not args.no_progress)


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command line `argv` (default: the process's); returns the exit status."""
    try:
        report = run_job(_job(_parser().parse_args(argv)))
    except SystemExit as exit:  # --help
        return exit.code if isinstance(exit.code, int) else 0
    except _UsageError as error:
        return _fail(error, 2)
    except (ValueError, OSError, zipfile.BadZipFile, ComputationError) as error:
        return _fail(error, 1)
    except KeyboardInterrupt:
        return _fail("interrupted", 130)
    print("\n".join(report.summary()))
    return 0


def _fail(error: object, status: int) -> int:
    print(f"{PROG}: {' '.join(str(error).split())}", file=sys.stderr)
    return status
