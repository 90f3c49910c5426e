"""The peer: AequilibraE's hyperpath (optimal-strategy) class, used as a black box through its
public interface on the same arc list, costs, destinations and demand as vemo.

One difference of model is translated, not ignored: the peer counts the expected wait at a
boarding of frequency f as a full headway, 1 / f, where vemo counts half a headway, 0.5 / f. The
peer is therefore given every finite frequency doubled, which gives both the same waits and the
same frequency shares at every node; infinite frequencies (no wait) pass unchanged.

It reads the trips as a sparse origin-destination list (origin vertex, destination vertex,
trips), so it is given the trips of every demand block from every stop other than the
destination, the same trips vemo loads. Its results are read from `u_i_vec` (node costs of the
last single-destination run), from the `volume` column of its edge table (flows summed over
all destinations of the last assignment) and, when it skims, from `skim_matrix` (zone to zone,
a column per skim); its `help()` names no other way to read them.
"""

import numpy as np


try:
    import pandas as pd
    from aequilibrae.paths import HyperpathGenerating
except ImportError:  # the `bench` extra is not installed: no peer
    HyperpathGenerating = None

# vemo truncates every arc's candidate cost down to a multiple of 1/60000 of the cost unit (its
# queue priority), so its node costs come out slightly below the exact ones, by up to 1/60000
# for every arc on the way, and float32 rounding adds to that (the peer computes in float64).
# In the grid city a path has fewer than two arcs per minute of cost, so the two agree within
# 1/60000 + cost x 2^-15 (2^-15 is about 2/60000).
QUANTUM = 1 / 60000
RELATIVE_COST_TOLERANCE = 2.0**-15
# Flows carry the same differences, relative to their size, on nearly every arc. Where two
# choices at a stop differ in cost by less than the quantum, though, the two models may decide
# differently whether the second is attractive, and the flow splits differently from there on:
# a few arcs may differ more, while the total riding time stays nearly the same.
RELATIVE_FLOW_TOLERANCE = 1e-4
SHARE_OF_CLOSE_FLOWS = 0.99
# The column whose skim is the peer's node cost, waiting included.
NODE_COST_SKIM = "trav_time"


def available():
    return HyperpathGenerating is not None


class Peer:
    """The peer on one arc list and its trips, (origin vertex, destination vertex, trips). With
    `skims` (name -> one value per arc) it also skims its node cost (`trav_time`) and the
    expected sum of each skim, from each of `zones`' origin vertices to each of its destination
    vertices; without, its zones are the first `stop_count` vertices."""

    def __init__(self, frm, to, arc_freqs, costs, trips, skims=None, zones=None, stop_count=0):
        freqs = np.asarray(arc_freqs, dtype=np.float64)
        edges = pd.DataFrame({
            "tail": np.asarray(frm, dtype=np.int64),
            "head": np.asarray(to, dtype=np.int64),
            "trav_time": np.asarray(costs, dtype=np.float64),
            "freq": np.where(np.isinf(freqs), freqs, 2 * freqs),
        })
        self._costs = edges["trav_time"].to_numpy()
        node_count = int(max(edges["tail"].max(), edges["head"].max())) + 1
        origins = destinations = np.arange(stop_count)
        skim_cols = None
        if skims:
            for name, values in skims.items():
                edges[name] = np.asarray(values, dtype=np.float64)
            origins, destinations = (np.asarray(z, dtype=np.int64) for z in zones)
            skim_cols = [NODE_COST_SKIM, *skims]
        self._model = HyperpathGenerating(edges, check_edges=True, skim_cols=skim_cols,
                                          o_vert_ids=origins, d_vert_ids=destinations,
                                          nodes_to_indices=np.arange(node_count))
        self._origins, self._destinations, self._trips = (
            np.asarray(values, dtype) for values, dtype
            in zip(trips, (np.int64, np.int64, np.float64)))

    @classmethod
    def from_blocks(cls, frm, to, arc_freqs, costs, stop_count, demands, dsts, skims=None):
        """The grid cities' form: trips as a block of node_count values per destination, of
        which those from every stop other than the destination are given, the same trips vemo
        loads; with `skims`, the zones are the destinations."""
        node_count = max(max(frm), max(to)) + 1
        blocks = np.asarray(demands, dtype=np.float64).reshape(len(dsts), node_count)
        origins, destinations, trips = [], [], []
        for block, d in zip(blocks, dsts):
            at_stops = block[:stop_count]
            sending = np.flatnonzero(at_stops)
            sending = sending[sending != d]
            origins.append(sending)
            destinations.append(np.full(len(sending), d))
            trips.append(at_stops[sending])
        trip_list = tuple(np.concatenate(part) for part in (origins, destinations, trips))
        return cls(frm, to, arc_freqs, costs, trip_list, skims, (dsts, dsts), stop_count)

    def arc_costs(self):
        return self._costs

    def assign(self, threads):
        """Assign every destination's trips; returns the flow per arc summed over them."""
        self._model.assign(self._origins, self._destinations, self._trips, threads=threads)
        return self._model._edges["volume"].to_numpy()

    def assign_call(self, threads):
        return lambda: self.assign(threads)

    def skims(self):
        """name -> (destination k, from destination j) of the last assignment: the node cost
        under NODE_COST_SKIM and each skim given, as vemo_plan's (destinations, origins) with
        the destinations as origins."""
        matrix = self._model.skim_matrix
        return {name: matrix.matrix_view[:, :, matrix.names.index(name)].T
                for name in matrix.names}

    def node_costs(self, destination):
        """Every node's cost towards `destination`, +inf where it cannot be reached. A run needs
        an origin and a volume, which do not change the costs."""
        self._model.run(0 if destination else 1, destination, 1.0)
        costs = np.array(self._model.u_i_vec, dtype=np.float64)
        costs[costs >= np.finfo(np.float64).max] = np.inf
        return costs


def agreement(peer, dsts, node_costs, arc_flows, checked_destinations):
    """How far vemo's results are from the peer's on the same problem: node costs for the first
    `checked_destinations` destinations, and the flow per arc summed over all destinations."""
    checked = min(checked_destinations, len(dsts))
    blocks = np.asarray(node_costs, dtype=np.float64).reshape(len(dsts), -1)
    costs = cost_agreement([(blocks[k], peer.node_costs(dsts[k])) for k in range(checked)])
    flows = flow_agreement(
        np.asarray(arc_flows, dtype=np.float64).reshape(len(dsts), -1).sum(axis=0),
        peer.assign(threads=1), peer.arc_costs())
    return {"destinations_checked": checked, **costs, **flows,
            "agree": costs["costs_agree"] and flows["flows_agree"]}


def cost_agreement(pairs):
    """Compares (vemo's, the peer's) node costs of each destination in `pairs`."""
    ours = np.concatenate([ours for ours, _ in pairs])
    theirs = np.concatenate([theirs for _, theirs in pairs])
    reachable = np.isfinite(ours), np.isfinite(theirs)
    reachability_differs = int(np.count_nonzero(reachable[0] != reachable[1]))
    ours, theirs = ours[reachable[0] & reachable[1]], theirs[reachable[0] & reachable[1]]
    gap = np.abs(ours - theirs)
    outside = int(np.count_nonzero(gap > QUANTUM + RELATIVE_COST_TOLERANCE * theirs))
    return {
        "node_costs_compared": len(ours),
        "reachability_differs": reachability_differs,
        "costs_outside_tolerance": outside,
        "max_cost_difference": float(gap.max(initial=0.0)),
        "max_relative_cost_difference": float(np.max(gap / np.maximum(theirs, 1.0), initial=0)),
        "share_of_costs_lower_in_vemo": float(np.mean(ours < theirs)) if len(ours) else 0.0,
        "costs_agree": reachability_differs == 0 and outside == 0,
    }


def flow_agreement(ours, theirs, arc_costs):
    """Compares vemo's and the peer's flow per arc, and the riding time they add up to."""
    gap = np.abs(ours - theirs)
    close = float(np.mean(gap <= RELATIVE_FLOW_TOLERANCE * np.maximum(np.abs(theirs), 1.0)))
    our_time, their_time = float(ours @ arc_costs), float(theirs @ arc_costs)
    riding_time_gap = abs(our_time - their_time) / max(abs(their_time), 1.0)
    return {
        "share_of_close_flows": close,
        "max_flow_difference": float(gap.max(initial=0.0)),
        "relative_riding_time_difference": riding_time_gap,
        "flows_agree": (close >= SHARE_OF_CLOSE_FLOWS
                        and riding_time_gap <= RELATIVE_FLOW_TOLERANCE),
    }
