"""Ten thousand calls of the four functions, succeeding and failing: the caller's objects keep
their reference counts, and the memory of the interpreter (tracemalloc) and of the process (its
resident set) stays flat once warmed up."""
import gc
import os
import random
import sys
import tracemalloc

import vemo
from sanitizers import UNDER_ASAN
from test_linear_assign import random_case
from test_mat_linear_assign import THREE_STOPS

CALLS = 10_000
WARM_UP = 1_000
# A leak of anything a call allocates per destination or per arc would exceed these many times
# over: a successful call here makes results of about 1,800 floats.
PYTHON_GROWTH_LIMIT = 64 * 1024
RESIDENT_GROWTH_LIMIT = 8 * 1024 * 1024


class FloatRefusing:
    def __float__(self):
        raise ValueError("refused")


def fresh(value):
    """A copy of `value` whose lists and floats are new objects, referenced from nowhere else:
    the reference counts of shared ones (math.inf, a module's constants) move with the rest of
    the process."""
    if isinstance(value, (list, tuple)):
        return type(value)(fresh(item) for item in value)
    return float(repr(value)) if type(value) is float else value


def leak_calls():
    """(function, args, kwargs) for every way a call can end, on objects made for this test."""
    network = fresh(tuple(random_case(random.Random(2), nodes=60, arcs=250, destinations=6)))
    line = fresh(tuple(THREE_STOPS))
    return [
        (vemo.linear_assign, network, {}),
        (vemo.linear_assign, network[:5] + ([10**6],), {}),  # internal failure
        # ... after six destinations' results were handed back
        (vemo.linear_assign, network[:5] + (network[5] + [0],), {}),
        (vemo.linear_assign, network[:2] + (["x"],) + network[3:], {}),  # conversion error
        (vemo.linear_assign, network[:4] + ([FloatRefusing()],) + network[5:], {}),
        (vemo.linear_assign, network, {"tol": 1.0}),  # binding error
        (vemo.mat_linear_assign, line, {}),
        (vemo.mat_linear_assign, ([[0]],) + line[1:], {}),
        (vemo.linear_congested_assign, network + (30.0,), {"max_iters": 2}),
        (vemo.linear_congested_assign, network + (30.0,), {"beta": None}),
        (vemo.mat_linear_congested_assign, line + (1.0,), {"max_iters": 3}),
        (vemo.mat_linear_congested_assign, line + (1.0,), {"max_iters": -1}),
    ]


def every_object(value):
    yield value
    items = value.values() if isinstance(value, dict) else value
    if isinstance(value, (list, tuple, dict)):
        for item in items:
            yield from every_object(item)


def reference_counts(calls):
    # Small ints, True and None are shared with the whole interpreter: their counts move with it.
    return [sys.getrefcount(item) for call in calls for item in every_object(call[1:])
            if not (type(item) is int and -5 <= item <= 256)
            and item is not None and type(item) is not bool]


def call_round_robin(calls, count):
    for index in range(count):
        function, args, kwargs = calls[index % len(calls)]
        try:
            function(*args, **kwargs)
        except BaseException:
            pass


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def test_ten_thousand_calls_leak_nothing():
    calls = leak_calls()
    gc.collect()
    counts_before = reference_counts(calls)
    tracemalloc.start()
    try:
        call_round_robin(calls, WARM_UP)
        gc.collect()
        python_before, resident_before = tracemalloc.get_traced_memory()[0], resident_bytes()
        call_round_robin(calls, CALLS)
        gc.collect()
        python_after, resident_after = tracemalloc.get_traced_memory()[0], resident_bytes()
    finally:
        tracemalloc.stop()
    print(f"{CALLS} calls: traced {python_before} -> {python_after} bytes, "
          f"resident {resident_before} -> {resident_after} bytes")
    assert reference_counts(calls) == counts_before
    assert python_after - python_before < PYTHON_GROWTH_LIMIT
    # AddressSanitizer holds freed memory in quarantine, so the resident set grows regardless.
    if not UNDER_ASAN:
        assert resident_after - resident_before < RESIDENT_GROWTH_LIMIT
