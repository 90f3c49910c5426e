"""CSV files that a planner gives (GTFS tables, zones, demand), read with errors that name the
file and the line; and the CSV files the job writes.

A `Table` keeps every column as stripped text and is indexed by line number in its file (the
header is line 1), so a row keeps its line through any filtering and a message can name it.

Text is UTF-8, with or without a byte order mark; a file that is not is read as cp1252 (the
Windows code page that older feeds use), else as Latin-1, which decodes any bytes, with a note
on standard error naming the file and the encoding used. An encoding given instead is used
alone.
"""

from __future__ import annotations

import csv
import io
import os
import re
import sys
import warnings
from collections.abc import Callable, Iterable
from dataclasses import dataclass
from typing import IO, NoReturn

import numpy as np
import pandas as pd


class InputError(ValueError):
    """A file or option that the planner gave cannot be used; the message names the file and,
    where one is to blame, its line."""


def per_distinct(text: pd.Series, parse: Callable[[pd.Series], pd.Series]) -> pd.Series:
    """`parse` applied to each distinct text of the column once, spread back over its rows.
    Feed columns repeat few values (times, sequences) over many rows, and parsing text costs
    far more than looking it up."""
    codes, distinct = pd.factorize(text)
    parsed = parse(pd.Series(distinct, dtype=text.dtype)).to_numpy()
    return pd.Series(parsed[codes], index=text.index)


def among(text: pd.Series, members: Iterable[str]) -> pd.Series:
    """``text.isin(members)``, in time linear in both. pandas's own converts each member to an
    Arrow scalar in Python for Arrow-backed text: 0.14 s for the trip ids of a week-long feed."""
    listed = pd.Series(list(members) if isinstance(members, (set, frozenset)) else members,
                       dtype=text.dtype)
    codes, _ = pd.factorize(pd.concat([text, listed], ignore_index=True))
    return pd.Series(np.isin(codes[:len(text)], codes[len(text):]), index=text.index)


@dataclass(frozen=True)
class Table:
    label: str  # how messages name the file, e.g. "feed.zip/stop_times.txt"
    rows: pd.DataFrame  # text columns, indexed by line number

    def fail(self, line: object, message: str) -> NoReturn:
        raise InputError(f"{self.label} line {line}: {message}")

    def has(self, column: str) -> bool:
        return column in self.rows.columns

    def text(self, column: str, default: str = "") -> pd.Series:
        """A column, or `default` on every row where the file lacks it."""
        if column in self.rows.columns:
            return self.rows[column]
        return pd.Series(default, index=self.rows.index, dtype=object)

    def numbers(self, column: str, *, minimum: float | None = None, above: bool = False,
                empty: bool = False, most: float | None = None) -> pd.Series:
        """A column as floats; an empty cell is NaN if `empty`, else an error, as is text
        that is not a finite number, one below `minimum` (at or below it if `above`) or one
        above `most`."""
        text = self.rows[column]
        values = per_distinct(text, lambda distinct: pd.to_numeric(
            distinct.where(distinct != ""), errors="coerce").astype(float))
        bad = ~np.isfinite(values) & ((text != "") | (not empty))
        if minimum is not None:
            bad |= (values <= minimum) if above else (values < minimum)
        if most is not None:
            bad |= values > most
        if bad.any():
            line = bad.idxmax()
            need = "" if minimum is None else f" {'above' if above else 'at least'} {minimum:g}"
            if most is not None:
                need += f"{' and' if need else ''} at most {most:g}"
            self.fail(line, f"{column} {text[line]!r} is not a number{need}")
        return values


def note(message: str) -> None:
    """A one-line note on standard error about input the job reads but does not take as it
    stands."""
    print(f"vemo-plan: {message}", file=sys.stderr)


# Tried in turn after UTF-8; Latin-1 decodes any bytes, so it ends the list.
FALLBACK_ENCODINGS = ("cp1252", "latin-1")


def decoded(data: bytes, label: str, encoding: str | None = None) -> str:
    """`data` as text: in `encoding` if given, else in UTF-8 (a byte order mark or none),
    else in the first of FALLBACK_ENCODINGS that decodes it, with a note."""
    if encoding is not None:
        try:
            return data.decode(encoding).removeprefix("\ufeff")
        except UnicodeDecodeError as error:
            raise InputError(f"{label}: not {encoding} text ({error.reason} at byte "
                             f"{error.start})") from None
        except LookupError:
            raise InputError(f"{encoding!r} is not an encoding Python knows") from None
    try:
        return data.decode("utf-8-sig")
    except UnicodeDecodeError:
        pass
    for fallback in FALLBACK_ENCODINGS:
        try:
            text = data.decode(fallback)
        except UnicodeDecodeError:
            continue
        note(f"{label} is not UTF-8 text; read as {fallback}")
        return text
    raise AssertionError("Latin-1 decodes any bytes")


def read_table(source: bytes | str | os.PathLike[str] | IO[bytes], label: str,
               required: Iterable[str] = (), encoding: str | None = None) -> Table:
    """The CSV `source` (its bytes, or a path or binary file to read) as a Table, decoded as
    ``decoded`` says; `required` columns must be there. Blank lines are skipped but
    counted."""
    text = decoded(source if isinstance(source, bytes) else _read_bytes(source), label,
                   encoding)
    with warnings.catch_warnings():
        # pandas only warns when a line has more fields than the header, and drops them.
        warnings.simplefilter("error", pd.errors.ParserWarning)
        try:
            frame = pd.read_csv(io.StringIO(text), dtype=str, keep_default_na=False,
                                skip_blank_lines=False, index_col=False)
        except pd.errors.EmptyDataError:
            raise InputError(f"{label}: the file is empty; it needs a header line") from None
        except pd.errors.ParserWarning:
            raise InputError(f"{label} line {_long_line(text)}: more fields than the header "
                             f"line names") from None
        except pd.errors.ParserError as error:
            raise InputError(_parser_problem(label, str(error))) from None
    frame.columns = [str(name).strip() for name in frame.columns]
    frame = frame.apply(lambda column: column.str.strip())
    frame.index = pd.RangeIndex(2, len(frame) + 2)
    frame = frame[(frame != "").any(axis=1)]
    missing = [column for column in required if column not in frame.columns]
    if missing:
        raise InputError(f"{label}: no column {', '.join(missing)} (the header names "
                         f"{', '.join(frame.columns)})")
    return Table(label, frame)


def _parser_problem(label: str, message: str) -> str:
    """pandas's tokenizer message, with its line number put where the others have it."""
    fields = re.search(r"Expected (\d+) fields in line (\d+), saw (\d+)", message)
    if fields is not None:
        expected, line, saw = fields.groups()
        return f"{label} line {line}: {saw} fields where the header names {expected}"
    quote = re.search(r"EOF inside string starting at row (\d+)", message)
    if quote is not None:  # rows count from the header's 0
        return f"{label} line {int(quote.group(1)) + 1}: a quote that is never closed"
    return f"{label}: {' '.join(message.split())}"


def _read_bytes(source: str | os.PathLike[str] | IO[bytes]) -> bytes:
    if isinstance(source, (str, os.PathLike)):
        with open(source, "rb") as file:
            return file.read()
    return source.read()


def _long_line(text: str) -> int:
    """The line number of the first record with more fields than the header."""
    reader = csv.reader(io.StringIO(text))
    width = len(next(reader))
    return next((reader.line_num for row in reader if len(row) > width), 0)


def write_csv(path: str | os.PathLike[str], table: pd.DataFrame) -> None:
    """`table` as CSV without its index, a zero never written as -0.0."""
    floats = table.select_dtypes("floating").columns
    table.assign(**{str(column): table[column] + 0.0 for column in floats}).to_csv(
        path, index=False)
