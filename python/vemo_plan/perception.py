"""How riders weigh the parts of a trip when they choose their route."""

from __future__ import annotations

import math
from dataclasses import dataclass, fields


@dataclass(frozen=True)
class Perception:
    """Weights of the perceived cost that drives route choice; the skims stay in real minutes.

    Attributes:
        wait: minutes perceived per minute of waiting (first and transfer waits alike).
        walk: minutes perceived per minute of walking.
        boarding: minutes perceived per boarding, a penalty on each vehicle boarded.

    The default, 1, 1 and 0, is the plain cost. ``Perception.production()`` gives weights in
    the range production models use.
    """

    wait: float = 1.0
    walk: float = 1.0
    boarding: float = 0.0

    def __post_init__(self) -> None:
        for field in fields(self):
            value = getattr(self, field.name)
            low = 0.0 if field.name == "boarding" else 1.0
            if not (isinstance(value, (int, float)) and math.isfinite(value) and value >= low):
                raise ValueError(f"perception {field.name} must be a finite number of at least "
                                 f"{low:g}; it is {value!r}")

    @classmethod
    def production(cls) -> Perception:
        """Waiting and walking weighed twice, and 5 minutes a boarding: the weights of a
        regional model such as the Bay Area's or Helsinki's, rounded."""
        return cls(wait=2.0, walk=2.0, boarding=5.0)

    @property
    def plain(self) -> bool:
        """Whether the perceived cost is the plain one."""
        return self == Perception()
