"""A feed's lines, walks and zones as one line network, numbered so that skims come out zone by
zone.

Nodes 0 .. S-1 are the feed's stops. Zones that are the stops use them. Other zones get two
nodes each, after the stops: one that trips leave from, with an access walk to each of its
connected stops, and one that trips arrive at, with an egress walk from each. Two nodes keep
trips from walking through a zone's point from one stop to another.
"""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from .gtfs import FeedLines
from .. import LineNetwork
from .walking import Walking, stop_walks
from .zones import Zones, connectors, stop_zones


@dataclass(frozen=True, eq=False)
class ZoneModel:
    """The line network of a feed's lines with walks and zones.

    Attributes:
        feed_lines, zones: what it was built from.
        line_network: the ``LineNetwork``; its walking links are the walks between stops, then the
            access walks, then the egress walks.
        origin_nodes, destination_nodes: uint64 per zone, the node its trips leave from and
            the node they arrive at.
        stop_walks: how many walks link stops.
        access: a row per zone connector (each is an access and an egress walk): zone, stop
            (their numbers) and walking minutes; empty when the zones are the stops.
        unconnected: bool per zone, True for a zone with no stop within reach.
    """

    feed_lines: FeedLines
    zones: Zones
    line_network: LineNetwork
    origin_nodes: NDArray[np.uint64]
    destination_nodes: NDArray[np.uint64]
    stop_walks: int
    access: pd.DataFrame
    unconnected: NDArray[np.bool_]


def zone_model(feed_lines: FeedLines, zones: Zones | None = None, walking: Walking = Walking(),
               transfers: pd.DataFrame | None = None) -> ZoneModel:
    """The line network of `feed_lines`, with walks between stops (``walking.stop_walks``, with
    `transfers`) and `zones` (default: the stops) joined to their nearest stops."""
    zones = stop_zones(feed_lines) if zones is None else zones
    walk_from, walk_to, walk_minutes = stop_walks(feed_lines, walking, transfers)
    stop_count = len(feed_lines.stop_ids)
    if zones.of_stops:
        origins = destinations = np.arange(stop_count, dtype=np.uint64)
        links = pd.DataFrame({"zone": [], "stop": [], "minutes": []})
    else:
        origins = np.arange(stop_count, stop_count + len(zones), dtype=np.uint64)
        destinations = origins + np.uint64(len(zones))
        links = connectors(zones, feed_lines, walking)
    zone = links["zone"].to_numpy(np.int64)
    stop = links["stop"].to_numpy(np.int64)
    tails = [walk_from, origins[zone].astype(np.int64), stop]
    heads = [walk_to, stop, destinations[zone].astype(np.int64)]
    minutes = [walk_minutes, links["minutes"].to_numpy(float), links["minutes"].to_numpy(float)]

    line_network = LineNetwork.from_segments(
        feed_lines.alignments, feed_lines.frequencies, feed_lines.segment_minutes,
        walking=(np.concatenate(tails), np.concatenate(heads), np.concatenate(minutes)),
        stop_count=int(destinations[-1]) + 1)
    unconnected = (np.zeros(len(zones), bool) if zones.of_stops
                   else ~np.isin(np.arange(len(zones)), zone))
    return ZoneModel(feed_lines=feed_lines, zones=zones, line_network=line_network,
                     origin_nodes=origins, destination_nodes=destinations,
                     stop_walks=len(walk_from), access=links, unconnected=unconnected)
