"""``python -m vemo_plan``: the command line of ``vemo_plan.job.cli``."""

from .job.cli import main

raise SystemExit(main())
