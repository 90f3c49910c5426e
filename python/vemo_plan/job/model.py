"""A feed's lines, walks and zones as one line network, numbered so that skims come out zone by
zone.

The line network's stops 0 .. S-1 are the feed's stops. Zones that are the stops use them.
Other zones are stops S .. S+Z-1 of the network that no line serves: an access walk from each
to its connected stops, an egress walk from each of those to it. The network has no chained
walks (see ``LineNetwork``): a trip walks at most once between two rides, and access and
egress walks only at its ends.

A line's frequency for waiting is its runs in the window, but at least one per `max_headway`
minutes: a line running once in two hours is not waited for an hour.
"""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from .gtfs import FeedLines, LineFares
from .. import ArcKind, LineNetwork, Perception
from .capacities import MODES, basic_mode
from .walking import Walking, stop_walks
from .zones import Zones, connectors, stop_zones


@dataclass(frozen=True, eq=False)
class ZoneModel:
    """The line network of a feed's lines with walks and zones.

    Attributes:
        feed_lines, zones: what it was built from.
        max_headway: the longest headway waited for, in minutes.
        line_network: the ``LineNetwork``; its walking links are the walks between stops, then the
            access walks, then the egress walks.
        origin_nodes, destination_nodes: uint64 per zone, the node its trips leave from and
            the node they arrive at.
        arc_skims: the skims summed along the strategies, name -> float32 per arc: the line
            network's, in_vehicle_time_<mode> for each mode of a line, and fare with fares.
        fares: the fare of a boarding on each line, if the feed gives them, and its note.
        stop_walks: how many walks link stops.
        access: a row per zone connector (each is an access and an egress walk): zone, stop
            (their numbers) and walking minutes; empty when the zones are the stops.
        unconnected: bool per zone, True for a zone with no stop within reach.
    """

    feed_lines: FeedLines
    zones: Zones
    max_headway: float
    line_network: LineNetwork
    origin_nodes: NDArray[np.uint64]
    destination_nodes: NDArray[np.uint64]
    arc_skims: dict[str, NDArray[np.float32]]
    fares: LineFares
    stop_walks: int
    access: pd.DataFrame
    unconnected: NDArray[np.bool_]


def zone_model(feed_lines: FeedLines, zones: Zones | None = None, walking: Walking = Walking(),
               transfers: pd.DataFrame | None = None, max_headway: float = 60.0,
               fares: LineFares = LineFares(None),
               perception: Perception = Perception()) -> ZoneModel:
    """The line network of `feed_lines`, with walks between stops (``walking.stop_walks``, with
    `transfers`) and `zones` (default: the stops) joined to their nearest stops; routes chosen
    by the `perception` weights."""
    if not max_headway > 0:
        raise ValueError(f"max_headway must be positive: got {max_headway}")
    zones = stop_zones(feed_lines) if zones is None else zones
    walk_from, walk_to, walk_minutes = stop_walks(feed_lines, walking, transfers)
    stop_count = len(feed_lines.stop_ids)
    if zones.of_stops:
        zone_stops = np.arange(stop_count)
        links = pd.DataFrame({"zone": [], "stop": [], "minutes": []})
    else:
        zone_stops = np.arange(stop_count, stop_count + len(zones))
        links = connectors(zones, feed_lines, walking)
    zone = zone_stops[links["zone"].to_numpy(np.int64)]
    stop = links["stop"].to_numpy(np.int64)
    connector_minutes = links["minutes"].to_numpy(float)
    runs = np.maximum(feed_lines.runs, feed_lines.window_minutes / max_headway)

    line_network = LineNetwork.from_segments(
        feed_lines.alignments, runs / feed_lines.window_minutes, feed_lines.segment_minutes,
        walking=(np.concatenate([walk_from, zone, stop]), np.concatenate([walk_to, stop, zone]),
                 np.concatenate([walk_minutes, connector_minutes, connector_minutes])),
        stop_count=stop_count + (0 if zones.of_stops else len(zones)), chained_walks=False,
        perception=perception)
    unconnected = (np.zeros(len(zones), bool) if zones.of_stops
                   else ~np.isin(np.arange(len(zones)), links["zone"].to_numpy(np.int64)))
    return ZoneModel(feed_lines=feed_lines, zones=zones, max_headway=max_headway,
                     line_network=line_network,
                     origin_nodes=line_network.origin_nodes[zone_stops],
                     destination_nodes=line_network.destination_nodes[zone_stops],
                     arc_skims=_arc_skims(line_network, feed_lines, fares), fares=fares,
                     stop_walks=len(walk_from), access=links, unconnected=unconnected)


def _arc_skims(network: LineNetwork, feed_lines: FeedLines,
               fares: LineFares) -> dict[str, NDArray[np.float32]]:
    """The line network's skims, with the in-vehicle time of each mode and the fares."""
    skims = dict(network.arc_skims)
    mode = np.array([MODES[basic_mode(int(code))].key for code in feed_lines.route_types])
    line = network.arc_line
    riding = network.arc_kind == ArcKind.RIDE
    present = set(mode)
    for key in [m.key for m in MODES.values() if m.key in present]:
        skims[f"in_vehicle_time_{key}"] = np.where(
            riding & (mode[line] == key), network.arc_skims["in_vehicle_time"], np.float32(0))
    if fares.per_line is not None:
        skims["fare"] = np.where(network.boarding, fares.per_line[line], np.float32(0))
    return skims
