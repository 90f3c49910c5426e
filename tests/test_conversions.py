"""Conversion of arguments: sequences, index values and float values, and the errors of each."""
import math
import operator

import pytest

import vemo

INF = float("inf")


def read_f32(demand):
    """A demand as the module read it: the one arc carries the whole demand of its tail."""
    return vemo.linear_assign([0], [1], [INF], [1.0], [demand, 0.0], [1])[1][0]


def with_dsts(dsts):
    return vemo.linear_assign([0], [1], [INF], [1.0], [0.0, 0.0], dsts)


def costs_towards(index):
    """The node costs of the one-arc network 0 -> index, towards `index`."""
    return vemo.linear_assign([0], [index], [INF], [1.0], [0.0] * 8, [index])[0]


def line(travel_time_mat, alignments=([0, 1],)):
    return vemo.mat_linear_assign(list(alignments), [0.5], travel_time_mat, [[0.0]])


class Seq:
    """A sequence whose length and iteration can be made to misbehave."""

    def __init__(self, items, length=None, iter_error=None, len_error=None):
        self.items, self.length = list(items), length
        self.iter_error, self.len_error = iter_error, len_error

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


class Outer:
    class Opaque:
        pass


class Text(str):
    pass


class Refused(TypeError):
    pass


def interpreter_message(convert, value):
    with pytest.raises(TypeError) as caught:
        convert(value)
    return str(caught.value)


CONVERSION_ERRORS = [
    # Sequences: a str at any level, then anything the sequence check refuses.
    (with_dsts, "01", TypeError, "argument 'dsts': Can't extract `str` to `Vec`"),
    (with_dsts, Text("1"), TypeError, "argument 'dsts': Can't extract `str` to `Vec`"),
    (line, [[0, 1], "ab"], TypeError, "argument 'travel_time_mat': Can't extract `str` to `Vec`"),
    (with_dsts, {0}, TypeError, "argument 'dsts': 'set' object cannot be converted to 'Sequence'"),
    (with_dsts, (i for i in [0]), TypeError,
     "argument 'dsts': 'generator' object cannot be converted to 'Sequence'"),
    (with_dsts, Outer.Opaque(), TypeError,
     "argument 'dsts': 'Outer.Opaque' object cannot be converted to 'Sequence'"),
    (line, [[0, 1], 7], TypeError,
     "argument 'travel_time_mat': 'int' object cannot be converted to 'Sequence'"),
    # Index values.
    (with_dsts, [1.0], TypeError,
     "argument 'dsts': 'float' object cannot be interpreted as an integer"),
    (with_dsts, [Index("x")], TypeError,
     "argument 'dsts': " + interpreter_message(operator.index, Index("x"))),
    (with_dsts, [-1], OverflowError, "can't convert negative int to unsigned"),
    (with_dsts, [Index(-5)], OverflowError, "can't convert negative int to unsigned"),
    (with_dsts, [2**64], OverflowError, "int too big to convert"),
    # Float values.
    (read_f32, "1.0", TypeError, "argument 'demands': must be real number, not str"),
    (read_f32, Float("x"), TypeError,
     "argument 'demands': " + interpreter_message(float, Float("x"))),
    (read_f32, 2**1024, OverflowError, "int too large to convert to float"),
    # The caller's own errors pass unchanged, unless they are exactly TypeError.
    (read_f32, Float(ZeroDivisionError("no float")), ZeroDivisionError, "no float"),
    (read_f32, Float(Refused("subclass")), Refused, "subclass"),
    (read_f32, Float(TypeError("plain")), TypeError, "argument 'demands': plain"),
    (costs_towards, Index(KeyError("k")), KeyError, "'k'"),
    (with_dsts, Seq([1], iter_error=ValueError("no iter")), ValueError, "no iter"),
    (with_dsts, Seq([1], iter_error=TypeError("no iter")), TypeError, "argument 'dsts': no iter"),
]


@pytest.mark.parametrize("call, value, error, message", CONVERSION_ERRORS)
def test_conversion_errors(call, value, error, message):
    with pytest.raises(BaseException) as caught:
        call(value)
    assert type(caught.value) is error
    assert str(caught.value) == message


def test_sequence_types_accepted():
    expected = ([2.5, 0.0], [4.0])
    assert vemo.linear_assign((0,), range(1, 2), (INF,), [2.5], (4, 0), [1]) == expected
    assert vemo.linear_assign(b"\x00", b"\x01", [INF], [2.5], [4.0, 0.0], b"\x01") == expected
    assert vemo.linear_assign(Seq([0]), [1], Seq([INF]), [2.5], Seq([4, 0]), [1]) == expected

    class Subclass(list):
        pass

    assert vemo.linear_assign(Subclass([0]), [1], [INF], Subclass([2.5]), [4, 0], [1]) == expected


def test_index_values_accepted(panic_exception_type):
    assert costs_towards(True) == [1.0, 0.0]
    assert costs_towards(Index(2)) == [1.0, INF, 0.0]
    # The largest value converts exactly, and only the computation finds it out of range.
    with pytest.raises(panic_exception_type) as caught:
        with_dsts([2**64 - 1])
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
    class Real(float):
        pass

    # Float(-1.0) returns the value that otherwise signals a failure of the float protocol.
    values = [True, 7, Float(0.5), Float(-1.0), Index(3), Real(2.25)]
    assert [read_f32(value) for value in values] == [1.0, 7.0, 0.5, -1.0, 3.0, 2.25]


def test_a_replacement_type_error_keeps_the_cause():
    cause = KeyError("root")
    error = TypeError("wrapped")
    error.__cause__ = cause
    with pytest.raises(TypeError) as caught:
        read_f32(Float(error))
    assert caught.value is not error
    assert caught.value.__cause__ is cause
    with pytest.raises(TypeError) as caught:
        read_f32(Float(TypeError("no cause")))
    assert caught.value.__cause__ is None


def test_the_reported_length_only_sizes_the_reservation():
    for demands in (
        Seq([4.0, 0.0], length=0),
        Seq([4.0, 0.0], length=1),
        Seq([4.0, 0.0], length=100),
        Seq([4.0, 0.0], len_error=ValueError("no len")),
        Seq([4.0, 0.0], len_error=TypeError("no len")),
    ):
        assert vemo.linear_assign([0], [1], [INF], [2.5], demands, [1]) == ([2.5, 0.0], [4.0])


def test_an_unreservable_length_is_an_internal_failure(panic_exception_type):
    for call, value in ((with_dsts, Seq([1], length=2**62)), (line, Seq([[0.0]], length=2**62))):
        with pytest.raises(panic_exception_type) as caught:
            call(value)
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
