"""The console entry of vemo-plan. It lies outside the package so that it runs before vemo_plan
and the job's modules are imported, which takes a second or more: it blocks SIGINT, SIGTERM and
SIGHUP first, and the command lets them through once it answers them
(``vemo_plan.job._signals``), a signal that came meanwhile included."""

import signal

SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


def main() -> int:
    signal.pthread_sigmask(signal.SIG_BLOCK, SIGNALS)
    from vemo_plan.job.cli import main as command
    return command()
