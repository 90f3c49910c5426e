"""Progress bars for long assignments: tqdm's when it is installed, none otherwise.

The core calls the callbacks below on the calling thread only, so the bar needs no lock.
"""

from __future__ import annotations

import importlib
from collections.abc import Callable, Iterator
from contextlib import contextmanager
from typing import Any


def open_bar(enabled: bool, total: int | None, unit: str) -> Any | None:
    """A tqdm bar of `total` `unit`s (open-ended if None), or None when not `enabled` or tqdm
    is not installed."""
    if not enabled:
        return None
    try:
        tqdm = importlib.import_module("tqdm").tqdm
    except ImportError:
        return None
    return tqdm(total=total, unit=unit)


@contextmanager
def destinations(enabled: bool, total: int) -> Iterator[Callable[[int], None] | None]:
    """A callback(done) for the core that moves a bar over `total` destinations, or None."""
    bar = open_bar(enabled, total, "destination")
    if bar is None:
        yield None
        return
    with bar:
        yield lambda done: bar.update(done - bar.n)


@contextmanager
def iterations(enabled: bool, max_iters: int) -> Iterator[Callable[[int, float], None] | None]:
    """A callback(iteration, gap) for the congested loop, or None. A `max_iters` of 0 sets no
    limit, so the bar has no total then."""
    bar = open_bar(enabled, max_iters or None, "iteration")
    if bar is None:
        yield None
        return

    def advance(iteration: int, gap: float) -> None:
        bar.set_postfix(gap=f"{gap:.3g}", refresh=False)
        bar.update(iteration - bar.n)

    with bar:
        yield advance
