"""A grid city with crossing bus lines, the network every benchmark runs on.

Stops stand on a side x side grid. A line runs along every row and every column, in both
directions, so each stop is served by four lines and every trip can choose among several routes
with a transfer. Each grid segment has its own riding time and each row or column its own
frequency, drawn once from a fixed seed, so equal sizes always give the same network.

The city is given in both forms the module takes: the line description of `mat_linear_assign`
(`alignments`, `freqs`, `travel_time_mat`, `demands_mat`) and the equivalent arc list of
`linear_assign`, built in the same order as the line-based functions build their line network.
The dense matrices of the line description grow with the square of the stop count, so they are
only built on demand, for small cities.
"""

import math
import random
from array import array

INF = math.inf
SEED = 5
# Lines every 4 to 15 minutes, as a share per minute.
LINE_FREQS = (1 / 4, 1 / 6, 1 / 10, 1 / 15)
# Riding time of one grid segment, in minutes.
SEGMENT_MINUTES = (1.5, 3.0)
# The largest number of trips from one stop to one destination.
MAX_TRIPS = 3


class GridCity:
    """A side x side grid of stops with a line along every row and column, both ways."""

    def __init__(self, side):
        if side < 2:
            raise ValueError("a grid city needs a side of at least 2 stops")
        rng = random.Random(SEED)
        self.side = side
        self.stop_count = side * side
        # Riding time of the segment from a stop to its right and to its lower neighbour.
        self._right = [rng.uniform(*SEGMENT_MINUTES) for _ in range(self.stop_count)]
        self._down = [rng.uniform(*SEGMENT_MINUTES) for _ in range(self.stop_count)]
        self.alignments, self.freqs = [], []
        for k in range(side):
            row = [k * side + c for c in range(side)]
            column = [r * side + k for r in range(side)]
            for stops in (row, column):
                freq = rng.choice(LINE_FREQS)
                self.alignments += [stops, stops[::-1]]
                self.freqs += [freq, freq]
        line_stops = sum(len(line) for line in self.alignments)
        self.node_count = self.stop_count + line_stops
        self.arc_count = 3 * (line_stops - len(self.alignments))

    def riding_minutes(self, a, b):
        """Riding time between two neighbouring stops, the same both ways."""
        low, high = min(a, b), max(a, b)
        if high == low + 1 and high % self.side:
            return self._right[low]
        if high == low + self.side:
            return self._down[low]
        raise ValueError(f"stops {a} and {b} are not neighbours")

    def arc_list(self):
        """from, to, arc_freqs, costs of the line network (see line_network_arcs)."""
        frm, to, arc_freqs, costs = line_network_arcs(self.stop_count, self.alignments,
                                                      self.freqs, self.riding_minutes)
        return frm, to, distinct_floats(arc_freqs), distinct_floats(costs)

    def destinations(self, count):
        """`count` distinct stops spread over the city, drawn with the fixed seed."""
        return sorted(random.Random(SEED + count).sample(range(self.stop_count), count))

    def trips(self, origin, destination):
        """Trips from one stop to another: a fixed pseudo-random whole number, 0 on the diagonal."""
        if origin == destination:
            return 0.0
        return float(trip_count(origin, destination))

    def demand_blocks(self, dsts):
        """The destination-major demand vector of `linear_assign`, laid out as the line-based
        functions lay it out: the trips from every other stop, minus their sum at the
        destination, and nothing at the line-stop nodes."""
        demands = []
        for d in dsts:
            block = [0.0] * self.node_count
            for r in range(self.stop_count):
                if r != d:
                    block[r] = self.trips(r, d)
                    block[d] -= block[r]
            demands += block
        return distinct_floats(demands)

    def travel_time_mat(self):
        """The dense stop-to-stop riding time matrix of the line description; only neighbouring
        stops are ever read, the rest hold the Manhattan distance at the slowest speed."""
        slowest = SEGMENT_MINUTES[1]
        rows = []
        for a in range(self.stop_count):
            ra, ca = divmod(a, self.side)
            row = []
            for b in range(self.stop_count):
                rb, cb = divmod(b, self.side)
                steps = abs(ra - rb) + abs(ca - cb)
                row.append(self.riding_minutes(a, b) if steps == 1 else slowest * steps)
            rows.append(row)
        return rows

    def demands_mat(self):
        return [[self.trips(r, c) for c in range(self.stop_count)] for r in range(self.stop_count)]

    def describe(self):
        return (f"{self.side}x{self.side} grid city: {self.stop_count} stops, "
                f"{len(self.alignments)} lines, {self.node_count} nodes, {self.arc_count} arcs")


def trip_count(origin, destination):
    """The trips of GridCity.trips off the diagonal; elementwise on NumPy integer arrays too."""
    return (origin * 7919 + destination * 104729 + SEED) % (MAX_TRIPS + 1)


def line_network_arcs(stop_count, alignments, freqs, riding_minutes):
    """from, to, arc_freqs, costs of the line network, in the order the line-based functions
    build it: per line, boarding at the first stop, then for each further stop the ride into
    it (riding_minutes(a, b) from stop a to stop b), boarding there unless it is the last stop,
    and alighting."""
    frm, to, arc_freqs, costs = [], [], [], []

    def arc(tail, head, freq, cost):
        frm.append(tail)
        to.append(head)
        arc_freqs.append(freq)
        costs.append(cost)

    node = stop_count
    for stops, freq in zip(alignments, freqs):
        arc(stops[0], node, freq, 0.0)
        for k in range(1, len(stops)):
            arc(node + k - 1, node + k, INF, riding_minutes(stops[k - 1], stops[k]))
            if k < len(stops) - 1:
                arc(stops[k], node + k, freq, 0.0)
            arc(node + k, stops[k], INF, 0.0)
        node += len(stops)
    return frm, to, arc_freqs, costs


def side_for_arcs(arcs):
    """The smallest grid side whose city has at least `arcs` arcs (12 side (side - 1) of them)."""
    side = 2
    while 12 * side * (side - 1) < arcs:
        side += 1
    return side


def distinct_floats(values):
    """The values as one float object each, as in lists read from a file or from NumPy. Lists
    that repeat one shared zero would keep every conversion in the cache."""
    return array("d", values).tolist()
