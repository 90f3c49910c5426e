"""How the command ends on SIGINT, SIGTERM or SIGHUP: ``Stopped`` is raised in the main thread
and unwinds the job, each file being written removing its temporary on the way out.

Python runs a signal handler between any two bytecodes of the main thread, finalisers included,
where an exception is printed and dropped. So the handler also records the signal, and the job
raises it again at its checkpoints (``check``): between stages and before its files are renamed.
Inside ``held()`` (renaming and removing files) the handler only records it.
"""

from __future__ import annotations

import signal
import sys
import threading
from collections.abc import Iterator
from contextlib import contextmanager
from types import FrameType
from typing import Any

from _vemo_plan_cli import SIGNALS

_ENDINGS = {signal.SIGINT: "interrupted", signal.SIGTERM: "terminated (SIGTERM)",
            signal.SIGHUP: "hung up (SIGHUP)"}


class Stopped(KeyboardInterrupt):
    """The job was stopped by the signal `signum`."""

    def __init__(self, signum: int) -> None:
        super().__init__(signum)
        self.signum = signum

    def __str__(self) -> str:
        return _ENDINGS[signal.Signals(self.signum)]

    @property
    def status(self) -> int:
        """The exit status of a process ended by the signal: 128 + its number."""
        return 128 + self.signum


class _State:
    received: int | None = None  # the first signal since ``answered()`` began
    holding = 0  # depth of ``held()`` blocks


def _stop(signum: int, frame: FrameType | None) -> None:
    if _State.received is None:
        _State.received = signum
    if not _State.holding:
        raise Stopped(signum)


def _unraisable(previous: Any) -> Any:
    """An unraisable-exception hook that drops ``Stopped``: ``check`` raises it again."""
    def hook(unraisable: Any) -> None:
        if not isinstance(unraisable.exc_value, Stopped):
            previous(unraisable)
    return hook


@contextmanager
def answered() -> Iterator[None]:
    """Answers SIGINT, SIGTERM and SIGHUP with ``Stopped`` for the block, then restores the
    handlers before it. Signals the process ignores (``nohup``, a background job's SIGINT) stay
    ignored. Signals blocked by the console entry while the modules loaded are let through here,
    and a signal already pending arrives as ``Stopped`` at once. Outside the main thread,
    where Python cannot handle signals, it does nothing."""
    if threading.current_thread() is not threading.main_thread():
        yield
        return
    previous = {number: signal.getsignal(number) for number in SIGNALS}
    hook = sys.unraisablehook
    _State.received, _State.holding = None, 0
    mask = signal.pthread_sigmask(signal.SIG_BLOCK, ())
    try:
        for number, handler in previous.items():
            if handler != signal.SIG_IGN:
                signal.signal(number, _stop)
        sys.unraisablehook = _unraisable(hook)
        signal.pthread_sigmask(signal.SIG_UNBLOCK, SIGNALS)
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, mask)
        for number, handler in previous.items():
            signal.signal(number, handler if handler is not None else signal.SIG_DFL)
        sys.unraisablehook = hook
        _State.received = None


def check() -> None:
    """Raises ``Stopped`` if a signal arrived since ``answered()`` began."""
    if _State.received is not None:
        raise Stopped(_State.received)


@contextmanager
def held() -> Iterator[None]:
    """Runs the block to its end whatever signal arrives: a signal then only raises at the next
    ``check``."""
    _State.holding += 1
    try:
        yield
    finally:
        _State.holding -= 1
