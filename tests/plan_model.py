"""A slow, plain model of the optimal-strategy search, its loading and its skims, in double
precision, to check vemo_plan against where no near tie decides the strategy.

The search sets labels arc by arc in increasing head cost + arc cost. An arc is attractive
when that candidate is below its tail's cost, it is not a loop, no arc into its tail has been
selected and its tail has no attractive arc of infinite frequency yet. Loading and skims then
follow the strategy by recursion: each attractive arc takes the share of its frequency.
"""

import math
from functools import cache

INF = math.inf
NAN = math.nan


class Strategy:
    """The optimal strategy toward `destination`; arcs are (tail, head, frequency, cost)."""

    def __init__(self, arcs, node_count, destination):
        self.arcs, self.destination = arcs, destination
        self.cost = [INF] * node_count
        self.cost[destination] = 0.0
        self.frequency = [0.0] * node_count  # combined frequency of the attractive arcs
        self.out = [[] for _ in range(node_count)]  # attractive arcs of each node
        self.into = [[] for _ in range(node_count)]
        # The smallest gap between a candidate and the tail cost it was compared with: a small
        # one means float32 rounding may decide differently.
        self.closest_call = INF
        entered = [False] * node_count
        waiting = set(range(len(arcs)))
        while True:
            ready = [(self.cost[arcs[a][1]] + arcs[a][3], a) for a in waiting
                     if self.cost[arcs[a][1]] < INF]
            if not ready:
                break
            candidate, a = min(ready)
            waiting.remove(a)
            tail, head, f, _ = arcs[a]
            if tail in (head, destination) or entered[tail] or self.frequency[tail] == INF:
                continue
            if self.cost[tail] < INF:
                self.closest_call = min(self.closest_call, abs(self.cost[tail] - candidate))
            if candidate >= self.cost[tail]:
                continue
            combined = self.frequency[tail]
            if f == INF:
                self.cost[tail] = candidate
            elif combined == 0.0:
                self.cost[tail] = 0.5 / f + candidate
            else:
                self.cost[tail] = (f * candidate + combined * self.cost[tail]) / (combined + f)
            self.frequency[tail] = combined + f
            self.out[tail].append(a)
            self.into[head].append(a)
            entered[head] = True

    def share(self, a):
        tail, _, f, _ = self.arcs[a]
        if f == INF:
            return 1.0
        return 0.0 if self.frequency[tail] == INF else f / self.frequency[tail]

    def wait(self, node):
        combined = self.frequency[node]
        return 0.0 if combined in (0.0, INF) else 0.5 / combined

    def _along(self, per_node, per_arc):
        """Expected sum of per_node(node) over the nodes and per_arc(a) over the arcs that a
        trip from each node passes; NaN where the destination cannot be reached."""

        @cache
        def value(node):
            return per_node(node) + sum(self.share(a) * (per_arc(a) + value(self.arcs[a][1]))
                                        for a in self.out[node])

        return [value(node) if self.cost[node] < INF else NAN for node in range(len(self.cost))]

    def skim(self, values):
        return self._along(lambda node: 0.0, lambda a: values[a])

    def waiting_time(self):
        return self._along(self.wait, lambda a: 0.0)

    def flows(self, demand):
        """Flow on every arc when each node sends demand[node] trips (not loaded where the
        destination cannot be reached)."""

        @cache
        def volume(node):
            return demand[node] + sum(flow(a) for a in self.into[node])

        def flow(a):
            return self.share(a) * volume(self.arcs[a][0])

        loaded = {a for node in range(len(self.cost)) for a in self.out[node]}
        return [flow(a) if a in loaded else 0.0 for a in range(len(self.arcs))]
