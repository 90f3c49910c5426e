"""A slow, plain model of the uncongested assignment, to check the fast one against.

Every float operation is done in Python's double precision and rounded to float32 right away.
For one +, -, * or / of two float32 values that gives exactly the float32 result (a double
holds more than twice float32's precision), so the model must agree bit for bit.
"""

import math
import struct

INF = math.inf
INT_MIN = -(2**31)
INT_MAX = 2**31 - 1


def f32(x):
    """x rounded to the nearest float32 (ties to even), overflowing to infinity."""
    try:
        return struct.unpack("f", struct.pack("f", x))[0]
    except OverflowError:
        return math.copysign(INF, x)


def priority(cost):
    y = f32(cost * f32(-60000.0))
    if math.isnan(y):
        return 0
    if y > 2147483520.0:
        return INT_MAX
    if y <= -2147483648.0:
        return INT_MIN
    return int(y)


def candidate(p):
    return INF if p == INT_MIN else f32(f32(float(p)) / -60000.0)


class Heap:
    """Binary max-heap with the documented tie rules, written with plain swaps."""

    def __init__(self):
        self.items = []  # [priority, arc]
        self.where = {}

    def _swap(self, p, q):
        self.items[p], self.items[q] = self.items[q], self.items[p]
        self.where[self.items[p][1]] = p
        self.where[self.items[q][1]] = q

    def _up(self, p):
        while p > 0 and self.items[(p - 1) // 2][0] < self.items[p][0]:
            self._swap(p, (p - 1) // 2)
            p = (p - 1) // 2
        return p

    def _down(self, p):
        while True:
            best, left, right = p, 2 * p + 1, 2 * p + 2
            if left < len(self.items) and self.items[left][0] > self.items[p][0]:
                best = left
            if right < len(self.items) and self.items[right][0] > self.items[best][0]:
                best = right
            if best == p:
                return
            self._swap(p, best)
            p = best

    def push(self, arc, prio):
        self.items.append([prio, arc])
        self.where[arc] = len(self.items) - 1
        self._up(len(self.items) - 1)

    def pop(self):
        top = self.items[0]
        del self.where[top[1]]
        last = self.items.pop()
        if self.items:
            self.items[0] = last
            self.where[last[1]] = 0
            self._down(0)
        return top[1], top[0]

    def change(self, arc, prio):
        p = self.where[arc]
        self.items[p][0] = prio
        self._down(self._up(p))


def assign_destination(frm, to, freqs, costs, demand, d, n):
    cost = [INF] * n
    freq = [0.0] * n
    entered = [False] * n
    cost[d] = 0.0
    heap = Heap()
    incoming = [[] for _ in range(n)]
    for a in range(len(frm)):
        if frm[a] == d:
            continue
        heap.push(a, priority(f32(cost[to[a]] + costs[a])))
        incoming[to[a]].append(a)
    strategy = []
    while heap.items:
        a, p = heap.pop()
        i, c = frm[a], candidate(p)
        if c > cost[i] or to[a] == i or entered[i] or math.isinf(freq[i]):
            continue
        fa = freqs[a]
        if math.isinf(fa):
            cost[i], freq[i] = c, fa
        else:
            fi, ui = freq[i], cost[i]
            w = 0.5 if abs(fi) < f32(1e-8) and math.isinf(ui) else f32(ui * fi)
            cost[i] = f32(f32(f32(c * fa) + w) / f32(fi + fa))
            freq[i] = f32(fa + fi)
        strategy.append(a)
        entered[to[a]] = True
        for b in incoming[i]:
            if b in heap.where:
                heap.change(b, priority(f32(cost[i] + costs[b])))
    volume = list(demand)
    flows = [0.0] * len(frm)
    for a in reversed(strategy):
        i, j, fa = frm[a], to[a], freqs[a]
        if math.isinf(fa):
            v = volume[i]
        elif freq[i] == 0.0:
            v = 0.0
        else:
            v = f32(f32(fa / freq[i]) * volume[i])
        flows[a] = v
        volume[j] = f32(v + volume[j])
    return cost, flows


def linear_assign(frm, to, freqs, costs, demands, dsts):
    """Inputs as vemo.linear_assign takes them, already float32 values."""
    n = max(max(frm), max(to)) + 1
    node_costs, arc_flows = [], []
    for k, d in enumerate(dsts):
        c, f = assign_destination(frm, to, freqs, costs, demands[k * n:(k + 1) * n], d, n)
        node_costs += c
        arc_flows += f
    return node_costs, arc_flows
