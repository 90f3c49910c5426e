"""Transit assignment for planners: optimal strategies, skims and line loads with NumPy.

``Network`` takes an arc list, ``LineNetwork`` a set of lines; both assign trip demand with
or without congestion and return NumPy arrays. The computation is vemo's C++ core.

From a GTFS feed to zone skims, in modules imported on their own (they need pandas, matplotlib
and openmatrix): ``gtfs`` reads a feed and its lines in a time window; ``walking``, ``zones``
and ``model`` build their line network with walks and zones; ``demand`` gives a gravity or a
file's demand; ``skims`` assigns it between zones; ``omx`` and ``loads`` write the results and
``pictures`` draws them; ``distributed`` spreads the destinations over a Dask cluster; ``job``
and ``cli`` (``python -m vemo_plan``) run the whole job.
"""

from ._core import ComputationError
from ._line_arcs import ArcKind
from .lines import LineNetwork
from .network import Network
from .results import (Assignment, CongestedAssignment, CongestedLineAssignment, CongestedLoop,
                      LineAssignment)

__version__ = "0.1.0"
__all__ = [
    "ArcKind", "Assignment", "CongestedAssignment", "CongestedLineAssignment", "CongestedLoop",
    "ComputationError", "LineAssignment", "LineNetwork", "Network",
]
