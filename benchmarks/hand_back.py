"""How long linear_assign takes to hand its results back as Python floats, found without the
computation: two calls whose searches are empty, timed in the same rounds as the real call."""

import math

import vemo


def positive_zeros(results):
    """How many of the result floats are +0.0 (one shared object in vemo's results)."""
    return sum(value == 0.0 and math.copysign(1.0, value) > 0
               for values in results for value in values)


def calls(result_count, zero_count, destinations, label=""):
    """Two calls whose searches are empty (parallel arcs 0 -> head, all leaving destination 0),
    with arguments of the same sizes. The first hands back `result_count` floats over
    `destinations` destinations, `zero_count` of them +0.0 (each destination's cost and every arc
    flow; the other node costs are +inf). The second has two nodes: its results are the same
    zeros and one +inf per destination. Their difference is the time to hand back the results
    that are not +0.0, without what either call spends on its arcs. It leaves out the shared
    +0.0, a reference each: at 10^5 arcs it came to 80% of the real call's conversion time
    (measured against the computation alone, from C++), so computation is over-counted. Their
    names start with `label`, which tells several such pairs apart."""
    per_destination = result_count // destinations
    arc_count = max(1, min(round(zero_count / destinations) - 1, per_destination - 2))
    node_count = per_destination - arc_count
    demands = [0.0] * (destinations * node_count)  # the second call reads its first blocks

    def call_with_head(head):
        arcs = ([0] * arc_count, [head] * arc_count, [1.0] * arc_count, [1.0] * arc_count)
        return lambda: vemo.linear_assign(*arcs, demands, [0] * destinations)

    return {label + "out_with_results": call_with_head(node_count - 1),
            label + "out_without": call_with_head(1)}


def seconds(best, label=""):
    """The hand-back time from the best times of the two calls named with `label`, which it
    takes out of `best`."""
    return best.pop(label + "out_with_results") - best.pop(label + "out_without")
