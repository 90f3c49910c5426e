"""Reference counts of the caller's objects are the same after a call, whatever its outcome."""
import sys

import pytest

import vemo

INF = float("inf")


class Index:
    def __index__(self):
        return 1


class FloatFailing:
    def __float__(self):
        raise ValueError("no float")


def fresh_arguments():
    # Floats and big ints made at run time, so that no constant or cache shares them.
    big = 10**30
    return [
        [0, Index()],
        [1, 1],
        [float("inf"), float(str(0.5))],
        (float(str(2.5)), float(str(1.5))),
        [float(str(4.0)), 0.0, big - big + 0],
        [1],
    ]


def counts(objects):
    counted = []
    for item in objects:
        counted.append(sys.getrefcount(item))
        if isinstance(item, (list, tuple)):
            counted.extend(sys.getrefcount(element) for element in item)
    return counted


CASES = {
    "success": lambda args: args,
    "conversion error": lambda args: args[:3] + [["x"]] + args[4:],
    "error from the caller's object": lambda args: args[:4] + [[FloatFailing()]] + args[5:],
    "overflow": lambda args: [[-1]] + args[1:],
    # A destination far out of range, made at run time: a small int is shared by the whole
    # interpreter, so its count moves with unrelated code.
    "internal failure": lambda args: args[:5] + [[int("1000007")]],
}


@pytest.mark.parametrize("case", CASES)
def test_positional_call(case):
    args = CASES[case](fresh_arguments())
    before = counts(args)
    for _ in range(3):
        try:
            vemo.linear_assign(*args)
        except BaseException:
            pass
    assert counts(args) == before


def test_keyword_and_binding_failures():
    args = fresh_arguments()
    keywords = dict(zip(["from", "to", "arc_freqs", "costs", "demands", "dsts"], args))
    before = counts(args)
    for call in (
        lambda: vemo.linear_assign(**keywords),
        lambda: vemo.linear_assign(*args, tol=1.0),
        lambda: vemo.linear_assign(*args, dsts=args[5]),
        lambda: vemo.linear_assign(*args[:5]),
        lambda: vemo.linear_congested_assign(*args, 10.0, beta=None),
        lambda: vemo.linear_congested_assign(*args, 10.0, max_iters=2),
    ):
        try:
            call()
        except BaseException:
            pass
    assert counts(args) == before


def test_line_based_call():
    rows = [[0.0, float(str(10.0))], [0.0, 0.0]]
    args = [[[0, 1]], [float(str(0.5))], rows, [[0.0, float(str(4.0))], [0.0, 0.0]]]
    nested = [row for matrix in args for row in matrix]
    before = counts(args) + counts(nested)
    vemo.mat_linear_assign(*args)
    with pytest.raises(TypeError):
        vemo.mat_linear_assign(args[0], args[1], args[2], [[0.0], "bad"])
    assert counts(args) + counts(nested) == before


def test_results_hold_only_their_own_references(worked_example):
    args, _ = worked_example
    result = vemo.linear_assign(*args)
    assert sys.getrefcount(result) == 2
    for values in result:
        assert sys.getrefcount(values) == 3  # the tuple, the loop name and the call's argument
        for value in values:
            assert sys.getrefcount(value) == 3
