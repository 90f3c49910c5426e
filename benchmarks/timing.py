"""Helpers for timing calls that are meant to fail once their arguments are converted."""

import contextlib
import os
import sys


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
