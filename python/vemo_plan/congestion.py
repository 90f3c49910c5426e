"""The congested models: one frozen record each, its settings checked when it is made.

- ``CapacityModel``: a boarding arc loses frequency as the riders wanting to board approach the
  room left on board; solved to an equilibrium.
- ``CrowdingModel``: frequencies fixed, the time of each crowded arc raised with its load;
  solved to an equilibrium.
- ``AveragingModel``: vemo's congested loop (``vemo.linear_congested_assign``), bit for bit.
"""

from __future__ import annotations

from dataclasses import dataclass, fields
from typing import Any, ClassVar, TypeAlias

from . import _validate as check


def _keep(record: Any, values: tuple[Any, ...]) -> None:
    """Sets a frozen record's fields to their checked values, once, in __post_init__."""
    for field, value in zip(fields(record), values):
        object.__setattr__(record, field.name, value)


@dataclass(frozen=True)
class CapacityModel:
    """Effective frequencies solved to an equilibrium: every trip on a strategy that is cheapest
    under the frequencies its flows produce.

    A boarding arc of frequency ``f`` and capacity ``c`` (trips per unit of frequency) has the
    effective frequency ``f (1 - (v / (f c - T + v)) ** beta)``, ``v`` its flow and ``T`` the
    flow entering its head (the riders on board after boarding), down to a floor once ``T``
    reaches ``f c``. With ``beta = 3`` congestion acts only near capacity: at 1% of it a wait
    changes by a millionth.

    Attributes:
        beta: the exponent, at least 0.
        tol: the loop stops once its relative gap is at most this.
        max_iters: the most iterations, at least 1.
    """

    name: ClassVar[str] = "capacity"
    beta: float = 3.0
    tol: float = 1e-3
    max_iters: int = 200

    def __post_init__(self) -> None:
        _keep(self, (check.exponent(self.beta, "beta"), check.tolerance(self.tol),
                     check.iterations(self.max_iters, least=1)))


@dataclass(frozen=True)
class CrowdingModel:
    """Crowded ride times solved to an equilibrium, frequencies fixed: an arc of capacity ``c``
    (the load at which its time is ``1 + alpha`` times its own) and flow ``v`` takes
    ``cost * (1 + alpha * (v / c) ** beta)``.

    Attributes:
        alpha: at least 0.
        beta: the exponent, at least 1 (the objective is then convex).
        tol: the loop stops once its relative gap is at most this.
        max_iters: the most iterations, at least 1.
    """

    name: ClassVar[str] = "crowding"
    alpha: float = 0.15
    beta: float = 4.0
    tol: float = 1e-4
    max_iters: int = 100

    def __post_init__(self) -> None:
        alpha = check.exponent(self.alpha, "alpha")
        beta = check.exponent(self.beta, "beta")
        if beta < 1:
            raise ValueError(f"beta must be at least 1: got {beta!r}")
        _keep(self, (alpha, beta, check.tolerance(self.tol),
                     check.iterations(self.max_iters, least=1)))


@dataclass(frozen=True)
class AveragingModel:
    """vemo's congested loop: each iteration moves the flows a fixed share of the way to those
    of an assignment under the effective frequencies (``CapacityModel``'s formula), until its
    relative gap is at most ``tol``. Its gap counts waiting as flow / frequency, so it need not
    reach 0.

    Attributes:
        average_decay_factor: in (0, 1]; each iteration moves the averaged flows this share of
            the way to its own.
        beta: the exponent of the effective-frequency formula, at least 0.
        tol: the loop stops once its relative gap is at most this (``inf``: no iteration).
        max_iters: the loop stops after this many iterations; 0 sets no limit.
    """

    name: ClassVar[str] = "averaging"
    average_decay_factor: float = 0.01
    beta: float = 0.2
    tol: float = 0.001
    max_iters: int = 1000

    def __post_init__(self) -> None:
        _keep(self, (check.share(self.average_decay_factor, "average_decay_factor"),
                     check.exponent(self.beta, "beta"), check.tolerance(self.tol),
                     check.iterations(self.max_iters, least=0)))


CongestionModel: TypeAlias = CapacityModel | CrowdingModel | AveragingModel
MODELS: dict[str, type[CongestionModel]] = {
    model.name: model for model in (CapacityModel, CrowdingModel, AveragingModel)}


def congestion_model(model: object) -> CongestionModel:
    """`model` as a record: a record as it is, a name as its model's defaults."""
    if isinstance(model, (CapacityModel, CrowdingModel, AveragingModel)):
        return model
    if not isinstance(model, str):
        raise TypeError(f"model must be a model's name or record, not {type(model).__name__}")
    if model not in MODELS:
        raise ValueError(f"model must be one of {', '.join(map(repr, MODELS))}: got {model!r}")
    return MODELS[model]()
