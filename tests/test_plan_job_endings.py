"""How the job ends when its files cannot be written or a signal stops it: one line, the exit
status, and a result set replaced whole or not at all. Jobs that may crash or are signalled
run in subprocesses."""

import errno
import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

from vemo_plan.job._files import file_set
from vemo_plan.job.cli import main

HERE = Path(__file__).parent
TIMEOUT = 120


@pytest.fixture(autouse=True, scope="module")
def _children_take_signals():
    """The signals the tests send act in the children even where the runner ignores them (a
    background job ignores SIGINT): an ignored signal stays ignored across exec, a caught one
    is reset to its default. So the runner catches them with a handler that does nothing. Code
    run in the child before exec instead (preexec_fn) can deadlock on a lock another thread
    held at the fork."""
    ignored = [number for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
               if signal.getsignal(number) == signal.SIG_IGN]
    for number in ignored:
        signal.signal(number, lambda *_: None)
    yield
    for number in ignored:
        signal.signal(number, signal.SIG_IGN)


def run(arguments, **options):
    return subprocess.run(arguments, capture_output=True, text=True, timeout=TIMEOUT, cwd=HERE,
                          **options)


@pytest.fixture(scope="module")
def old_results(tmp_path_factory):
    """{name: bytes} of an earlier run's files, which differ from the default run's."""
    out = tmp_path_factory.mktemp("old") / "out"
    assert main(["--no-progress", "--out", str(out), "--trips", "1000"]) == 0
    return {path.name: path.read_bytes() for path in out.iterdir()}


def put(folder, files):
    folder.mkdir(parents=True, exist_ok=True)
    for name, content in files.items():
        (folder / name).write_bytes(content)
    return folder


def contents(folder):
    return {path.name: path.read_bytes() for path in folder.iterdir()}


def test_a_file_set_replaces_the_old_set_whole_or_not_at_all(tmp_path):
    old = {"a.csv": b"old a", "b.csv": b"old b", "c.png": b"old c"}
    put(tmp_path, old)
    with pytest.raises(KeyboardInterrupt), file_set(tmp_path, superseded=old) as files:
        with files.file("a.csv") as path:
            path.write_bytes(b"new a")
        with files.file("b.csv") as path:
            raise KeyboardInterrupt  # Ctrl-C while b.csv is written
    assert contents(tmp_path) == old
    with file_set(tmp_path, superseded=old) as files:
        for name in ("a.csv", "b.csv"):
            with files.file(name) as path:
                path.write_bytes(b"new")
    # c.png belonged to the old set only: the new one does not keep it.
    assert contents(tmp_path) == {"a.csv": b"new", "b.csv": b"new"}


def _mounted_tmpfs(folder):
    """Whether a 1 MiB tmpfs could be mounted on `folder` (root with the right to mount)."""
    folder.mkdir()
    try:
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", str(folder)],
                       check=True, capture_output=True, timeout=10)
    except (OSError, subprocess.SubprocessError):
        return False
    return True


def _fill(folder, leave_kib):
    with open(folder / "filler", "wb") as filler:
        filler.write(b"\0" * (shutil.disk_usage(folder).free - leave_kib * 1024))


# KiB left on the disk -> the file that finds it full: skims.omx (about 21 KiB) is reserved
# first; the next ones are written while its bytes are, line_loads.png (90 KiB) the largest.
LEFT = {4: "skims.omx", 8: "skims.omx", 16: "skims.omx", 48: "line_loads.png"}


def test_a_full_disk_is_one_line_and_keeps_the_old_results(tmp_path, old_results, monkeypatch,
                                                           capsys):
    disks = {kib: tmp_path / f"left_{kib}k" for kib in LEFT}
    mounted = [disk for disk in disks.values() if _mounted_tmpfs(disk)]
    try:
        if len(mounted) == len(disks):  # real full disks, in a subprocess: it may crash
            for kib, disk in disks.items():
                put(disk / "out", old_results)
                _fill(disk, kib)
            code = ("import sys; from vemo_plan.job.cli import main\n"
                    "for out in sys.argv[1:]: print(main(['--no-progress', '--out', out]))")
            ended = run([sys.executable, "-c", code, *(str(d / "out") for d in disks.values())])
            statuses, lines = ended.stdout.split(), ended.stderr.splitlines()
        else:  # no right to mount: the same failure where skims.omx's space is reserved
            def full(descriptor, offset, length):
                raise OSError(errno.ENOSPC, "No space left on device")
            disks = {4: tmp_path}
            put(tmp_path / "out", old_results)
            monkeypatch.setattr(os, "posix_fallocate", full)
            statuses = [str(main(["--no-progress", "--out", str(tmp_path / "out")]))]
            lines = capsys.readouterr().err.splitlines()
        assert statuses == ["1"] * len(disks)
        assert lines == [f"vemo-plan: {disk / 'out' / LEFT[kib]}: no space left on device"
                         for kib, disk in disks.items()]
        for disk in disks.values():
            assert contents(disk / "out") == old_results
    finally:
        for disk in mounted:
            subprocess.run(["umount", str(disk)], timeout=10)


# (moment, signal, exit status, message, whether the new results stand): see stopped_job.py.
STOPS = [
    ("write_pages", "SIGTERM", 143, "terminated (SIGTERM)", False),
    ("write_pages", "SIGHUP", 129, "hung up (SIGHUP)", False),
    ("write_text", "SIGINT", 130, "interrupted", False),  # after two new files were complete
    ("finaliser", "SIGINT", 130, "interrupted", False),  # the handler's exception dropped
    ("replace", "SIGINT", 130, "interrupted", True),  # the renaming finishes first
]


@pytest.mark.parametrize("moment, name, status, message, renewed", STOPS)
def test_a_signal_ends_the_job_with_one_result_set(tmp_path, old_results, moment, name, status,
                                                   message, renewed):
    out = put(tmp_path / "out", old_results)
    ended = run([sys.executable, str(HERE / "stopped_job.py"), moment, name, "--no-progress",
                 "--out", str(out)])
    assert (ended.returncode, ended.stderr) == (status, f"vemo-plan: {message}\n")
    now = contents(out)
    assert sorted(now) == sorted(old_results)  # no temporary left
    changed = {name for name in now if now[name] != old_results[name]}
    assert changed == (set(now) if renewed else set())


def _blocks_sigint(pid):
    """Whether process `pid`'s main thread blocks SIGINT (False once it has ended)."""
    try:
        with open(f"/proc/{pid}/status") as status:
            blocked = next(line for line in status if line.startswith("SigBlk:"))
    except (OSError, StopIteration):
        return False
    return bool(int(blocked.split()[1], 16) >> (signal.SIGINT - 1) & 1)


def test_ctrl_c_while_the_modules_load(tmp_path):
    out = tmp_path / "out"
    child = subprocess.Popen([Path(sys.executable).with_name("vemo-plan"), "--out", str(out)],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        # The console entry blocks SIGINT first thing, then imports the job: a signal sent
        # once the block shows is sent while the modules load, however fast they load.
        deadline = time.monotonic() + TIMEOUT
        while not _blocks_sigint(child.pid) and time.monotonic() < deadline:
            time.sleep(0.001)
        child.send_signal(signal.SIGINT)
        output, errors = child.communicate(timeout=TIMEOUT)
    finally:
        child.kill()
    assert (child.returncode, output, errors) == (130, "", "vemo-plan: interrupted\n")
    assert not out.exists()
