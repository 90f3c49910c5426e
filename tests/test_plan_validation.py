"""vemo_plan's public surface and its refusals: every bad argument raises a TypeError or
ValueError that names it, before anything is computed."""

import dataclasses
import inspect
import math

import numpy as np
import pytest

import vemo_plan
from vemo_plan import AveragingModel, CapacityModel, CrowdingModel, LineNetwork, Network

INF, NAN = math.inf, math.nan
ZEROS = np.zeros((3, 3))
SETTINGS = {field.name for field in dataclasses.fields(AveragingModel)}


def network():
    return Network([0, 1, 1], [1, 2, 0], [0.5, INF, 0.25], [1, 2, 3])


def lines():
    return LineNetwork([[0, 1, 2]], [0.5], ZEROS)


def assign(**change):
    arguments = {"demand": np.zeros((1, 3)), "destinations": [2]} | change
    return lambda: network().assign(**arguments)


def congested(**change):
    """assign_congested with arguments, or fields of its AveragingModel, changed."""
    settings = {name: change.pop(name) for name in SETTINGS & change.keys()}

    def call():
        arguments = {"demand": np.zeros((1, 3)), "destinations": [2], "capacity": 1.0,
                     "model": AveragingModel(**settings)} | change
        return network().assign_congested(**arguments)
    return call


def line_network(*args, **keywords):
    return lambda: LineNetwork(*args, **keywords)


def arcs(tail=(0, 1), head=(1, 2), frequency=(1, 1), cost=(1, 1)):
    return lambda: Network(tail, head, frequency, cost)


CASES = [
    (arcs(tail="01"), TypeError, "tail must be an array of numbers, not str"),
    (arcs(tail=[0.0, 1.0]), TypeError, "tail must hold integers, not float64"),
    (arcs(head=[[1, 2]]), ValueError, "head must have 1 dimension; it has shape (1, 2)"),
    (arcs(tail=[0, -1]), ValueError, "tail must not be negative: arc 1 is -1"),
    (arcs(cost=[1]), ValueError, "tail, head, frequency and cost must have the same length: "
                                 "tail has 2, head has 2, frequency has 2, cost has 1"),
    (arcs((), (), (), ()), ValueError, "tail must not be empty: a network needs at least one arc"),
    (arcs(frequency=[1, -0.5]), ValueError,
     "frequency must not be negative or NaN: arc 1 has -0.5"),
    (arcs(cost=[1e39, 1]), ValueError,
     "cost must be finite and not negative: arc 0 has 1e+39 (infinite as a 32-bit float)"),
    (arcs(cost=[1, 1j]), TypeError, "cost must hold real numbers, not complex128"),
    (arcs(head=[1, 2**40]), ValueError, "head arc 1 is 1099511627776, not below 2^32 = 4294967296"),
    (arcs(frequency=[1e38, 1]), ValueError, "frequency must be inf or finite values adding up to "
     "at most 9.51e+33 out of a node, so that frequency x cost stays a 32-bit float: the arcs "
     "out of node 0 add up to 1e+38"),
    (assign(demand=np.zeros((2, 3))), ValueError,
     "demand has shape (2, 3); expected (1, 3) (len(destinations), node_count)"),
    (assign(demand=np.zeros(3)), ValueError, "demand must have 2 dimensions; it has shape (3,)"),
    (assign(demand=[[0, -2, 0]]), ValueError,
     "demand must be finite and not negative: entry (0, 1) has -2"),
    (assign(destinations=[3]), ValueError, "destinations entry 0 is 3, not below node_count 3"),
    (assign(origins=[0, -1]), ValueError, "origins must not be negative: entry 1 is -1"),
    (assign(demand=([0, 5], [0, 0], [1, 1])), ValueError,
     "demand origin_nodes entry 1 is 5, not below node_count 3"),
    (assign(demand=([0], [1], [1])), ValueError,
     "demand destination_positions entry 0 is 1, not below len(destinations) 1"),
    (assign(demand=([0], [0], [-1.0])), ValueError,
     "demand trips must be finite and not negative: entry 0 has -1.0"),
    (assign(demand=([0, 1], [0, 0], [1])), ValueError,
     "origin_nodes, destination_positions and trips must have the same length: "
     "origin_nodes has 2, destination_positions has 2, trips has 1"),
    (assign(demand=([0], [0])), TypeError,
     "demand must be a tuple (origin_nodes, destination_positions, trips)"),
    (assign(skims=[1, 2, 3]), TypeError, "skims must be a mapping of names to arrays, not list"),
    (assign(skims={1: [1, 2, 3]}), TypeError, "skims names must be strings, not int"),
    (assign(skims={"fare": [1, 2]}), ValueError,
     "skims['fare'] has shape (2,); expected (3,) (arc_count)"),
    (assign(skims={"fare": [1, NAN, 1]}), ValueError,
     "skims['fare'] must be finite and not negative: arc 1 has nan"),
    (assign(arc_flows="all"), ValueError,
     "arc_flows must be one of 'total', 'per_destination', 'none': got 'all'"),
    (assign(progress="yes"), TypeError, "progress must be True or False, not str"),
    (assign(layout="by_origin"), ValueError,
     "layout must be one of 'destination', 'origin': got 'by_origin'"),
    (assign(boarding=[1, 0]), TypeError, "boarding must hold booleans, not int64"),
    (assign(boarding=[True, False]), ValueError,
     "boarding has shape (2,); expected (3,) (arc_count)"),
    (assign(trip_ends=["walk"]), ValueError,
     "trip_ends needs boarding: the ends of a trip are its first and last boardings"),
    (assign(boarding=[True, False, False], trip_ends=["walk"]), ValueError,
     "trip_ends names 'walk', which is not a skim (skims: none)"),
    (assign(boarding=[True, False, False], trip_ends="walk"), TypeError,
     "trip_ends must be a sequence of skim names, not str"),
    (congested(capacity=0), ValueError, "capacity must be positive and finite: got 0"),
    (congested(capacity=[1, 2]), ValueError,
     "capacity must be a number or one value per arc (3); it has shape (2,)"),
    (congested(capacity=[1, INF, 1]), ValueError,
     "capacity must be positive and finite: arc 1 has inf"),
    (congested(average_decay_factor=0), ValueError,
     "average_decay_factor must be in (0, 1]: got 0.0"),
    (congested(beta=-1), ValueError, "beta must be finite and not negative: got -1.0"),
    (congested(beta="0.2"), TypeError, "beta must be a real number, not str"),
    (congested(tol=NAN), ValueError, "tol must not be negative or NaN: got nan"),
    (congested(max_iters=1.5), TypeError, "max_iters must be an integer, not float"),
    (congested(max_iters=-1), ValueError,
     "max_iters must be between 0 (no limit) and 9223372036854775807: got -1"),
    (congested(model={"tol": 0}), TypeError, "model must be a model's name or record, not dict"),
    (congested(model="wardrop"), ValueError,
     "model must be one of 'capacity', 'crowding', 'averaging': got 'wardrop'"),
    (lambda: CapacityModel(max_iters=0), ValueError,
     "max_iters must be between 1 and 9223372036854775807: got 0"),
    (lambda: CrowdingModel(beta=0.5), ValueError, "beta must be at least 1: got 0.5"),
    (congested(model="crowding", capacity=[1, NAN, 1]), ValueError,
     "capacity must be positive (inf: none): arc 1 has nan"),
    (line_network([], [], ZEROS), ValueError, "alignments must hold at least one line"),
    (line_network(5, [1], ZEROS), TypeError,
     "alignments must be a sequence of stop sequences, one per line"),
    (line_network([[0, 1], [2]], [1, 1], ZEROS), ValueError,
     "alignments[1] has 1 stop; a line needs at least two"),
    (line_network([[0, 3]], [1], ZEROS), ValueError,
     "alignments[0] position 1 is 3, not below stop_count 3"),
    (line_network([[0, 1]], [1, 2], ZEROS), ValueError,
     "frequencies has 2 values; expected one per line (1)"),
    (line_network([[0, 1]], [-1], ZEROS), ValueError,
     "frequencies must not be negative or NaN: line 0 has -1"),
    (line_network([[0, 1]], [1], np.zeros((2, 3))), ValueError,
     "travel_time_mat must be square; it has shape (2, 3)"),
    (line_network([[0, 1]], [1], [[0, NAN, 0], [0, 0, 0], [0, 0, 0]]), ValueError,
     "travel_time_mat must be finite and not negative: entry (0, 1), ridden by line 0, has nan"),
    (line_network([[0, 1]], [1], ZEROS, walking=([0], [1])), TypeError,
     "walking must be a tuple (from_stops, to_stops, minutes)"),
    (line_network([[0, 1]], [1], ZEROS, walking=([0], [5], [1])), ValueError,
     "walking to_stops walk 0 is 5, not below stop_count 3"),
    (line_network([[0, 1]], [1], ZEROS, walking=([0], [1], [-1])), ValueError,
     "walking minutes must be finite and not negative: walk 0 has -1"),
    (lambda: LineNetwork.from_segments([[0, 1]], [1], [[1], [2]]), ValueError,
     "segment_minutes has 2 sequences; expected one per line (1)"),
    (lambda: LineNetwork.from_segments([[0, 1]], [1], [[1, 2]]), ValueError,
     "segment_minutes[0] has 2 values; line 0 has 2 stops and needs 1"),
    (lambda: LineNetwork.from_segments([[0, 3]], [1], [[1]], stop_count=3), ValueError,
     "stop_count must be an integer of at least 4, one more than the largest stop named; "
     "it is 3"),
    (lambda: LineNetwork.from_segments([[0, 1]], [1], [[1]], stop_count=True), TypeError,
     "stop_count must be an integer, not bool"),
    (lambda: lines().assign(np.zeros((2, 2))), ValueError,
     "demand_mat has shape (2, 2); expected (3, 3) (stop_count, stop_count)"),
    (lambda: lines().assign_congested(ZEROS, [1, 2]), ValueError,
     "capacity must be a number or one value per line (1); it has shape (2,)"),
]


@pytest.mark.parametrize("call, kind, message", CASES, ids=[case[2][:60] for case in CASES])
def test_bad_arguments_are_refused_with_a_message_that_names_them(call, kind, message):
    with pytest.raises(kind) as caught:
        call()
    assert str(caught.value) == message


def test_public_names_are_documented_and_have_signatures():
    assert vemo_plan.__version__ == "0.1.0"
    for name in vemo_plan.__all__:
        value = getattr(vemo_plan, name)
        assert value.__doc__, name
        if callable(value) and name != "ComputationError":
            inspect.signature(value)
    methods = [Network.assign, Network.assign_congested, LineNetwork.from_segments,
               LineNetwork.assign, LineNetwork.assign_congested]
    assert all(method.__doc__ and inspect.signature(method) for method in methods)


def test_computation_error_is_an_ordinary_exception():
    assert issubclass(vemo_plan.ComputationError, RuntimeError)


def test_numpy_integers_are_taken_as_integers():
    network = LineNetwork.from_segments([[0, 3]], [1], [[1]], stop_count=np.int64(5))
    assert type(network.stop_count) is int and network.stop_count == 5
    assert CapacityModel(max_iters=np.uint8(3)).max_iters == 3


def test_results_larger_than_memory_are_refused_with_their_size():
    count = 10**6  # node costs and waiting times (count, count) in float32: 4e12 bytes each
    with pytest.raises(vemo_plan.ComputationError,
                       match=r"^the results need 8,000,012,000,012 bytes of memory, more than "
                             r"can be had \(the machine has [\d,]+\)$"):
        network().assign(np.zeros((count, 3)), np.full(count, 2), origins=np.zeros(count, int))
