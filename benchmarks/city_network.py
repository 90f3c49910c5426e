"""A synthetic city for the benchmarks: stops on a square grid, bus routes that wander across it,
each run in both directions. Gives both the line description of the line-based functions and
the equivalent arc list (the same arcs in the same order) for the arc-list functions."""

import math
import random

from networks import line_network_arcs

MINUTES_PER_BLOCK = 2.0


class City:
    def __init__(self, stops, routes, stops_per_route, seed=1):
        rng = random.Random(seed)
        self.side = math.isqrt(stops)
        self.stop_count = self.side * self.side
        self.alignments, self.freqs = [], []
        for _ in range(routes):
            route = self._wander(rng, stops_per_route)
            freq = rng.choice([1 / 4, 1 / 6, 1 / 10, 1 / 15])
            self.alignments += [route, route[::-1]]
            self.freqs += [freq, freq]
        self.node_count = self.stop_count + sum(len(line) for line in self.alignments)

    def _wander(self, rng, length):
        """A route of distinct stops, each a grid neighbour of the one before."""
        stop = rng.randrange(self.stop_count)
        route, seen = [stop], {stop}
        while len(route) < length:
            row, col = divmod(route[-1], self.side)
            steps = [(row + dr, col + dc) for dr, dc in ((0, 1), (1, 0), (0, -1), (-1, 0))]
            free = [r * self.side + c for r, c in steps
                    if 0 <= r < self.side and 0 <= c < self.side and r * self.side + c not in seen]
            if not free:
                break
            stop = rng.choice(free)
            route.append(stop)
            seen.add(stop)
        return route

    def minutes(self, a, b):
        (ra, ca), (rb, cb) = divmod(a, self.side), divmod(b, self.side)
        return MINUTES_PER_BLOCK * (abs(ra - rb) + abs(ca - cb))

    def travel_time_mat(self):
        return [[self.minutes(a, b) for b in range(self.stop_count)]
                for a in range(self.stop_count)]

    def demands_mat(self, seed=2):
        rng = random.Random(seed)
        return [[float(rng.randint(0, 3)) for _ in range(self.stop_count)]
                for _ in range(self.stop_count)]

    def arc_list(self):
        """from, to, arc_freqs, costs of the line network (see line_network_arcs)."""
        return line_network_arcs(self.stop_count, self.alignments, self.freqs, self.minutes)

    def demand_blocks(self, dsts, demands_mat):
        """The destination-major demand vector of the arc-list functions: for each destination
        stop d, demands_mat[r][d] at every other stop r, minus their sum at d."""
        demands = []
        for d in dsts:
            block = [0.0] * self.node_count
            for r in range(self.stop_count):
                if r != d:
                    block[r] = demands_mat[r][d]
                    block[d] -= demands_mat[r][d]
            demands += block
        return demands
