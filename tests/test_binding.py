"""Binding of positional and keyword arguments to parameters, and the order of the checks."""
import pytest

import vemo

ARC_LIST = ("from", "to", "arc_freqs", "costs", "demands", "dsts")


def type_error(call, *args, **kwargs):
    with pytest.raises(TypeError) as caught:
        call(*args, **kwargs)
    assert type(caught.value) is TypeError
    return str(caught.value)


def test_missing_arguments_are_listed_in_parameter_order():
    assert type_error(vemo.linear_assign) == (
        "linear_assign() missing 6 required positional arguments: "
        "'from', 'to', 'arc_freqs', 'costs', 'demands', and 'dsts'"
    )
    assert type_error(vemo.linear_assign, 1, 2, 3, 4, 5) == (
        "linear_assign() missing 1 required positional argument: 'dsts'"
    )
    assert type_error(vemo.linear_assign, 1, 2, 3, 4) == (
        "linear_assign() missing 2 required positional arguments: 'demands' and 'dsts'"
    )
    assert type_error(vemo.mat_linear_assign, [[0, 1]], [0.5]) == (
        "mat_linear_assign() missing 2 required positional arguments: "
        "'travel_time_mat' and 'demands_mat'"
    )
    assert type_error(vemo.linear_congested_assign, 1, 2, 3, 4, 5, 6) == (
        "linear_congested_assign() missing 1 required positional argument: 'capacity'"
    )
    assert type_error(vemo.mat_linear_congested_assign, beta=1) == (
        "mat_linear_congested_assign() missing 5 required positional arguments: "
        "'alignments', 'freqs', 'travel_time_mat', 'demands_mat', and 'capacity'"
    )


def test_missing_arguments_skip_those_given_by_keyword():
    assert type_error(vemo.linear_assign, 1, 2, costs=4, dsts=6) == (
        "linear_assign() missing 2 required positional arguments: 'arc_freqs' and 'demands'"
    )


def test_too_many_positional_arguments():
    assert type_error(vemo.linear_assign, *range(7)) == (
        "linear_assign() takes 6 positional arguments but 7 were given"
    )
    assert type_error(vemo.mat_linear_assign, *range(5)) == (
        "mat_linear_assign() takes 4 positional arguments but 5 were given"
    )
    assert type_error(vemo.linear_congested_assign, *range(12)) == (
        "linear_congested_assign() takes from 7 to 11 positional arguments but 12 were given"
    )
    assert type_error(vemo.mat_linear_congested_assign, *range(10)) == (
        "mat_linear_congested_assign() takes from 5 to 9 positional arguments but 10 were given"
    )


def test_keywords():
    assert type_error(vemo.linear_assign, 1, 2, tol=0.1) == (
        "linear_assign() got an unexpected keyword argument 'tol'"
    )
    assert type_error(vemo.linear_assign, 1, 2, 3, 4, 5, 6, to=2) == (
        "linear_assign() got multiple values for argument 'to'"
    )
    # A name that cannot be encoded matches nothing, and is shown as it was given.
    assert type_error(vemo.linear_assign, **{"\udcff": 1}) == (
        "linear_assign() got an unexpected keyword argument '\udcff'"
    )


def test_keywords_are_checked_in_the_order_given():
    assert type_error(vemo.linear_assign, 1, **{"to": 2, "bogus": 3, "from": 4}) == (
        "linear_assign() got an unexpected keyword argument 'bogus'"
    )
    assert type_error(vemo.linear_assign, 1, **{"from": 4, "bogus": 3}) == (
        "linear_assign() got multiple values for argument 'from'"
    )


def test_all_arguments_by_keyword(worked_example):
    args, expected = worked_example
    assert vemo.linear_assign(**dict(zip(ARC_LIST, args))) == expected
    assert vemo.linear_assign(*args[:2], **dict(zip(ARC_LIST[2:], args[2:]))) == expected


def test_binding_errors_win_over_conversion_errors():
    assert type_error(vemo.linear_assign, "01", 2, 3, 4, 5, 6, 7) == (
        "linear_assign() takes 6 positional arguments but 7 were given"
    )
    assert type_error(vemo.linear_assign, "01", 2, 3, 4, 5) == (
        "linear_assign() missing 1 required positional argument: 'dsts'"
    )
    assert type_error(vemo.linear_assign, "01", 2, 3, 4, 5, 6, tol=1) == (
        "linear_assign() got an unexpected keyword argument 'tol'"
    )


def test_the_first_failing_parameter_decides():
    assert type_error(vemo.linear_assign, {0}, [0], [1.0], [1.0], [0.0], "bad") == (
        "argument 'from': 'set' object cannot be converted to 'Sequence'"
    )
    assert type_error(vemo.linear_assign, [0], [1], [1.0], ["x"], [0.0], {1}) == (
        "argument 'costs': must be real number, not str"
    )
    # Keyword order does not matter: parameters are converted in their own order.
    assert type_error(vemo.linear_assign, dsts={1}, costs=None, **{"from": [0]}, to=[1],
                      arc_freqs=[1.0], demands=[0.0]) == (
        "argument 'costs': 'NoneType' object cannot be converted to 'Sequence'"
    )


def test_optional_parameters_given_but_invalid_are_not_replaced_by_defaults():
    base = ([0], [1], [1.0], [1.0], [0.0, 0.0], [1], 10.0)
    assert type_error(vemo.linear_congested_assign, *base, beta=None) == (
        "argument 'beta': must be real number, not NoneType"
    )
    assert type_error(vemo.linear_congested_assign, *base, 0.01, 0.2, 0.001, 1000.0) == (
        "argument 'max_iters': 'float' object cannot be interpreted as an integer"
    )
    with pytest.raises(OverflowError) as caught:
        vemo.mat_linear_congested_assign([[0, 1]], [0.5], [[0, 1], [0, 0]], [[0, 1], [0, 0]], 5.0,
                                         max_iters=-1)
    assert str(caught.value) == "can't convert negative int to unsigned"
