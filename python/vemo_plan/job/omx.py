"""Zone matrices in an OpenMatrix (OMX) file, through the ``openmatrix`` package.

The layout is OMX 0.2's: an HDF5 file with the matrices under ``/data/<name>``, the zone ids
under ``/lookup/zone``, and the ``SHAPE`` and ``OMX_VERSION`` attributes. Zone ids that are
all plain integers are stored as 64-bit integers, the lookup every OMX reader takes; others as
UTF-8 strings.

The file is built in memory (HDF5's core driver, with no file behind it) and its bytes then
written by Python: a write that fails, a full disk among them, is an ordinary OSError, where
the HDF5 library failing to write a file of its own cannot be recovered from.
"""

from __future__ import annotations

import os
import uuid
from collections.abc import Mapping, Sequence

import numpy as np
import openmatrix
from numpy.typing import NDArray

from ._files import written

MAPPING = "zone"


def write_omx(path: str | os.PathLike[str], zone_ids: Sequence[str],
              matrices: Mapping[str, NDArray[np.floating]]) -> None:
    """Writes `matrices` (name -> ``(zones, zones)``, rows the origin zones) and the zone ids
    to `path`, replacing any file there once the new one is complete."""
    shape = (len(zone_ids), len(zone_ids))
    for name, matrix in matrices.items():
        if np.shape(matrix) != shape:
            raise ValueError(f"matrix {name!r} has shape {np.shape(matrix)}; expected {shape}, "
                             f"one row and column per zone")
    # The name only tells files in memory apart.
    with openmatrix.open_file(f"omx-{uuid.uuid4().hex}", "w", shape=shape, driver="core",
                              backing_store=False) as omx:
        for name, matrix in matrices.items():
            omx.create_matrix(name, obj=np.ascontiguousarray(matrix))
        omx.create_mapping(MAPPING, _lookup(zone_ids))
        omx.flush()
        image = omx.id.get_file_image()
    with written(path) as temporary:
        temporary.write_bytes(image)


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
