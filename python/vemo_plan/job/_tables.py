"""CSV files that a planner gives (GTFS tables, zones, demand), read with errors that name the
file and the line.

A `Table` keeps every column as stripped text and is indexed by line number in its file (the
header is line 1), so a row keeps its line through any filtering and a message can name it.
"""

from __future__ import annotations

import csv
import io
import os
import re
import warnings
from collections.abc import Iterable
from dataclasses import dataclass
from typing import IO, NoReturn

import numpy as np
import pandas as pd


class InputError(ValueError):
    """A file or option that the planner gave cannot be used; the message names the file and,
    where one is to blame, its line."""


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
                empty: bool = False) -> pd.Series:
        """A column as floats; an empty cell is NaN if `empty`, else an error, as is text
        that is not a finite number or one below `minimum` (at or below it if `above`)."""
        text = self.rows[column]
        values = pd.to_numeric(text.where(text != ""), errors="coerce").astype(float)
        bad = ~np.isfinite(values) & ((text != "") | (not empty))
        if minimum is not None:
            bad |= (values <= minimum) if above else (values < minimum)
        if bad.any():
            line = bad.idxmax()
            need = "" if minimum is None else f" {'above' if above else 'at least'} {minimum:g}"
            self.fail(line, f"{column} {text[line]!r} is not a number{need}")
        return values


def read_table(source: bytes | str | os.PathLike[str] | IO[bytes], label: str,
               required: Iterable[str] = ()) -> Table:
    """The CSV `source` (its bytes, or a path or binary file to read) as a Table; `required`
    columns must be there. Blank lines are skipped but counted."""
    data = source if isinstance(source, bytes) else _read_bytes(source)
    with warnings.catch_warnings():
        # pandas only warns when a line has more fields than the header, and drops them.
        warnings.simplefilter("error", pd.errors.ParserWarning)
        try:
            frame = pd.read_csv(io.BytesIO(data), dtype=str, keep_default_na=False,
                                encoding="utf-8-sig", skip_blank_lines=False, index_col=False)
        except pd.errors.EmptyDataError:
            raise InputError(f"{label}: the file is empty; it needs a header line") from None
        except pd.errors.ParserWarning:
            raise InputError(f"{label} line {_long_line(data)}: more fields than the header "
                             f"line names") from None
        except pd.errors.ParserError as error:
            raise InputError(_parser_problem(label, str(error))) from None
        except UnicodeDecodeError as error:
            raise InputError(f"{label}: not UTF-8 text ({error.reason} at byte "
                             f"{error.start})") from None
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
    if fields is None:
        return f"{label}: {' '.join(message.split())}"
    expected, line, saw = fields.groups()
    return f"{label} line {line}: {saw} fields where the header names {expected}"


def _read_bytes(source: str | os.PathLike[str] | IO[bytes]) -> bytes:
    if isinstance(source, (str, os.PathLike)):
        with open(source, "rb") as file:
            return file.read()
    return source.read()


def _long_line(data: bytes) -> int:
    """The line number of the first record with more fields than the header."""
    reader = csv.reader(io.StringIO(data.decode("utf-8-sig")))
    width = len(next(reader))
    return next((reader.line_num for row in reader if len(row) > width), 0)
