"""The job sending itself a signal at a chosen moment, for the tests of how it ends:

    python stopped_job.py MOMENT SIGNAL JOB_ARGUMENTS...

MOMENT is the first call of: "write_pages" (skims.omx being written), "write_text"
(line_loads.geojson being written, after skims.omx and line_loads.csv), "replace" (the new
skims.omx being renamed to its name, the first of the set); or "finaliser": a finaliser run
while skims.omx is written takes the signal, where Python drops the exception it raises. Exits
with the command's status.
"""
import os
import pathlib
import signal
import sys

from vemo_plan import _core
from vemo_plan.job.cli import main

MOMENTS = {"write_pages": (_core, "write_pages"), "write_text": (pathlib.Path, "write_text"),
           "replace": (os, "replace"), "finaliser": (_core, "write_pages")}


class Finalised:
    def __del__(self):
        os.kill(os.getpid(), SIGNAL)
        sum(range(1000))  # bytecode for the handler to run in


def signalled(original):
    def call(*args, **kwargs):
        if moment == "replace" and os.path.basename(args[1]) != "skims.omx":
            return original(*args, **kwargs)
        setattr(owner, name, original)
        if moment == "finaliser":
            Finalised()
        else:
            os.kill(os.getpid(), SIGNAL)
        return original(*args, **kwargs)
    return call


moment, SIGNAL = sys.argv[1], signal.Signals[sys.argv[2]]
owner, name = MOMENTS[moment]
setattr(owner, name, signalled(getattr(owner, name)))
raise SystemExit(main(sys.argv[3:]))
