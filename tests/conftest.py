import os
import subprocess
import sys
import textwrap

import pytest
from hypothesis import settings

import vemo

# Property and fuzz tests draw the same examples on every run, so a CI failure can be replayed;
# no deadline, since a call's time depends on the machine and on sanitizers.
settings.register_profile("vemo", derandomize=True, deadline=None, database=None)
settings.load_profile("vemo")

INF = float("inf")


@pytest.fixture
def worked_example():
    """Three arcs towards node 2, with its known node costs and arc flows."""
    # from, to, arc_freqs, costs, demands, dsts
    args = ([0, 0, 1], [2, 1, 2], [0.125, 0.5, INF], [12.0, 5.0, 10.0], [60.0, 0.0, 0.0], [2])
    expected = ([15.199999809265137, 10.0, 0.0], [12.0, 48.0, 48.0])
    return args, expected


@pytest.fixture(scope="session")
def panic_exception_type():
    """The PanicException type, which the module does not expose: taken from a real failure."""
    with pytest.raises(BaseException) as caught:
        vemo.linear_assign([], [], [], [], [], [])
    return caught.type


@pytest.fixture
def run_python():
    """Runs `code` in a fresh interpreter that imports the same vemo; returns the finished
    process with its captured standard output and error."""

    def run(code):
        return subprocess.run(
            [sys.executable, "-c", textwrap.dedent(code)],
            capture_output=True,
            text=True,
            timeout=120,
            env=dict(os.environ),
        )

    return run
