"""OpenMatrix files: written by vemo_plan.omx, read back by openmatrix and by plain h5py in the
OMX layout, and never left half-written."""

import errno
import os

import h5py
import numpy as np
import openmatrix
import pytest

from vemo_plan import _core
from vemo_plan.job.omx import read_omx, write_omx, writing_omx
from vemo_plan.pages import write_pages

MATRICES = {"cost": np.array([[0, 1.5], [np.inf, 0]], np.float32),
            "transfers": np.array([[0, np.nan], [0.25, 0]], np.float32),
            "demand": np.array([[0, 12.5], [3, 0]]),
            # Written byte for byte: a transposed view in another byte order is stored as read.
            "boardings": np.array([[0, 2], [1, 0]], ">f4").T}


@pytest.mark.parametrize("ids, lookup", [
    (["101", "7"], np.array([101, 7], np.int64)),  # plain integers: an integer lookup
    (["007", "7"], np.array([b"007", b"7"])),  # would not survive as integers
    (["Centre", "Gare Sud"], np.array([b"Centre", b"Gare Sud"])),
])
def test_round_trip(tmp_path, ids, lookup):
    path = tmp_path / "skims.omx"
    write_omx(path, ids, MATRICES)
    assert read_omx(path)[0] == ids
    with openmatrix.open_file(path) as omx:
        assert sorted(omx.list_matrices()) == sorted(MATRICES)
        assert omx.list_mappings() == ["zone"]
        assert omx.mapping("zone")[lookup[1]] == 1
        for name, matrix in MATRICES.items():
            np.testing.assert_array_equal(np.asarray(omx[name]), matrix, err_msg=name)
            assert omx[name].dtype == matrix.dtype
    with h5py.File(path) as raw:
        assert raw.attrs["OMX_VERSION"] in (b"0.2", "0.2")
        assert list(raw.attrs["SHAPE"]) == [2, 2]
        np.testing.assert_array_equal(raw["lookup/zone"][:], lookup)
        np.testing.assert_array_equal(raw["data/cost"][:], MATRICES["cost"])
    assert [file.name for file in tmp_path.iterdir()] == ["skims.omx"]


def test_a_failed_write_leaves_the_old_file(tmp_path, monkeypatch):
    path = tmp_path / "skims.omx"
    write_omx(path, ["1", "2"], MATRICES)
    before = path.read_bytes()
    with pytest.raises(KeyboardInterrupt), writing_omx(path, ["1", "2"], MATRICES):
        raise KeyboardInterrupt  # Ctrl-C while the writer thread runs
    def failing(*_):
        raise OSError(errno.EIO, "Input/output error")
    with monkeypatch.context() as patch:
        patch.setattr(_core, "write_pages", failing)  # in the writer thread
        with pytest.raises(OSError, match=r"skims\.omx: input/output error$"):
            write_omx(path, ["1", "2"], MATRICES)
    unstorable = np.array([[object(), None], [None, None]])
    with pytest.raises(TypeError):
        write_omx(path, ["1", "2"], {"cost": MATRICES["cost"], "bad": unstorable})
    with pytest.raises(ValueError, match=r"^matrix 'cost' has shape \(2, 2\); expected \(3, 3\)"):
        write_omx(path, ["1", "2", "3"], MATRICES)
    assert path.read_bytes() == before
    assert [file.name for file in tmp_path.iterdir()] == ["skims.omx"]


def test_pages_written_across_the_writes_boundaries_until_stopped(tmp_path):
    data = np.random.default_rng(1).integers(0, 256, 2 * 65536 + 100, np.uint8).tobytes()
    path = tmp_path / "pages"
    descriptor = os.open(path, os.O_RDWR | os.O_CREAT)
    try:
        assert write_pages(descriptor, 4000, data, bytearray(1)) == len(data)
        assert write_pages(descriptor, 0, data, bytearray(b"\1")) == 0  # stopped
    finally:
        os.close(descriptor)
    assert path.read_bytes() == bytes(4000) + data
    descriptor = os.open(path, os.O_RDONLY)
    try:
        with pytest.raises(OSError) as failed:
            write_pages(descriptor, 0, data, bytearray(1))
    finally:
        os.close(descriptor)
    assert failed.value.errno == errno.EBADF
