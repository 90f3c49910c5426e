"""A process that has used the worker pool and then forks: the child starts a pool of its own on
first use instead of waiting on threads that do not exist there. Each scenario runs in a fresh
interpreter that reports, per forked child, its exit code, or "hung" when it had to be killed."""
import json
import os

import pytest

from sanitizers import UNDER_ASAN

PRELUDE = """
import json, multiprocessing, os, random, sys, threading, time, warnings
sys.path.insert(0, %r)
# Forking a process that has threads is the point here; Python 3.12 warns about it.
warnings.simplefilter("ignore", DeprecationWarning)
import vemo
from test_linear_assign import random_case

CASE = random_case(random.Random(7), nodes=300, arcs=1500, destinations=30)
LINE = ([[0, 1, 2]], [0.5], [[0, 10, 0], [0, 0, 20], [0, 0, 0]], [[0, 2, 1], [0, 0, 3], [0, 0, 0]])
EXPECTED = vemo.linear_assign(*CASE)  # the parent's pool is running from here on
EXPECTED_LINE = vemo.mat_linear_congested_assign(*LINE, 1.0, max_iters=3)


def works():
    return (vemo.linear_assign(*CASE) == EXPECTED
            and vemo.mat_linear_congested_assign(*LINE, 1.0, max_iters=3) == EXPECTED_LINE)


def wait_for(pid, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            return os.waitstatus_to_exitcode(status)
        time.sleep(0.01)
    os.kill(pid, 9)
    os.waitpid(pid, 0)
    return "hung"


def in_child(check):
    pid = os.fork()
    if pid == 0:
        try:
            code = 0 if check() else 1
        except BaseException:
            code = 2
        os._exit(code)
    return wait_for(pid)
""" % os.path.dirname(os.path.abspath(__file__))


def run_scenario(run_python, body):
    result = run_python(PRELUDE + body)
    assert result.returncode == 0, result.stderr
    return json.loads(result.stdout.splitlines()[-1])


def test_children_of_os_fork_use_a_pool_of_their_own(run_python):
    codes = run_scenario(run_python, """
codes = [in_child(works) for _ in range(10)]
# A grandchild: the pool is dropped at each fork, and the child's own pool is running.
codes.append(in_child(lambda: works() and in_child(works) == 0))
codes.append(0 if works() else 1)  # the parent's pool still works too
print(json.dumps(codes))
""")
    assert codes == [0] * 12


# GCC 12's AddressSanitizer does not hold its allocator's locks across fork(), so a child forked
# while another thread allocates can wait forever on a lock that no thread of the child holds.
@pytest.mark.skipif(UNDER_ASAN, reason="AddressSanitizer's allocator is not fork-safe")
def test_children_of_a_fork_while_another_thread_computes(run_python):
    codes = run_scenario(run_python, """
stop, inside, wrong = threading.Event(), threading.Event(), []

def compute():
    while not stop.is_set():
        inside.set()
        if vemo.linear_assign(*CASE) != EXPECTED:
            wrong.append(1)

thread = threading.Thread(target=compute)
thread.start()
codes = []
for _ in range(8):
    inside.wait()
    time.sleep(0.005)  # well inside a call of several milliseconds
    codes.append(in_child(works))
stop.set()
thread.join()
codes.append(len(wrong))
print(json.dumps(codes))
""")
    assert codes == [0] * 9


def test_multiprocessing_with_the_fork_start_method(run_python):
    codes = run_scenario(run_python, """
def task(index):
    return 0 if works() else 1

with multiprocessing.get_context("fork").Pool(3) as pool:
    codes = pool.map_async(task, range(9)).get(timeout=60)
print(json.dumps(codes))
""")
    assert codes == [0] * 9


@pytest.mark.parametrize("threads", ["1", "3"])
def test_fork_with_other_pool_sizes(run_python, threads, monkeypatch):
    monkeypatch.setenv("RAYON_NUM_THREADS", threads)
    codes = run_scenario(run_python, "print(json.dumps([in_child(works) for _ in range(3)]))")
    assert codes == [0] * 3
