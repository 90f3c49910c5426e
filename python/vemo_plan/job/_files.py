"""Output files written whole or not at all, one by one or as a set.

Every file is written under a hidden temporary name beside its own and renamed when complete;
renaming and removing run with signals held (``_signals.held``), so a stopped job removes its
temporaries. A failure to write is a ``WriteError`` naming the file.
"""

from __future__ import annotations

import os
import uuid
from collections.abc import Iterable, Iterator
from contextlib import contextmanager
from pathlib import Path

from . import _signals


class WriteError(OSError):
    """A file that could not be written: ``<path>: <reason>``, e.g. no space left on device."""

    def __str__(self) -> str:
        return f"{self.filename}: {self.strerror}"


@contextmanager
def _named(target: Path, temporary: Path | None = None) -> Iterator[None]:
    """Turns an OSError of the block into a WriteError naming `target`. A WriteError naming
    another file is left as it is, unless that file is `temporary`, `target`'s stand-in."""
    try:
        yield
    except WriteError as error:
        if temporary is None or error.filename != str(temporary):
            raise
        raise WriteError(error.errno, error.strerror, str(target)) from None
    except OSError as error:
        reason = error.strerror or str(error)
        raise WriteError(error.errno, reason[:1].lower() + reason[1:], str(target)) from None


def _temporary(target: Path) -> Path:
    return target.with_name(f".{target.stem}.{uuid.uuid4().hex[:12]}{target.suffix}")


def _remove(paths: Iterable[Path]) -> None:
    with _signals.held():
        for path in paths:
            path.unlink(missing_ok=True)


@contextmanager
def written(path: str | os.PathLike[str]) -> Iterator[Path]:
    """A temporary path beside `path`, with its suffix, for the block to write: renamed to
    `path` when the block ends, removed if it fails. `path` is never left half-written, and
    an older file there stays until the new one is complete."""
    target = Path(path)
    temporary = _temporary(target)
    try:
        with _named(target):
            yield temporary
            with _signals.held():
                os.replace(temporary, target)
    finally:
        _remove([temporary])


class FileSet:
    """The files of a ``file_set``: ``file(name)`` gives the temporary path to write."""

    def __init__(self, folder: Path) -> None:
        self.folder = folder
        self._temporaries: dict[Path, Path] = {}  # target -> temporary

    @contextmanager
    def file(self, name: str) -> Iterator[Path]:
        """The temporary path of the file `name` of the folder, for the block to write."""
        target = self.folder / name
        temporary = self._temporaries.setdefault(target, _temporary(target))
        with _named(target, temporary):
            yield temporary

    @property
    def paths(self) -> list[Path]:
        """The files of the set, in the order they were first asked for."""
        return list(self._temporaries)

    def _commit(self, superseded: Iterable[str]) -> None:
        with _signals.held():
            _signals.check()
            for target, temporary in self._temporaries.items():
                with _named(target):
                    os.replace(temporary, target)
            _remove(self.folder / name for name in superseded
                    if self.folder / name not in self._temporaries)

    def _discard(self) -> None:
        _remove(self._temporaries.values())


@contextmanager
def file_set(folder: Path, superseded: Iterable[str] = ()) -> Iterator[FileSet]:
    """A set of files in `folder` (created if need be) that replaces the files there all at
    once when the block ends, the files named in `superseded` that the set lacks removed; or,
    if the block fails or a signal came, none of them. Renaming them takes a few system calls,
    signals held, so a reader may see the old and the new files side by side only meanwhile."""
    with _named(folder):
        folder.mkdir(parents=True, exist_ok=True)
    files = FileSet(folder)
    try:
        yield files
        files._commit(superseded)
    finally:
        files._discard()
