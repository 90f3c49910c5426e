"""What the machine allows: the floors that vemo's times are compared with.

- The search: SciPy's Dijkstra (`scipy.sparse.csgraph.dijkstra`) from each destination, one at
  a time, on the reversed graph, the same arcs with their costs. It finds shortest paths only,
  no strategies, so it is a floor for the search, not an equal.
- Results: `array.array('f', values).tolist()`, the least work that turns 32-bit floats into a
  list of Python floats.
- Arguments: `array.array('f', list)` (and `array.array('Q', list)` for index lists), the least
  work that reads a list of Python numbers into machine values.
"""

from array import array

import numpy as np


try:
    from scipy.sparse import csr_array
    from scipy.sparse.csgraph import dijkstra
except ImportError:  # the `bench` extra is not installed: no search floor
    dijkstra = None


def search_floor_available():
    return dijkstra is not None


def reversed_graph(frm, to, costs, node_count):
    """The arcs head -> tail as a CSR matrix, built from its arrays directly: SciPy's
    coordinate form would add up parallel arcs into one."""
    heads = np.asarray(to, dtype=np.int64)
    order = np.argsort(heads, kind="stable")
    first_out = np.zeros(node_count + 1, dtype=np.int64)
    np.cumsum(np.bincount(heads, minlength=node_count), out=first_out[1:])
    tails = np.asarray(frm, dtype=np.int32)[order]
    weights = np.asarray(costs, dtype=np.float64)[order]
    return csr_array((weights, tails, first_out.astype(np.int32)), shape=(node_count, node_count))


def search_call(frm, to, costs, node_count, dsts):
    """A Dijkstra search from every destination, one SciPy call per destination."""
    graph = reversed_graph(frm, to, costs, node_count)

    def search_all():
        for d in dsts:
            dijkstra(graph, directed=True, indices=d)

    return search_all


def result_list_call(count):
    """Turns `count` 32-bit floats into a list of floats."""
    return array("f", bytes(4 * count)).tolist


def argument_read_call(arguments):
    """Reads every (typecode, list) pair of `arguments` into a machine array."""
    return lambda: [array(code, values) for code, values in arguments]
