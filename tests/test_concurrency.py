"""Eight Python threads calling the four functions at once, succeeding and failing calls mixed:
no deadlock, every outcome the same as when the call runs alone."""
import os
import random
import threading

import vemo
from test_linear_assign import random_case
from test_linear_congested_assign import random_city
from test_mat_linear_assign import random_line_description

THREADS = 8
ROUNDS = 30
INF = float("inf")


class FloatRefusing:
    def __float__(self):
        raise ValueError("refused by the caller's object")


def mixed_calls():
    """(function, args, kwargs): each function succeeding, and failing in the computation, in
    conversion or in the caller's own object."""
    network = random_case(random.Random(5), nodes=400, arcs=2000, destinations=40)
    city = random_city(5)
    line = random_line_description(random.Random(3), 40, 12)
    return [
        (vemo.linear_assign, network, {}),
        (vemo.linear_assign, network[:5] + ([0, 10**6],), {}),
        (vemo.linear_assign, network[:3] + (["7"],) + network[4:], {}),
        (vemo.linear_assign, network[:4] + ([FloatRefusing()],) + network[5:], {}),
        (vemo.mat_linear_assign, line, {}),
        (vemo.mat_linear_assign, ([[0]],) + line[1:], {}),
        (vemo.linear_congested_assign, city + (20.0, 0.1), {"max_iters": 5}),
        (vemo.linear_congested_assign, city + (20.0,), {"beta": None}),
        (vemo.mat_linear_congested_assign, line + (5.0, 0.1), {"max_iters": 5}),
        (vemo.mat_linear_congested_assign, ([[0, 0]], [1.0], [[1.0]], [[0.0]], 5.0), {}),
    ]


def outcome(call):
    function, args, kwargs = call
    try:
        return repr(function(*args, **kwargs))
    except BaseException as error:
        return f"{type(error).__name__}{error.args!r}"


def test_threads_calling_at_once_get_their_own_outcomes():
    calls = mixed_calls()
    alone = [outcome(call) for call in calls]
    # Every kind of ending is in the mix.
    assert {text.split("(")[0] for text in alone} >= {"", "PanicException", "TypeError",
                                                        "ValueError"}
    start = threading.Barrier(THREADS, timeout=120)
    wrong = []
    finished = []

    def caller(thread):
        for round_ in range(ROUNDS):
            start.wait()  # every round begins with all threads calling together
            which = (thread + 3 * round_) % len(calls)
            if outcome(calls[which]) != alone[which]:
                wrong.append((thread, round_, which))
        finished.append(thread)

    threads = [threading.Thread(target=caller, args=(t,), daemon=True) for t in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=300)
    assert sorted(finished) == list(range(THREADS)), "a thread is stuck"
    assert wrong == []
    assert [outcome(call) for call in calls] == alone


DAEMON_AT_EXIT = """
import os, random, sys, threading, time
sys.path.insert(0, {tests!r})
import vemo
from test_linear_assign import random_case
network = random_case(random.Random(8), nodes=3000, arcs=12000, destinations=48)
started = threading.Event()

def keep_calling():
    started.set()
    while True:
        vemo.linear_assign(*network)

threading.Thread(target=keep_calling, daemon=True).start()
started.wait()
time.sleep(0.2)
"""


def test_the_interpreter_exits_cleanly_while_a_daemon_thread_is_in_a_call(run_python, monkeypatch):
    # CPython ends a daemon thread that takes the interpreter lock back during shutdown with
    # pthread_exit; through vemo's frames that aborted the process ("terminate called without
    # an active exception", exit status 134). The thread now sleeps until the process exits.
    # A thread handing results back after the interpreter's thread states are gone found no
    # state to take the lock with ("PyEval_RestoreThread: ... the current Python thread state
    # is NULL"): seen under ASan about once in 15 runs, so each thread count runs 6 times.
    tests = os.path.dirname(os.path.abspath(__file__))
    for threads in ("1", "2"):
        monkeypatch.setenv("RAYON_NUM_THREADS", threads)
        for _ in range(6):
            done = run_python(DAEMON_AT_EXIT.format(tests=tests))
            assert (done.returncode, done.stderr) == (0, ""), threads


BOTH_MODULES = """
import os
import vemo, vemo_plan

arcs = [0, 0, 1], [2, 1, 2], [0.125, 0.5, float("inf")], [12, 5, 10]
before = set(os.listdir("/proc/self/task"))  # the interpreter's and its libraries' threads
vemo.linear_assign(*arcs, [60, 0, 0, 7, 0, 9], [2, 1])
vemo_plan.Network(*arcs).assign([[60, 0, 0], [7, 0, 9]], [2, 1])
print(len(set(os.listdir("/proc/self/task")) - before))
"""


def test_both_modules_share_one_worker_pool(run_python, monkeypatch):
    # The threads the two calls started: the pool's, which each module once had of its own.
    monkeypatch.setenv("RAYON_NUM_THREADS", "2")
    done = run_python(BOTH_MODULES)
    assert (done.returncode, done.stderr, done.stdout) == (0, "", "2\n")
