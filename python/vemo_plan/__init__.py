"""Transit assignment for planners: optimal strategies, skims and line loads with NumPy.

``Network`` takes an arc list, ``LineNetwork`` a set of lines; both assign trip demand with
or without congestion and return NumPy arrays. The computation is vemo's C++ core.

From a GTFS feed to zone skims: the subpackage ``vemo_plan.job`` (it needs pandas, matplotlib
and openmatrix), with its command line ``vemo-plan``.
"""

from ._core import ComputationError
from ._line_arcs import ArcKind
from .congestion import AveragingModel, CapacityModel, CongestionModel, CrowdingModel
from .lines import LineNetwork
from .network import Network
from .perception import Perception
from .results import (Assignment, CongestedAssignment, CongestedLineAssignment, CongestedLoop,
                      LineAssignment)

__version__ = "0.1.0"
__all__ = [
    "ArcKind", "Assignment", "AveragingModel", "CapacityModel", "ComputationError",
    "CongestedAssignment", "CongestedLineAssignment", "CongestedLoop", "CongestionModel",
    "CrowdingModel", "LineAssignment", "LineNetwork", "Network", "Perception",
]
