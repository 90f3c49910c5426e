"""Long calls of the four functions, for the interrupt tests: run as a script, it builds one
call, prints "ready", runs it and prints how it ended.

    python interrupted_call.py FUNCTION [custom]

ends with "interrupted T" (T the time.monotonic() at which the exception arrived), or
"finished". With "custom", SIGINT's handler raises a CustomStop of its own instead of
KeyboardInterrupt, and the line says "custom T".
"""
import signal
import sys
import time

import numpy as np

import vemo
import vemo_plan


def grid(side, seed=1):
    """Arcs both ways between the neighbours of a side x side grid, with random frequencies and
    costs: (from, to, arc_freqs, costs) as NumPy arrays."""
    ids = np.arange(side * side).reshape(side, side)
    a = np.concatenate([ids[:, :-1].ravel(), ids[:-1, :].ravel()])
    b = np.concatenate([ids[:, 1:].ravel(), ids[1:, :].ravel()])
    rng = np.random.default_rng(seed)
    count = 2 * len(a)
    freqs = rng.uniform(0.05, 0.5, count).astype(np.float32)
    costs = rng.uniform(1.0, 5.0, count).astype(np.float32)
    return np.concatenate([a, b]), np.concatenate([b, a]), freqs, costs


def grid_call(side, destinations):
    frm, to, freqs, costs = grid(side)
    nodes = side * side
    dsts = np.linspace(0, nodes - 1, destinations).astype(np.int64)
    demands = np.ones(destinations * nodes, dtype=np.float32)
    return frm, to, freqs, costs, demands, dsts


def lines_call(stops, lines, stops_per_line, seed=2):
    """A line description: `lines` lines through random stops, every stop pair in demand."""
    rng = np.random.default_rng(seed)
    alignments = [rng.choice(stops, stops_per_line, replace=False) for _ in range(lines)]
    freqs = rng.uniform(0.05, 0.3, lines).astype(np.float32)
    minutes = rng.uniform(1.0, 10.0, (stops, stops)).astype(np.float32)
    trips = np.ones((stops, stops), dtype=np.float32)
    return alignments, freqs, minutes, trips


def plan_calls(side, destinations):
    """vemo_plan's two assignments on the same grid, as (bound method, args, kwargs) makers."""
    frm, to, freqs, costs, demands, dsts = grid_call(side, destinations)
    network = vemo_plan.Network(frm, to, freqs, costs)
    trips = demands.reshape(destinations, -1)
    return network, trips, dsts


# Each would run for many seconds, most for ever (a tolerance below any gap).
CALLS = {
    "linear_assign": lambda: (vemo.linear_assign, grid_call(200, 800), {}),
    "linear_congested_assign": lambda: (
        vemo.linear_congested_assign, grid_call(60, 60) + (5.0,), {"tol": -1.0, "max_iters": 0}),
    "mat_linear_assign": lambda: (vemo.mat_linear_assign, lines_call(2000, 600, 60), {}),
    "mat_linear_congested_assign": lambda: (
        vemo.mat_linear_congested_assign, lines_call(200, 40, 20) + (5.0,),
        {"tol": -1.0, "max_iters": 0}),
    "Network.assign": lambda: (
        lambda network, trips, dsts: (network.assign, (trips, dsts), {"skims": {"c": network.cost}})
    )(*plan_calls(200, 800)),
    "Network.assign_congested": lambda: (
        lambda network, trips, dsts: (network.assign_congested, (trips, dsts, 5.0),
                                      {"model": vemo_plan.AveragingModel(tol=0.0, max_iters=0)})
    )(*plan_calls(60, 60)),
}


class CustomStop(Exception):
    pass


def stop(signum, frame):
    raise CustomStop()


def main(name, custom=False):
    function, args, kwargs = CALLS[name]()
    # A process started in the background of a shell inherits SIGINT ignored; an interactive
    # session has Python's own handler, which these calls are to answer.
    signal.signal(signal.SIGINT, stop if custom else signal.default_int_handler)
    print("ready", flush=True)
    try:
        function(*args, **kwargs)
        print("finished", flush=True)
    except KeyboardInterrupt:
        print("interrupted", time.monotonic(), flush=True)
    except CustomStop:
        print("custom", time.monotonic(), flush=True)


if __name__ == "__main__":
    main(sys.argv[1], custom=sys.argv[2:] == ["custom"])
