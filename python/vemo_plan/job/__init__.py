"""The planner's job, from a GTFS feed to zone skims, built on the thin layer of ``vemo_plan``
(it needs pandas, matplotlib and openmatrix).

``gtfs`` reads a feed and its lines in a time window; ``walking``, ``zones`` and ``model`` build
their line network with walks and zones; ``demand`` gives a gravity or a file's demand;
``skims`` assigns it between zones; ``omx`` and ``loads`` write the results and ``pictures``
draws them; ``distributed`` spreads the destinations over a Dask cluster; ``run`` runs the
whole job and ``cli`` is its command line (``vemo-plan``, ``python -m vemo_plan``).
"""

from .run import Job, Report, run_job, sample_feed

__all__ = ["Job", "Report", "run_job", "sample_feed"]
