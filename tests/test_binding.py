"""Binding of positional and keyword arguments to parameters, and the order of the checks."""
import pytest

import vemo

ARC_LIST = ("from", "to", "arc_freqs", "costs", "demands", "dsts")
CONGESTED = ([0], [1], [1.0], [1.0], [0.0, 0.0], [1], 10.0)
LINE = ([[0, 1]], [0.5], [[0, 1], [0, 0]], [[0, 1], [0, 0]], 5.0)

BINDING_ERRORS = [
    (vemo.linear_assign, (), {},
     "linear_assign() missing 6 required positional arguments: "
     "'from', 'to', 'arc_freqs', 'costs', 'demands', and 'dsts'"),
    (vemo.linear_assign, (1, 2, 3, 4, 5), {},
     "linear_assign() missing 1 required positional argument: 'dsts'"),
    (vemo.linear_assign, (1, 2, 3, 4), {},
     "linear_assign() missing 2 required positional arguments: 'demands' and 'dsts'"),
    (vemo.linear_assign, (1, 2), {"costs": 4, "dsts": 6},
     "linear_assign() missing 2 required positional arguments: 'arc_freqs' and 'demands'"),
    (vemo.mat_linear_assign, ([[0, 1]], [0.5]), {},
     "mat_linear_assign() missing 2 required positional arguments: "
     "'travel_time_mat' and 'demands_mat'"),
    (vemo.linear_congested_assign, (1, 2, 3, 4, 5, 6), {},
     "linear_congested_assign() missing 1 required positional argument: 'capacity'"),
    (vemo.mat_linear_congested_assign, (), {"beta": 1},
     "mat_linear_congested_assign() missing 5 required positional arguments: "
     "'alignments', 'freqs', 'travel_time_mat', 'demands_mat', and 'capacity'"),
    (vemo.linear_assign, tuple(range(7)), {},
     "linear_assign() takes 6 positional arguments but 7 were given"),
    (vemo.mat_linear_assign, tuple(range(5)), {},
     "mat_linear_assign() takes 4 positional arguments but 5 were given"),
    (vemo.linear_congested_assign, tuple(range(12)), {},
     "linear_congested_assign() takes from 7 to 11 positional arguments but 12 were given"),
    (vemo.mat_linear_congested_assign, tuple(range(10)), {},
     "mat_linear_congested_assign() takes from 5 to 9 positional arguments but 10 were given"),
    (vemo.linear_assign, (1, 2), {"tol": 0.1},
     "linear_assign() got an unexpected keyword argument 'tol'"),
    (vemo.linear_assign, (1, 2, 3, 4, 5, 6), {"to": 2},
     "linear_assign() got multiple values for argument 'to'"),
    # A name that cannot be encoded matches nothing, and is shown as it was given.
    (vemo.linear_assign, (), {"\udcff": 1},
     "linear_assign() got an unexpected keyword argument '\udcff'"),
    # Keywords are checked in the order given.
    (vemo.linear_assign, (1,), {"to": 2, "bogus": 3, "from": 4},
     "linear_assign() got an unexpected keyword argument 'bogus'"),
    (vemo.linear_assign, (1,), {"from": 4, "bogus": 3},
     "linear_assign() got multiple values for argument 'from'"),
    # Binding errors win over conversion errors.
    (vemo.linear_assign, ("01", 2, 3, 4, 5, 6, 7), {},
     "linear_assign() takes 6 positional arguments but 7 were given"),
    (vemo.linear_assign, ("01", 2, 3, 4, 5), {},
     "linear_assign() missing 1 required positional argument: 'dsts'"),
    (vemo.linear_assign, ("01", 2, 3, 4, 5, 6), {"tol": 1},
     "linear_assign() got an unexpected keyword argument 'tol'"),
    # The first parameter that fails to convert decides, in parameter order.
    (vemo.linear_assign, ({0}, [0], [1.0], [1.0], [0.0], "bad"), {},
     "argument 'from': 'set' object cannot be converted to 'Sequence'"),
    (vemo.linear_assign, ([0], [1], [1.0], ["x"], [0.0], {1}), {},
     "argument 'costs': must be real number, not str"),
    (vemo.linear_assign, (), {"dsts": {1}, "costs": None, "from": [0], "to": [1],
                              "arc_freqs": [1.0], "demands": [0.0]},
     "argument 'costs': 'NoneType' object cannot be converted to 'Sequence'"),
    # A supplied optional argument is converted, never replaced by its default.
    (vemo.linear_congested_assign, CONGESTED, {"beta": None},
     "argument 'beta': must be real number, not NoneType"),
    (vemo.linear_congested_assign, CONGESTED + (0.01, 0.2, 0.001, 1000.0), {},
     "argument 'max_iters': 'float' object cannot be interpreted as an integer"),
]


@pytest.mark.parametrize("call, args, kwargs, message", BINDING_ERRORS)
def test_binding_errors(call, args, kwargs, message):
    with pytest.raises(TypeError) as caught:
        call(*args, **kwargs)
    assert type(caught.value) is TypeError
    assert str(caught.value) == message


def test_negative_max_iters_is_the_interpreters_overflow_error():
    with pytest.raises(OverflowError) as caught:
        vemo.mat_linear_congested_assign(*LINE, max_iters=-1)
    assert str(caught.value) == "can't convert negative int to unsigned"


def test_all_arguments_by_keyword(worked_example):
    args, expected = worked_example
    assert vemo.linear_assign(**dict(zip(ARC_LIST, args))) == expected
    assert vemo.linear_assign(*args[:2], **dict(zip(ARC_LIST[2:], args[2:]))) == expected
