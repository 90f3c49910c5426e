"""A plain model of how vemo binds and converts its arguments, to check the module against.

`expected_conversion(name, args, kwargs)` raises the exception (type and message) that the call
must end in before anything is computed, or returns the converted values as plain lists. It asks
the caller's objects through the same protocols as the module (iteration, __index__, the float
protocol), in the same order, so objects that raise make both fail the same way.
"""
import math
import operator

INDEX, FLOAT, INDEX_SEQ, FLOAT_SEQ, INDEX_MAT, FLOAT_MAT = (
    "index", "float", "index sequence", "float sequence", "index matrix", "float matrix")

ARC_LIST = [("from", INDEX_SEQ), ("to", INDEX_SEQ), ("arc_freqs", FLOAT_SEQ),
            ("costs", FLOAT_SEQ), ("demands", FLOAT_SEQ), ("dsts", INDEX_SEQ)]
LINES = [("alignments", INDEX_MAT), ("freqs", FLOAT_SEQ), ("travel_time_mat", FLOAT_MAT),
         ("demands_mat", FLOAT_MAT)]
CONGESTION = [("capacity", FLOAT), ("average_decay_factor", FLOAT), ("beta", FLOAT),
              ("tol", FLOAT), ("max_iters", INDEX)]

# name: (parameters with their kinds, required count)
SIGNATURES = {
    "linear_assign": (ARC_LIST, 6),
    "mat_linear_assign": (LINES, 4),
    "linear_congested_assign": (ARC_LIST + CONGESTION, 7),
    "mat_linear_congested_assign": (LINES + CONGESTION, 5),
}

# Bytes per element of the vector each sequence kind is reserved as (the reported length times
# this must stay within the largest object size, or the call fails with "capacity overflow").
ELEMENT_BYTES = {INDEX_SEQ: 8, FLOAT_SEQ: 4, INDEX_MAT: 24, FLOAT_MAT: 24}
LARGEST_OBJECT = 2**63 - 1


class ExpectedPanic(Exception):
    """The call must end in PanicException with this message."""


def _quoted_list(names):
    quoted = [f"'{name}'" for name in names]
    if len(quoted) == 1:
        return quoted[0]
    if len(quoted) == 2:
        return f"{quoted[0]} and {quoted[1]}"
    return ", ".join(quoted[:-1]) + ", and " + quoted[-1]


def bind(name, args, kwargs):
    """The value of every parameter (None where it was not given), or the binding TypeError."""
    parameters, required = SIGNATURES[name]
    names = [parameter for parameter, _ in parameters]
    count = len(args)
    if count > len(names):
        verb = "was" if count == 1 else "were"
        takes = (f"{len(names)}" if required == len(names)
                 else f"from {required} to {len(names)}")
        raise TypeError(f"{name}() takes {takes} positional arguments but {count} {verb} given")
    slots = list(args) + [None] * (len(names) - count)
    given = [True] * count + [False] * (len(names) - count)
    for keyword, value in kwargs.items():
        if keyword not in names:
            raise TypeError(f"{name}() got an unexpected keyword argument '{keyword}'")
        position = names.index(keyword)
        if given[position]:
            raise TypeError(f"{name}() got multiple values for argument '{keyword}'")
        slots[position], given[position] = value, True
    missing = [names[i] for i in range(required) if not given[i]]
    if missing:
        noun = "argument" if len(missing) == 1 else "arguments"
        raise TypeError(f"{name}() missing {len(missing)} required positional {noun}: "
                        f"{_quoted_list(missing)}")
    return [(parameter, kind, slots[i] if given[i] else None, given[i])
            for i, (parameter, kind) in enumerate(parameters)]


def to_index(value):
    integer = operator.index(value)
    if integer < 0:
        raise OverflowError("can't convert negative int to unsigned")
    if integer >= 2**64:
        raise OverflowError("int too big to convert")
    return integer


def to_float(value):
    # math.ldexp reads its first argument exactly as vemo does: an exact float directly, anything
    # else through the float protocol, with the protocol's own errors.
    return math.ldexp(value, 0)


def is_sequence(value):
    return not isinstance(value, dict) and hasattr(type(value), "__getitem__")


def type_name(value):
    return type(value).__qualname__


def to_vector(value, kind, convert_item):
    if isinstance(value, str):
        raise TypeError("Can't extract `str` to `Vec`")
    if not is_sequence(value):
        raise TypeError(f"'{type_name(value)}' object cannot be converted to 'Sequence'")
    try:
        reported = len(value)
    except BaseException:
        reported = 0  # a failed length query is dropped: the length only sizes the reservation
    if reported * ELEMENT_BYTES[kind] > LARGEST_OBJECT:
        raise ExpectedPanic("capacity overflow")
    return [convert_item(item) for item in value]


CONVERSIONS = {
    INDEX: to_index,
    FLOAT: to_float,
    INDEX_SEQ: lambda value: to_vector(value, INDEX_SEQ, to_index),
    FLOAT_SEQ: lambda value: to_vector(value, FLOAT_SEQ, to_float),
    INDEX_MAT: lambda value: to_vector(value, INDEX_MAT, CONVERSIONS[INDEX_SEQ]),
    FLOAT_MAT: lambda value: to_vector(value, FLOAT_MAT, CONVERSIONS[FLOAT_SEQ]),
}


def expected_conversion(name, args, kwargs):
    """The converted values by parameter name (defaults left out), or the exception to expect."""
    converted = {}
    for parameter, kind, value, given in bind(name, args, kwargs):
        if not given:
            continue
        try:
            converted[parameter] = CONVERSIONS[kind](value)
        except TypeError as error:
            if type(error) is not TypeError:
                raise
            raise TypeError(f"argument '{parameter}': {error}") from None
    return converted
