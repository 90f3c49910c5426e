"""``python -m vemo_plan``: the command line of ``vemo_plan.cli``."""

from .cli import main

raise SystemExit(main())
