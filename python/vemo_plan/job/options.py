"""The command line's options as the fields of ``Job`` declare them, and the parsers that read
and check their text. ``cli`` turns the declarations into argparse options and back."""

from __future__ import annotations

import argparse
import codecs
import math
import re
from collections.abc import Callable, Mapping
from dataclasses import dataclass, field
from typing import Any

from .gtfs import parse_day

CLI = "cli"  # the key of a field's metadata that holds its options


@dataclass(frozen=True)
class Option:
    """One option: its flag (or the name of a positional argument), its help, and `parse`,
    which reads and checks its text. Without `parse` it is a switch, whose argparse `action`
    (and `const`) `more` gives; `more` holds any other keyword of ``add_argument``."""

    flag: str
    help: str
    parse: Callable[[str], Any] | None = None
    more: Mapping[str, Any] = field(default_factory=dict)


def options(*declared: Option) -> dict[str, Any]:
    """Metadata of a field that these options set; of several, a command line takes one."""
    return {CLI: declared}


def nested(**declared: Option) -> dict[str, Any]:
    """Metadata of a field holding a record: the option that sets each named field of it."""
    return {CLI: declared}


def clock(text: str) -> float:
    """HH:MM (or HH:MM:SS) as minutes after midnight; hours may pass 23."""
    match = re.fullmatch(r"(\d+):([0-5]\d)(?::([0-5]\d))?", text)
    if match is None:
        raise argparse.ArgumentTypeError(f"{text!r} is not a time HH:MM")
    hours, minutes, seconds = match.groups()
    return int(hours) * 60.0 + int(minutes) + int(seconds or 0) / 60.0


def service_day(text: str) -> object:
    """YYYYMMDD as a date."""
    try:
        return parse_day(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def encoding(text: str) -> str:
    """The name of a text encoding that Python knows."""
    try:
        return codecs.lookup(text).name
    except LookupError:
        raise argparse.ArgumentTypeError(f"{text!r} is not an encoding Python knows") from None


def number(kind: Callable[[str], float], low: float, *, above: bool = False,
           most: float = math.inf) -> Callable[[str], float]:
    """A parser of finite `kind` (int or float) values at least `low` (above it if `above`)
    and at most `most`."""
    wanted = (f"{'an integer' if kind is int else 'a number'} {'above' if above else 'at least'} "
              f"{low:g}" + (f" and at most {most:g}" if most < math.inf else ""))

    def parse(text: str) -> float:
        try:
            value = kind(text)
        except ValueError:
            value = math.nan
        if not ((value > low if above else value >= low) and value <= most
                and value < math.inf):
            raise argparse.ArgumentTypeError(f"{text!r} is not {wanted}")
        return value
    return parse
