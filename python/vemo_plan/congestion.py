"""The congested loop's settings: one frozen record, checked when it is made."""

from __future__ import annotations

from dataclasses import dataclass, fields

from . import _validate as check


@dataclass(frozen=True)
class CongestionSettings:
    """How the congested loop averages its flows and when it stops.

    Attributes:
        average_decay_factor: in (0, 1]; each iteration moves the averaged flows this share of
            the way to its own.
        beta: the exponent of the effective-frequency formula, at least 0.
        tol: the loop stops once its relative gap is at most this (``inf``: no iteration).
        max_iters: the loop stops after this many iterations; 0 sets no limit.

    A value out of range raises a ValueError, one of the wrong type a TypeError; the values are
    kept as float and int.
    """

    average_decay_factor: float = 0.01
    beta: float = 0.2
    tol: float = 0.001
    max_iters: int = 1000

    def __post_init__(self) -> None:
        checked = check.congestion(self.average_decay_factor, self.beta, self.tol,
                                   self.max_iters)
        for field, value in zip(fields(self), checked):
            object.__setattr__(self, field.name, value)  # frozen: set once, here


def checked_settings(settings: object) -> CongestionSettings:
    """`settings`, or a TypeError if it is no CongestionSettings."""
    if not isinstance(settings, CongestionSettings):
        raise TypeError(f"congestion must be a CongestionSettings, not "
                        f"{type(settings).__name__}")
    return settings
