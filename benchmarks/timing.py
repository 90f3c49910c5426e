"""Timing helpers shared by the benchmarks."""

import contextlib
import math
import os
import sys
import time


def best_times(repeats, calls):
    """The best time of each named call, running them in turn so that they all see the same
    load from whatever else the machine is doing."""
    best = {name: math.inf for name in calls}
    for _ in range(repeats):
        for name, call in calls.items():
            start = time.perf_counter()
            call()
            best[name] = min(best[name], time.perf_counter() - start)
    return best


@contextlib.contextmanager
def standard_error_discarded():
    """Sends file descriptor 2, where internal failures are reported, to /dev/null."""
    sys.stderr.flush()
    saved = os.dup(2)
    with open(os.devnull, "w") as devnull:
        os.dup2(devnull.fileno(), 2)
    try:
        yield
    finally:
        os.dup2(saved, 2)
        os.close(saved)


def failing_call(call):
    """Runs a call that is meant to fail once its arguments are converted: its time is that of
    the conversions."""
    with standard_error_discarded():
        try:
            call()
        except BaseException:
            return
    raise RuntimeError("the call meant to fail after converting its arguments succeeded")
