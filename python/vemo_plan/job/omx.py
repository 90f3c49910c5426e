"""Zone matrices in an OpenMatrix (OMX) file, through the ``openmatrix`` package.

The layout is OMX 0.2's: an HDF5 file with the matrices under ``/data/<name>``, the zone ids
under ``/lookup/zone``, and the ``SHAPE`` and ``OMX_VERSION`` attributes. Zone ids that are
all plain integers are stored as 64-bit integers, the lookup every OMX reader takes; others as
UTF-8 strings.

Each matrix is stored contiguous and uncompressed, its rows one after another as in memory, so
the file is written at the speed of the disk: 763 MiB for the 14 matrices of 3,693 zones in
about 1 s, where zlib at level 1 took 4 s to make them 115 MiB. HDF5 lays the file out in
memory (``_Sketch``), the matrices' space allocated but not written; the file is then reserved
whole on the disk and every byte of it written in 64 KiB pieces (``vemo_plan.pages``), in a
thread that leaves the caller free meanwhile (``writing_omx``). A full disk is thus an ordinary
OSError before any data is written, never a failure inside the HDF5 library, which cannot be
recovered from.
"""

from __future__ import annotations

import os
import threading
from collections.abc import Iterator, Mapping, Sequence
from contextlib import contextmanager

import h5py  # type: ignore[import-untyped]
import numpy as np
import openmatrix
from numpy.typing import NDArray

from ..pages import write_pages
from . import _signals
from ._files import written

MAPPING = "zone"


def write_omx(path: str | os.PathLike[str], zone_ids: Sequence[str],
              matrices: Mapping[str, NDArray[np.floating]]) -> None:
    """Writes `matrices` (name -> ``(zones, zones)``, rows the origin zones) and the zone ids
    to `path`, replacing any file there once the new one is complete."""
    with writing_omx(path, zone_ids, matrices):
        pass


@contextmanager
def writing_omx(path: str | os.PathLike[str], zone_ids: Sequence[str],
                matrices: Mapping[str, NDArray[np.floating]]) -> Iterator[None]:
    """``write_omx`` with the bytes written by a thread of their own while the block runs: the
    disk takes them while Python does other work. The file is laid out and its space reserved
    before the block, so a bad matrix or a full disk fails first; when the block ends the
    file is complete, or, if the block fails, not written at all. `matrices` must not change
    until then."""
    pieces, size = _lay_out(zone_ids, matrices)
    with written(path) as temporary:
        descriptor = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o666)
        try:
            os.posix_fallocate(descriptor, 0, size)
            writer = _Writer(descriptor, pieces)
            try:
                yield
            except BaseException:
                writer.stop()
                raise
            writer.wait()
        finally:
            os.close(descriptor)


def _lay_out(zone_ids: Sequence[str], matrices: Mapping[str, NDArray[np.floating]]
             ) -> tuple[list[tuple[int, bytes | memoryview]], int]:
    """The file's pieces (byte offset, bytes), the matrices' among them, and its size."""
    shape = (len(zone_ids), len(zone_ids))
    for name, matrix in matrices.items():
        if np.shape(matrix) != shape:
            raise ValueError(f"matrix {name!r} has shape {np.shape(matrix)}; expected {shape}, "
                             f"one row and column per zone")
    sketch = _Sketch()
    placed: list[tuple[int, bytes | memoryview]] = []
    with openmatrix.open_file(sketch, "w", shape=shape) as omx:
        for name, matrix in matrices.items():
            dataset = omx.data.create_dataset(name, shape, np.asarray(matrix).dtype,
                                              dcpl=_allocated_unwritten())
            placed.append((dataset.id.get_offset(),
                           np.ascontiguousarray(matrix, dtype=dataset.dtype).data))
        omx.create_mapping(MAPPING, _lookup(zone_ids))
    return [*sketch.pieces, *placed], sketch.size


def read_omx(path: str | os.PathLike[str]) -> tuple[list[str], dict[str, NDArray[np.floating]]]:
    """The zone ids and the matrices of an OMX file written by ``write_omx``."""
    with openmatrix.open_file(path, "r") as omx:
        ids = [entry.decode() if isinstance(entry, bytes) else str(entry)
               for entry in omx.map_entries(MAPPING)]
        return ids, {name: np.asarray(omx[name]) for name in omx.list_matrices()}


def _lookup(zone_ids: Sequence[str]) -> NDArray[np.int64] | NDArray[np.bytes_]:
    ids = [str(zone) for zone in zone_ids]
    if all(zone.isascii() and zone.isdigit() and str(int(zone)) == zone and int(zone) < 2**63
           for zone in ids):
        return np.array([int(zone) for zone in ids], np.int64)
    return np.array([zone.encode() for zone in ids])


def _allocated_unwritten() -> h5py.h5p.PropDCID:
    """A contiguous dataset whose space is allocated when it is created and never filled."""
    dcpl = h5py.h5p.create(h5py.h5p.DATASET_CREATE)
    dcpl.set_layout(h5py.h5d.CONTIGUOUS)
    dcpl.set_alloc_time(h5py.h5d.ALLOC_TIME_EARLY)
    dcpl.set_fill_time(h5py.h5d.FILL_TIME_NEVER)
    return dcpl


class _Writer:
    """Writes the pieces to the file `descriptor` in a thread; ``stop`` is answered within one
    64 KiB write."""

    def __init__(self, descriptor: int, pieces: list[tuple[int, bytes | memoryview]]) -> None:
        self._descriptor = descriptor
        self._pieces = pieces
        self._error: BaseException | None = None
        self._stopping = bytearray(1)  # set to 1 to stop the writes
        self._thread = threading.Thread(target=self._write, name="skims.omx writer")
        self._thread.start()

    def wait(self) -> None:
        """Returns once every byte is written; raises what failed the writes."""
        try:
            self._thread.join()
        except BaseException:  # a signal's exception, raised while waiting
            self.stop()
            raise
        if self._error is not None:
            raise self._error

    def stop(self) -> None:
        """Ends the writes, whatever is left unwritten."""
        self._stopping[0] = 1
        with _signals.held():
            self._thread.join()

    def _write(self) -> None:
        try:
            for offset, data in self._pieces:
                write_pages(self._descriptor, offset, memoryview(data).cast("B"),
                            self._stopping)
        except BaseException as error:
            self._error = error


class _Sketch:
    """A file for HDF5 to lay an OMX file out in (h5py's file-object driver): it keeps the
    pieces written, in order, and the file's size, which takes in the matrices' space that is
    allocated but never written."""

    def __init__(self) -> None:
        self.pieces: list[tuple[int, bytes]] = []
        self.size = 0
        self._at = 0

    def seek(self, offset: int, whence: int = os.SEEK_SET) -> int:
        self._at = offset + {os.SEEK_SET: 0, os.SEEK_CUR: self._at, os.SEEK_END: self.size}[whence]
        return self._at

    def tell(self) -> int:
        return self._at

    def write(self, data: bytes) -> int:
        piece = bytes(data)
        self.pieces.append((self._at, piece))
        self._at += len(piece)
        self.size = max(self.size, self._at)
        return len(piece)

    def read(self, size: int = -1) -> bytes:
        buffer = bytearray(max(self.size - self._at, 0) if size < 0 else size)
        return bytes(buffer[:self.readinto(memoryview(buffer))])

    def readinto(self, buffer: memoryview) -> int:
        """What the pieces hold at the position, later pieces over earlier ones, zeros
        elsewhere."""
        view = memoryview(buffer).cast("B")
        start, end = self._at, min(self._at + len(view), self.size)
        view[:] = bytes(len(view))
        for offset, piece in self.pieces:
            low, high = max(start, offset), min(end, offset + len(piece))
            if low < high:
                view[low - start:high - start] = piece[low - offset:high - offset]
        self._at = max(start, end)
        return max(end - start, 0)

    def truncate(self, size: int) -> int:
        self.pieces = [(offset, piece[:size - offset]) for offset, piece in self.pieces
                       if offset < size]
        self.size = size
        return size

    def flush(self) -> None:
        pass
