"""``python -m vemo_plan``: the command line of ``vemo_plan.job.cli``."""

from _vemo_plan_cli import main

raise SystemExit(main())
