"""Output files written whole or not at all."""

from __future__ import annotations

import os
import uuid
from collections.abc import Iterator
from contextlib import contextmanager
from pathlib import Path


@contextmanager
def written(path: str | os.PathLike[str]) -> Iterator[Path]:
    """A temporary path beside `path`, with its suffix, for the block to write: renamed to
    `path` when the block ends, removed if it fails. `path` is never left half-written, and
    an older file there stays until the new one is complete."""
    target = Path(path)
    temporary = target.with_name(f".{target.stem}.{uuid.uuid4().hex[:12]}{target.suffix}")
    try:
        yield temporary
        os.replace(temporary, target)
    finally:
        temporary.unlink(missing_ok=True)
