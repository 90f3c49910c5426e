"""Large outputs written to files in small pieces (the job's skims.omx among them)."""

from __future__ import annotations

from . import _core


def write_pages(descriptor: int, offset: int, data: memoryview, stop: bytearray) -> int:
    """Writes the bytes of `data` at `offset` of the open file `descriptor`, 64 KiB at a time,
    with the interpreter lock released, until done or until another thread sets ``stop[0]``;
    gives the bytes written. Raises OSError for a failed write.

    Written in large calls, the bytes would land in the page cache as large folios, which a
    virtual machine that hands freed memory back to its host is slow to back again
    (docs/performance.md)."""
    return _core.write_pages(descriptor, offset, data, stop)
