"""vemo.linear_assign from Python lists to Python lists, timed whole and split as the suite
splits it: conversion in (the same call with no destinations: every argument converted,
nothing computed), conversion out (stand-in calls whose results have the same length and as
many +0.0, hand_back.py) and the computation, what is left."""

import sys

import vemo

import hand_back

# What a float object occupies: its size rounded up to the 16-byte blocks of CPython's
# small-object allocator (24 bytes take 32; glibc's malloc would give 32 as well).
FLOAT_BYTES = -(-sys.getsizeof(0.0) // 16) * 16
# What a list holds per item: a pointer to its object.
LIST_ITEM_BYTES = 8


def calls(network, demands, dsts, result_count, zero_count, label=""):
    """The timed calls: the real call on the arc list `network` (from, to, arc_freqs, costs),
    the same with no destinations, and hand_back's pair for `result_count` result floats of
    which `zero_count` are +0.0. Their names start with `label`."""
    return {
        label + "call_s": lambda: vemo.linear_assign(*network, demands, dsts),
        label + "conversion_in_s": lambda: vemo.linear_assign(*network, demands, []),
        **hand_back.calls(result_count, zero_count, len(dsts), label),
    }


def split(times, label=""):
    """(conversion out, computation) from the best times of `calls`; takes the stand-in
    calls' times out of `times`."""
    conversion_out = hand_back.seconds(times, label)
    return conversion_out, (times[label + "call_s"] - times[label + "conversion_in_s"]
                            - conversion_out)


def result_list_bytes(items, positive_zeros):
    """The memory of result lists of `items` floats whose +0.0 are one shared object and every
    other float an object of its own."""
    objects = items - positive_zeros + (positive_zeros > 0)
    return LIST_ITEM_BYTES * items + FLOAT_BYTES * objects
