"""NumPy arrays as inputs: read from their memory, with exactly the results and errors of the
same values given as lists."""

import array
import math

import numpy as np
import pytest

import vemo

INF = math.inf
FROM, TO, FREQS, COSTS = [0, 0, 1], [2, 1, 2], [0.125, 0.5, INF], [12.0, 5.0, 10.0]
DEMANDS, DSTS = [60.0, 0.0, 7.0, 1.0, 2.0, 0.0], [2, 1]


def outcome(call):
    try:
        return ("result", call())
    except BaseException as error:  # PanicException derives from BaseException
        return (type(error).__name__, str(error))


def assign(frm=FROM, to=TO, freqs=FREQS, costs=COSTS, demands=DEMANDS, dsts=DSTS):
    return outcome(lambda: vemo.linear_assign(frm, to, freqs, costs, demands, dsts))


@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_float_arrays_give_the_list_results(dtype):
    expected = assign()
    assert assign(freqs=np.array(FREQS, dtype=dtype), costs=np.array(COSTS, dtype=dtype),
                  demands=np.array(DEMANDS, dtype=dtype)) == expected
    # float64 values that are not float32 values round exactly as a Python float would.
    fine = [0.1, 1e-50, 3.4028235677973366e38, 1e40, -1e40, np.nan]
    fine_costs = [COSTS[0] + fine[0], COSTS[1], COSTS[2]]
    assert assign(costs=np.array(fine_costs)) == assign(costs=fine_costs)


@pytest.mark.parametrize("dtype", [np.int32, np.int64, np.uint32, np.uint64, np.intc, np.longlong])
def test_integer_arrays_give_the_list_results(dtype):
    expected = assign()
    assert assign(frm=np.array(FROM, dtype=dtype), to=np.array(TO, dtype=dtype),
                  dsts=np.array(DSTS, dtype=dtype)) == expected


def test_strided_and_array_module_inputs():
    expected = assign()
    doubled = np.repeat(np.array(COSTS), 2)[::2]
    assert not doubled.flags.c_contiguous
    assert assign(costs=doubled) == expected
    # Contiguous but not aligned for its element type: read element by element.
    for values, dtype in ((FROM, np.int64), (COSTS, np.float64)):
        misaligned = np.frombuffer(b"x" + np.array(values, dtype=dtype).tobytes(), dtype, offset=1)
        assert not misaligned.flags.aligned
        key = "frm" if dtype == np.int64 else "costs"
        assert assign(**{key: misaligned}) == expected
    assert assign(frm=array.array("q", FROM), costs=array.array("f", COSTS),
                  demands=array.array("d", DEMANDS)) == expected


def test_values_the_fast_path_cannot_take_fail_as_lists_do():
    # A negative index: the interpreter's OverflowError, as for a list.
    bad = [0, -1, 1]
    assert assign(frm=np.array(bad, dtype=np.int64)) == assign(frm=bad)
    assert assign(frm=np.array(bad, dtype=np.int64))[0] == "OverflowError"
    # Long arrays are checked a run at a time: a negative index far from the start, at either
    # width, still sends the whole array the list's way.
    for dtype in (np.int32, np.int64):
        long = np.zeros(10_000, dtype=dtype)
        long[9_000] = -5
        assert assign(frm=long, to=np.ones(10_000, dtype=dtype)) == assign(
            frm=long.tolist(), to=[1] * 10_000)
    # Float arrays as indices and bool arrays: the conversion's TypeError, prefixed.
    as_floats = np.array(FROM, dtype=np.float64)
    assert assign(frm=as_floats) == assign(frm=list(as_floats))
    assert assign(frm=np.array(FROM, dtype=np.float64))[0] == "TypeError"
    assert assign(dsts=np.array([True, False])) == assign(dsts=[np.True_, np.False_])
    # Element types read through the items: float16 costs, int costs, 0-d and 2-D arrays.
    assert assign(costs=np.array(COSTS, dtype=np.float16)) == assign()
    assert assign(costs=np.array([12, 5, 10])) == assign()
    assert assign(costs=np.array(3.0)) == ("TypeError", "argument 'costs': iteration over a 0-d array")
    nested = np.array([COSTS])
    assert assign(costs=nested) == assign(costs=list(nested))


def test_subclasses_are_read_through_their_items():
    class Doubled(np.ndarray):
        def __iter__(self):
            return iter([2 * x for x in np.asarray(self)])

    costs = np.array(COSTS).view(Doubled)
    assert assign(costs=costs) == assign(costs=[2 * c for c in COSTS])


def test_matrices_from_two_dimensional_arrays():
    times = np.array([[0, 10, 30], [0, 0, 20], [0, 0, 0]], dtype=np.float64)
    demands = np.array([[0, 2, 1], [0, 0, 3], [0, 0, 0]], dtype=np.float32)
    alignments = np.array([[0, 1, 2]], dtype=np.int64)
    expected = vemo.mat_linear_assign([[0, 1, 2]], [0.5], times.tolist(), demands.tolist())
    assert vemo.mat_linear_assign(alignments, np.array([0.5]), times, demands) == expected
    assert expected[2] == 116.0


def test_round_trip_through_float32_arrays():
    costs, flows = vemo.linear_assign(np.array(FROM), np.array(TO), np.array(FREQS),
                                      np.array(COSTS), np.array(DEMANDS), np.array(DSTS))
    block = np.asarray(costs, dtype=np.float32).reshape(len(DSTS), -1)
    assert block[0].tolist() == [15.199999809265137, 10.0, 0.0]
    assert np.asarray(flows, dtype=np.float32).tolist() == flows
