"""Conversion of arguments: sequences, index values and float values, and the errors of each."""
import math
import operator

import pytest

import vemo

INF = float("inf")


def read_f32(demand):
    """A demand as the module read it: the one arc carries the whole demand of its tail."""
    return vemo.linear_assign([0], [1], [INF], [1.0], [demand, 0.0], [1])[1][0]


def node_costs_towards(index):
    """The node costs of a one-arc network 0 -> index, towards `index`."""
    return vemo.linear_assign([0], [index], [INF], [1.0], [0.0] * 8, [index])[0]


def failure(call, *args):
    with pytest.raises(Exception) as caught:
        call(*args)
    return type(caught.value), str(caught.value)


class Seq:
    """A sequence whose length, iteration and items can be made to misbehave."""

    def __init__(self, items, length=None, iter_error=None, len_error=None):
        self.items = list(items)
        self.length = length
        self.iter_error = iter_error
        self.len_error = len_error

    def __len__(self):
        if self.len_error is not None:
            raise self.len_error
        return len(self.items) if self.length is None else self.length

    def __getitem__(self, index):
        return self.items[index]

    def __iter__(self):
        if self.iter_error is not None:
            raise self.iter_error
        return iter(self.items)


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        if isinstance(self.value, BaseException):
            raise self.value
        return self.value


class Float:
    def __init__(self, value):
        self.value = value

    def __float__(self):
        if isinstance(self.value, BaseException):
            raise self.value
        return self.value


def test_sequence_types_accepted():
    expected = ([2.5, 0.0], [4.0])
    assert vemo.linear_assign((0,), range(1, 2), (INF,), [2.5], (4, 0), [1]) == expected
    assert vemo.linear_assign(b"\x00", b"\x01", [INF], [2.5], [4.0, 0.0], b"\x01") == expected
    assert vemo.linear_assign(Seq([0]), Seq([1]), Seq([INF]), Seq([2.5]), Seq([4, 0]), [1]) == (
        expected
    )

    class Subclass(list):
        pass

    assert vemo.linear_assign(Subclass([0]), [1], [INF], Subclass([2.5]), [4, 0], [1]) == expected


def test_str_is_refused_at_every_level():
    assert failure(vemo.linear_assign, "01", [1], [1.0], [1.0], [0.0], [1]) == (
        TypeError, "argument 'from': Can't extract `str` to `Vec`")

    class Text(str):
        pass

    assert failure(vemo.linear_assign, [0], [1], Text("1"), [1.0], [0.0], [1]) == (
        TypeError, "argument 'arc_freqs': Can't extract `str` to `Vec`")
    assert failure(vemo.mat_linear_assign, [[0, 1]], [0.5], [[0, 1], "ab"], [[0]]) == (
        TypeError, "argument 'travel_time_mat': Can't extract `str` to `Vec`")
    assert failure(vemo.mat_linear_assign, ["01"], [0.5], [[0]], [[0]]) == (
        TypeError, "argument 'alignments': Can't extract `str` to `Vec`")


def test_non_sequences_are_named_by_their_qualified_type_name():
    class Opaque:
        pass

    assert failure(vemo.linear_assign, {0}, [1], [1.0], [1.0], [0.0], [1]) == (
        TypeError, "argument 'from': 'set' object cannot be converted to 'Sequence'")
    assert failure(vemo.linear_assign, (i for i in [0]), [1], [1.0], [1.0], [0.0], [1]) == (
        TypeError, "argument 'from': 'generator' object cannot be converted to 'Sequence'")
    assert failure(vemo.linear_assign, [0], [1], [1.0], [1.0], {0: 1.0}, [1]) == (
        TypeError, "argument 'demands': 'dict' object cannot be converted to 'Sequence'")
    assert failure(vemo.linear_assign, [0], [1], [1.0], [1.0], [0.0], Opaque()) == (
        TypeError,
        "argument 'dsts': 'test_non_sequences_are_named_by_their_qualified_type_name.<locals>."
        "Opaque' object cannot be converted to 'Sequence'")
    assert failure(vemo.mat_linear_assign, [[0, 1]], [0.5], [[0, 1], 7], [[0]]) == (
        TypeError, "argument 'travel_time_mat': 'int' object cannot be converted to 'Sequence'")
    assert failure(vemo.mat_linear_congested_assign, [[0, 1]], [0.5], [[0]], [[0]], [1.0]) == (
        TypeError, "argument 'capacity': must be real number, not list")


def test_index_values():
    assert node_costs_towards(True) == [1.0, 0.0]
    assert node_costs_towards(Index(2)) == [1.0, INF, 0.0]
    assert failure(vemo.linear_assign, [1.0], [1], [1.0], [1.0], [0.0], [1]) == (
        TypeError, "argument 'from': 'float' object cannot be interpreted as an integer")
    assert failure(vemo.linear_assign, [0], [1], [1.0], [1.0], [0.0], [None]) == (
        TypeError, "argument 'dsts': 'NoneType' object cannot be interpreted as an integer")


def test_index_values_out_of_the_unsigned_range_keep_the_interpreters_overflow_error():
    negative = failure(vemo.linear_assign, [-1], [1], [1.0], [1.0], [0.0], [1])
    assert negative == (OverflowError, "can't convert negative int to unsigned")
    too_big = failure(vemo.linear_assign, [0], [2**64], [1.0], [1.0], [0.0], [1])
    assert too_big == (OverflowError, "int too big to convert")
    assert failure(vemo.linear_assign, [Index(-5)], [1], [1.0], [1.0], [0.0], [1]) == negative


def test_the_largest_index_value_converts_exactly(panic_exception_type):
    with pytest.raises(panic_exception_type) as caught:
        vemo.linear_assign([0], [1], [INF], [1.0], [0.0, 0.0], [2**64 - 1])
    assert "18446744073709551615" in str(caught.value)


def test_float_values_round_to_nearest_32_bit_float():
    assert read_f32(0.1) == 0.10000000149011612
    assert read_f32(1 + 2**-24) == 1.0  # a tie goes to the even neighbour
    assert read_f32(1 + 3 * 2**-24) == 1 + 2**-22
    assert read_f32(1e40) == INF
    assert read_f32(-1e40) == -INF
    assert read_f32(-1.0) == -1.0
    assert math.isnan(read_f32(float("nan")))


def test_float_values_from_other_numbers():
    assert read_f32(True) == 1.0
    assert read_f32(7) == 7.0
    assert read_f32(Float(0.5)) == 0.5
    assert read_f32(Index(3)) == 3.0

    class Real(float):
        pass

    assert read_f32(Real(2.25)) == 2.25
    assert failure(read_f32, 2**1024) == (OverflowError, "int too large to convert to float")
    assert failure(read_f32, "1.0") == (TypeError, "argument 'demands': must be real number, not str")


def test_errors_of_the_callers_objects_pass_through_unless_exactly_type_error():
    class Refused(TypeError):
        pass

    assert failure(read_f32, Float(ZeroDivisionError("no float"))) == (
        ZeroDivisionError, "no float")
    assert failure(read_f32, Float(Refused("subclass"))) == (Refused, "subclass")
    assert failure(read_f32, Float(TypeError("plain"))) == (
        TypeError, "argument 'demands': plain")
    assert failure(node_costs_towards, Index(KeyError("k"))) == (KeyError, "'k'")
    with pytest.raises(TypeError) as caught:
        operator.index(Index("not an int"))
    assert failure(node_costs_towards, Index("not an int")) == (
        TypeError, "argument 'to': " + str(caught.value))


def test_iteration_errors_pass_through_unless_exactly_type_error():
    def call(dsts):
        return vemo.linear_assign([0], [1], [INF], [1.0], [0.0, 0.0], dsts)

    assert failure(call, Seq([1], iter_error=ValueError("no iter"))) == (ValueError, "no iter")
    assert failure(call, Seq([1], iter_error=TypeError("no iter"))) == (
        TypeError, "argument 'dsts': no iter")


def test_the_replacement_type_error_keeps_the_cause():
    cause = KeyError("root")
    error = TypeError("wrapped")
    error.__cause__ = cause
    with pytest.raises(TypeError) as caught:
        read_f32(Float(error))
    assert str(caught.value) == "argument 'demands': wrapped"
    assert caught.value is not error
    assert caught.value.__cause__ is cause

    with pytest.raises(TypeError) as caught:
        read_f32(Float(TypeError("no cause")))
    assert caught.value.__cause__ is None


def test_the_reported_length_only_sizes_the_reservation():
    expected = ([2.5, 0.0], [4.0])
    for demands in (
        Seq([4.0, 0.0], length=0),
        Seq([4.0, 0.0], length=1),
        Seq([4.0, 0.0], length=100),
        Seq([4.0, 0.0], len_error=ValueError("no len")),
        Seq([4.0, 0.0], len_error=TypeError("no len")),
    ):
        assert vemo.linear_assign([0], [1], [INF], [2.5], demands, [1]) == expected


def test_an_unreservable_length_is_an_internal_failure(panic_exception_type):
    with pytest.raises(panic_exception_type) as caught:
        vemo.linear_assign(Seq([0], length=2**62), [1], [INF], [2.5], [0.0, 0.0], [1])
    assert caught.value.args == ("capacity overflow",)
    with pytest.raises(panic_exception_type) as caught:
        vemo.mat_linear_assign([[0, 1]], [0.5], Seq([[0.0]], length=2**62), [[0.0]])
    assert caught.value.args == ("capacity overflow",)


def test_a_list_changed_during_conversion_reads_as_its_iterator_would():
    class Shrinking:
        def __init__(self, target):
            self.target = target

        def __index__(self):
            self.target.clear()
            return 0

    class Subclass(list):
        pass

    results = []
    for kind in (list, Subclass):
        source = kind()
        source.extend([Shrinking(source), 5, 6])
        results.append(vemo.linear_assign(source, [1], [INF], [2.5], [4.0, 0.0], [1]))
    assert results == [([2.5, 0.0], [4.0])] * 2
