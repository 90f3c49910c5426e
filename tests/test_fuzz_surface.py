"""Argument lists of every wrong shape and type, for all four functions.

Every call must end in a result of the right shape, in exactly the binding or conversion error
that the plain model of the surface predicts (which includes the exceptions that the caller's own
objects raise), or in PanicException: never a crash, a hang or a SystemError.
"""
import random

import pytest
from hypothesis import event, given, settings
from hypothesis import strategies as st

import vemo
from surface_model import (FLOAT, FLOAT_MAT, FLOAT_SEQ, INDEX, INDEX_MAT, INDEX_SEQ, SIGNATURES,
                           ExpectedPanic, expected_conversion)
from test_mat_linear_assign import random_line_description

EXAMPLES_PER_FUNCTION = 400


class Hostile(Exception):
    """Raised by the caller's objects below."""


class HostileBase(BaseException):
    """Raised by the caller's objects below; not an Exception, yet it must pass through too."""


ERRORS = st.sampled_from([Hostile, HostileBase, TypeError, ValueError, OverflowError])


def raise_or_return(value, protocol):
    if isinstance(value, type) and issubclass(value, BaseException):
        raise value(f"raised by {protocol}")
    return value


class Index:
    """__index__ returns `value` (of any type) or raises it when it is an exception type."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return raise_or_return(self.value, "__index__")

    def __repr__(self):
        return f"Index({self.value!r})"


class Float:
    """__float__ returns `value` (of any type) or raises it when it is an exception type."""

    def __init__(self, value):
        self.value = value

    def __float__(self):
        return raise_or_return(self.value, "__float__")

    def __repr__(self):
        return f"Float({self.value!r})"


class Seq:
    """A sequence of `items` whose __len__ reports `length` (any value, or an exception type to
    raise) and whose iteration raises `error` after `good` items (in __iter__ itself if `good`
    is -1; if it is -2, __iter__ returns something that is not an iterator)."""

    def __init__(self, items, length=None, error=None, good=0):
        self.items, self.length, self.error, self.good = items, length, error, good

    def __len__(self):
        return len(self.items) if self.length is None else raise_or_return(self.length, "__len__")

    def __getitem__(self, index):
        return self.items[index]

    def __iter__(self):
        if self.error is None:
            return iter(self.items)
        if self.good == -2:
            return self.items
        if self.good == -1:
            raise self.error("raised by __iter__")
        return self._failing_iteration()

    def _failing_iteration(self):
        yield from self.items[:self.good]
        raise self.error("raised during iteration")

    def __repr__(self):
        return f"Seq({self.items!r}, {self.length!r}, {self.error!r}, {self.good})"


JUNK = st.one_of(st.none(), st.text(max_size=3), st.binary(max_size=3), st.builds(object),
                 st.dictionaries(st.integers(0, 2), st.integers(0, 2), max_size=2),
                 st.sets(st.integers(0, 2), max_size=2), st.complex_numbers(max_magnitude=2))

# Valid indices stay small; the huge ones (2**62 and up) are refused before any allocation,
# whereas one in between could ask for more memory than the machine has.
GOOD_INDICES = st.one_of(st.integers(0, 5), st.just(True), st.builds(Index, st.integers(0, 5)))
INDEX_ITEMS = st.one_of(
    GOOD_INDICES,
    st.sampled_from([-1, -2**63, 2**62, 2**63, 2**64 - 1, 2**64, 2**100]),
    st.floats(), JUNK,
    st.builds(Index, st.one_of(st.sampled_from([-1, 2**64, "3", 1.5]), ERRORS)),
)
GOOD_FLOATS = st.one_of(st.floats(), st.integers(-3, 100), st.sampled_from([True, 1e40]),
                        st.builds(Float, st.floats()), st.builds(Index, st.integers(-2, 5)))
FLOAT_ITEMS = st.one_of(
    GOOD_FLOATS, st.sampled_from([2**1024, -(2**1024)]), JUNK,
    st.builds(Float, st.one_of(st.sampled_from(["x", 1, None]), ERRORS)),
    st.builds(Index, st.one_of(st.just("3"), ERRORS)),
)
# Reported lengths that do not stop a conversion: true, lying, or failing (the failure is
# dropped). Only a length too large to reserve (2**62 below) ends the call.
HARMLESS_LENGTHS = st.one_of(st.sampled_from([None, 0, 1, 1000, 2**63, -1, "3"]), ERRORS)


def good_sequences(items, max_size):
    listed = st.lists(items, max_size=max_size)
    return st.one_of(listed, listed.map(tuple), st.builds(Seq, listed, HARMLESS_LENGTHS))


def sequences(items):
    """Sequences of `items`, and everything else that can stand where a sequence should."""
    small = st.lists(items, max_size=5)
    return st.one_of(
        good_sequences(items, 5),
        st.builds(Seq, small, st.just(2**62)),
        st.builds(Seq, small, st.none(), ERRORS, st.integers(-2, 3)),
        st.builds(lambda values: (value for value in values), small),
        st.binary(max_size=4), st.builds(bytearray, st.binary(max_size=4)),
        st.builds(range, st.integers(0, 4)),
        JUNK, st.integers(0, 3), st.floats(),
    )


# Few iterations: with max_iters = 0 or a huge one, a tolerance that the gap never reaches
# makes a call run for as long as the caller asked, which is not a hang.
GOOD_MAX_ITERS = st.one_of(st.integers(1, 3), st.builds(Index, st.integers(1, 3)))

# Arguments that convert, most of them to inputs the computation can work with.
VALID = {
    INDEX_SEQ: good_sequences(GOOD_INDICES, 6),
    FLOAT_SEQ: good_sequences(GOOD_FLOATS, 24),
    INDEX_MAT: good_sequences(good_sequences(GOOD_INDICES, 4), 3),
    FLOAT_MAT: good_sequences(good_sequences(GOOD_FLOATS, 5), 5),
    FLOAT: GOOD_FLOATS,
    INDEX: GOOD_MAX_ITERS,
}
# Anything at all.
ANY = {
    INDEX_SEQ: sequences(INDEX_ITEMS),
    FLOAT_SEQ: sequences(FLOAT_ITEMS),
    INDEX_MAT: sequences(sequences(INDEX_ITEMS)),
    FLOAT_MAT: sequences(sequences(FLOAT_ITEMS)),
    FLOAT: st.one_of(FLOAT_ITEMS, st.lists(st.floats(), max_size=2)),
    INDEX: st.one_of(GOOD_MAX_ITERS, st.sampled_from([-1, 2**64, 1.0, None, "3", [2]]),
                     st.builds(Index, ERRORS)),
}
EXTRA_KEYWORDS = st.sampled_from(["tol", "x", "From", "from", "alignments", "max_iters"])


@st.composite
def calls(draw, name):
    """(args, kwargs) for `name`. Half of them are well-bound calls with arguments that all
    convert; the rest mix in wrong values and now and then too many, too few, unknown or
    repeated arguments."""
    parameters, required = SIGNATURES[name]
    clean = draw(st.booleans())
    values = {}
    for parameter, kind in parameters:
        hostile = not clean and draw(st.integers(0, 9)) < 3
        values[parameter] = draw(ANY[kind] if hostile else VALID[kind])
    if clean and name.startswith("mat_") and draw(st.booleans()):
        # Independent values seldom make a consistent line description; this one is.
        rng = random.Random(draw(st.integers(0, 2**32)))
        line = random_line_description(rng, rng.randint(2, 6), rng.randint(1, 3))
        values.update(zip([parameter for parameter, _ in parameters], line))
    positional = draw(st.integers(required if clean else 0, len(parameters) + (not clean)))
    args = [values[parameter] for parameter, _ in parameters[:positional]]
    if positional > len(parameters):
        args.append(draw(JUNK))
    keywords = [(parameter, values[parameter])
                for index, (parameter, _) in enumerate(parameters) if index >= positional
                and ((clean and index < required) or draw(st.integers(0, 9)) != 0)]
    if not clean and draw(st.integers(0, 9)) == 0:
        keywords.append((draw(EXTRA_KEYWORDS), draw(JUNK)))
    return args, dict(draw(st.permutations(keywords)))


def check_result(name, converted, result):
    """The shape of a successful result, from the converted arguments."""
    assert type(result) is tuple
    if name.startswith("mat_"):
        matrix, totals, total_cost = result
        stops = len(converted["travel_time_mat"])
        assert len(matrix) == stops and all(len(row) == stops for row in matrix)
        assert len(totals) == sum(3 * (len(line) - 1) for line in converted["alignments"])
        assert type(total_cost) is float
        values = [value for row in matrix for value in row] + totals
    else:
        node_costs, arc_flows = result
        nodes = max(converted["from"] + converted["to"]) + 1
        assert len(node_costs) == len(converted["dsts"]) * nodes
        assert len(arc_flows) == len(converted["dsts"]) * len(converted["from"])
        values = node_costs + arc_flows
    assert all(type(value) is float for value in values)


def check_call(name, args, kwargs, panic_exception_type):
    try:
        converted = expected_conversion(name, args, kwargs)
        expected = None
    except BaseException as error:
        expected = error
    try:
        outcome = getattr(vemo, name)(*args, **kwargs)
    except BaseException as error:
        outcome = error
    event(type(outcome).__name__)  # how the calls ended, shown by --hypothesis-show-statistics

    if isinstance(expected, ExpectedPanic):
        assert type(outcome) is panic_exception_type and outcome.args == expected.args
    elif expected is not None:
        assert type(outcome) is type(expected), repr(outcome)
        assert str(outcome) == str(expected)
    elif type(outcome) is not panic_exception_type:
        assert not isinstance(outcome, BaseException), repr(outcome)
        check_result(name, converted, outcome)


@pytest.mark.parametrize("name", SIGNATURES)
@settings(max_examples=EXAMPLES_PER_FUNCTION)
@given(data=st.data())
def test_every_call_ends_in_a_result_or_the_predicted_error(name, data, panic_exception_type):
    args, kwargs = data.draw(calls(name))
    check_call(name, args, kwargs, panic_exception_type)


def test_the_model_predicts_the_documented_messages():
    """A few fixed calls, so that a model that drifted with the module would be noticed."""
    cases = [
        ("linear_assign", [], {},
         "linear_assign() missing 6 required positional arguments: "
         "'from', 'to', 'arc_freqs', 'costs', 'demands', and 'dsts'"),
        ("linear_congested_assign", [[0]] * 12, {},
         "linear_congested_assign() takes from 7 to 11 positional arguments but 12 were given"),
        ("mat_linear_assign", [[[0, 1]], [1.0]], {},
         "mat_linear_assign() missing 2 required positional arguments: "
         "'travel_time_mat' and 'demands_mat'"),
        ("linear_assign", [[0], [1], [1.0], [1.0], [0.0, 0.0]], {"to": [1]},
         "linear_assign() got multiple values for argument 'to'"),
        ("linear_assign", ["01", [1], [1.0], [1.0], [0.0, 0.0], {0}], {},
         "argument 'from': Can't extract `str` to `Vec`"),
        ("mat_linear_congested_assign", [[[0, 1]], [1.0], [[0, 1], 7], [[0]], 1.0], {},
         "argument 'travel_time_mat': 'int' object cannot be converted to 'Sequence'"),
    ]
    for name, args, kwargs, message in cases:
        with pytest.raises(TypeError) as modelled:
            expected_conversion(name, args, kwargs)
        with pytest.raises(TypeError) as raised:
            getattr(vemo, name)(*args, **kwargs)
        assert str(modelled.value) == str(raised.value) == message

