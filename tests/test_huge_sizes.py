"""Sizes that no machine can hold: every call ends quickly in the documented error, and the
process goes on working."""
import re
import time

import pytest

import vemo
from sanitizers import skip_under_asan
from surface_model import ELEMENT_BYTES, FLOAT_MAT, INDEX_MAT, SIGNATURES
from test_mat_linear_assign import TWO_STOPS

INF = float("inf")
QUICK_SECONDS = 20.0
ALLOCATION_FAILED = re.compile(r"memory allocation of (\d+) bytes failed")

ONE_ARC = ([0], [1], [INF], [1.0], [0.0, 0.0], [1])
VALID_ARGUMENTS = {
    "linear_assign": ONE_ARC,
    "mat_linear_assign": TWO_STOPS,
    "linear_congested_assign": ONE_ARC + (10.0,),
    "mat_linear_congested_assign": TWO_STOPS + (10.0,),
}
SEQUENCE_PARAMETERS = [
    (name, position, kind in (INDEX_MAT, FLOAT_MAT))
    for name, (parameters, _) in SIGNATURES.items()
    for position, (_, kind) in enumerate(parameters) if kind in ELEMENT_BYTES
]


class Reported:
    """A sequence of `items` that reports `length` items."""

    def __init__(self, items, length):
        self.items, self.length = items, length

    def __len__(self):
        return self.length

    def __getitem__(self, index):
        return self.items[index]


@pytest.fixture(autouse=True)
def still_working(worked_example):
    yield
    args, expected = worked_example
    assert vemo.linear_assign(*args) == expected


def quick_panic(panic_exception_type, function, *args):
    """The message of the PanicException that function(*args) ends in, within QUICK_SECONDS."""
    start = time.perf_counter()
    with pytest.raises(panic_exception_type) as caught:
        function(*args)
    assert time.perf_counter() - start < QUICK_SECONDS
    (message,) = caught.value.args
    return message


def refused_bytes(message):
    match = ALLOCATION_FAILED.fullmatch(message)
    assert match, message
    return int(match.group(1))


@pytest.mark.parametrize("name, position, matrix", SEQUENCE_PARAMETERS)
def test_a_reported_length_of_2_to_the_62_is_a_capacity_overflow(
        name, position, matrix, panic_exception_type):
    args = list(VALID_ARGUMENTS[name])
    args[position] = Reported(args[position], 2**62)
    assert quick_panic(panic_exception_type, getattr(vemo, name), *args) == "capacity overflow"
    if matrix:  # and a row of it
        args[position] = [Reported(args[position].items[0], 2**62)]
        assert quick_panic(panic_exception_type, getattr(vemo, name), *args) == "capacity overflow"


@skip_under_asan
def test_a_reported_length_that_cannot_be_allocated(panic_exception_type):
    rows = [Reported([0.0, 10.0], 2**50), [0.0, 0.0]]
    message = quick_panic(panic_exception_type, vemo.mat_linear_assign, [[0, 1]], [0.5], rows,
                          TWO_STOPS[3])
    assert refused_bytes(message) == 4 * 2**50


@skip_under_asan
@pytest.mark.parametrize("function", [
    vemo.linear_assign,
    lambda *args: vemo.linear_congested_assign(*args, 10.0),
])
def test_a_node_index_of_2_to_the_40_is_an_allocation_failure(function, panic_exception_type):
    for frm, to in (([2**40], [1]), ([0], [2**40])):
        message = quick_panic(panic_exception_type, function, frm, to, *ONE_ARC[2:])
        assert refused_bytes(message) >= 2**40


def test_a_node_index_of_2_to_the_40_without_destinations(panic_exception_type):
    # No destination means no per-node results to allocate.
    assert vemo.linear_assign([2**40], [1], [INF], [1.0], [], []) == ([], [])
    message = quick_panic(panic_exception_type, vemo.mat_linear_assign, [[0, 2**40]],
                          *TWO_STOPS[1:])
    assert message == ("stop 1099511627776 at position 1 of line 0 is not below the stop count 2 "
                       "(the rows of travel_time_mat)")


@skip_under_asan
def test_ten_million_destinations_on_a_large_network(panic_exception_type):
    nodes = 100_000
    chain = (list(range(nodes - 1)), list(range(1, nodes)), [INF] * (nodes - 1),
             [1.0] * (nodes - 1), [0.0] * nodes)
    message = quick_panic(panic_exception_type, vemo.linear_assign, *chain, [0] * 10**7)
    assert refused_bytes(message) >= 4 * 10**7 * (nodes - 1)


def test_ten_million_destinations_with_too_few_demands(panic_exception_type):
    # The results fit (120 MB); the second destination finds no demand block.
    message = quick_panic(panic_exception_type, vemo.linear_assign, *ONE_ARC[:5], [1] * 10**7)
    assert message == "range end index 4 out of range for slice of length 2"
