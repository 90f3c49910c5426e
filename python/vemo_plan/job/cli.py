"""The command line: the whole job in one command.

    vemo-plan [FEED] [--encoding NAME] [--day YYYYMMDD] [--start HH:MM] [--end HH:MM]
              [--zones CSV] [--demand CSV] [--congested [--congestion-model MODEL] [--capacity N]
              [--route-capacities CSV] [--tol T] [--max-iters N] [--decay D]]
              [--dask | --scheduler ADDRESS] [--out DIR]

Its options are those that the fields of ``Job`` declare (see ``options``). Every error is
one line on standard error and a non-zero exit: 2 for a wrong command line, 1 for input that
cannot be used or files that cannot be written, 128 + the signal's number when stopped by
SIGINT (130), SIGHUP (129) or SIGTERM (143). An option whose extra is not
installed fails before anything is read.
"""

from __future__ import annotations

import argparse
import importlib.util
import sys
import zipfile
from collections.abc import Iterator, Mapping, Sequence
from dataclasses import fields, replace
from typing import Any, NoReturn

from .. import ComputationError
from . import _signals
from .options import CLI, Option
from .run import Job, run_job

PROG = "vemo-plan"
# What some options need beyond the job's own packages: the modules, and the extra of
# pyproject.toml that installs them. The pictures are always drawn.
EXTRAS = [
    ("--dask and --scheduler need Dask distributed", ("dask", "distributed"), "dask",
     lambda job: job.cluster is not None),
    ("the pictures need matplotlib", ("matplotlib",), "gtfs", lambda job: job.plot != "none"),
]


class _UsageError(Exception):
    pass


class _Parser(argparse.ArgumentParser):
    def error(self, message: str) -> NoReturn:
        raise _UsageError(message)


def _declared() -> Iterator[tuple[str, Any, tuple[Option, ...]]]:
    """(dest, default, options) of each value of a Job that the command line sets: a field of
    Job, its dest its name, or a field of a record in one, its dest e.g. "walking.detour"."""
    for field in fields(Job):
        declared = field.metadata.get(CLI, ())
        if isinstance(declared, Mapping):
            for name, option in declared.items():
                yield f"{field.name}.{name}", getattr(field.default, name), (option,)
        elif declared:
            yield field.name, field.default, declared


def _parser() -> argparse.ArgumentParser:
    parser = _Parser(prog=PROG, description="Transit assignment of a GTFS feed: skims to "
                     "OpenMatrix, line loads to CSV, GeoJSON and pictures.")
    for dest, default, declared in _declared():
        group = parser.add_mutually_exclusive_group() if len(declared) > 1 else parser
        for option in declared:
            arguments: dict[str, Any] = {"help": option.help}
            if option.flag.startswith("-"):  # a positional argument's dest is its name
                arguments["dest"] = dest
            if option.parse is not None:  # a switch keeps argparse's default, its value unset
                arguments |= {"type": option.parse, "default": default}
                if option.flag.startswith("-"):  # the value is named after the flag
                    arguments["metavar"] = option.flag.lstrip("-").replace("-", "_").upper()
            group.add_argument(option.flag, **arguments | dict(option.more))
    return parser


def _job(args: argparse.Namespace) -> Job:
    values: dict[str, Any] = {}
    records: dict[str, dict[str, Any]] = {}
    for dest, _, _ in _declared():
        name, _, inner = dest.partition(".")
        if inner:
            records.setdefault(name, {})[inner] = getattr(args, dest)
        else:
            values[name] = getattr(args, dest)
    defaults = Job()
    job = Job(**values, **{name: replace(getattr(defaults, name), **changed)
                           for name, changed in records.items()})
    if not job.end > job.start:
        raise _UsageError("--end must be after --start")
    try:
        job.congestion_model()
    except ValueError as error:
        raise _UsageError(str(error)) from None
    for what, modules, extra, needed in EXTRAS:
        if needed(job) and not all(importlib.util.find_spec(name) for name in modules):
            raise _UsageError(f"{what}, which is not installed: pip install 'vemo[{extra}]'")
    return job


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command line `argv` (default: the process's); returns the exit status."""
    try:
        with _signals.answered():
            report = run_job(_job(_parser().parse_args(argv)))
            print("\n".join(report.summary()))
            _signals.check()
    except SystemExit as exit:  # --help
        return exit.code if isinstance(exit.code, int) else 0
    except _UsageError as error:
        return _fail(error, 2)
    except (ValueError, OSError, zipfile.BadZipFile, ComputationError) as error:
        return _fail(error, 1)
    except _signals.Stopped as stopped:
        return _fail(stopped, stopped.status)
    except KeyboardInterrupt:
        return _fail("interrupted", 130)
    return 0


def _fail(error: object, status: int) -> int:
    print(f"{PROG}: {' '.join(str(error).split())}", file=sys.stderr)
    return status
