"""How far vemo_plan's skims are from the peer's on the same trips, zone to zone (the
destinations as origins), before either is timed.

Node costs and summed flows are compared as the suite compares them (peer.py). A skim is
compared with the same tolerance as a cost, 1/60000 + value x 2^-15. Where two attractive
choices at a node cost the same within the 1/60000 quantum, the two models may build different
strategies of the same cost, which wait and ride in other proportions: their skims then differ
while their node costs agree. A skim difference counts as such a tie where the node costs agree
and vemo_plan's own parts add up (waiting time + cost skim = node cost, within the tolerance);
any other difference is a disagreement.
"""

import numpy as np

from peer import (NODE_COST_SKIM, QUANTUM, RELATIVE_COST_TOLERANCE, cost_agreement,
                  flow_agreement)


def outside(ours, theirs):
    """Where `ours` is further from `theirs` than the suite's cost tolerance."""
    ours, theirs = np.asarray(ours, np.float64), np.asarray(theirs, np.float64)
    return np.abs(ours - theirs) > QUANTUM + RELATIVE_COST_TOLERANCE * np.abs(theirs)


def skim_agreement(ours, theirs, peer_flows, arc_costs):
    """`ours`: vemo_plan's Assignment with its destinations as origins and total flows;
    `theirs`: the peer's skims of the same trips (Peer.skims) and `peer_flows` its flows."""
    node_costs = ours.node_costs.astype(np.float64)
    costs = cost_agreement([(node_costs.ravel(), theirs[NODE_COST_SKIM].ravel())])
    parts = ours.waiting_time.astype(np.float64) + ours.skims["cost"]
    tie_possible = ~outside(node_costs, theirs[NODE_COST_SKIM]) & ~outside(parts, node_costs)
    skims = {}
    for name, values in ours.skims.items():
        differs = outside(values, theirs[name])
        skims[name] = {
            "outside_tolerance": int(np.count_nonzero(differs)),
            "at_ties": int(np.count_nonzero(differs & tie_possible)),
            "max_difference": float(np.max(np.abs(values - theirs[name]), initial=0.0)),
        }
    flows = flow_agreement(ours.arc_flows.astype(np.float64), peer_flows, arc_costs)
    explained = all(skim["outside_tolerance"] == skim["at_ties"] for skim in skims.values())
    return {"pairs_compared": node_costs.size, **costs, "skims": skims, **flows,
            "agree": costs["costs_agree"] and flows["flows_agree"] and explained}
