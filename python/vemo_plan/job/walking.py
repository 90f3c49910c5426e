"""Walking: the rules that turn straight-line distances into walking links, and the links
between the stops of a feed."""

from __future__ import annotations

from dataclasses import dataclass, fields

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from ._geo import metres, pairs_within
from .gtfs import FeedLines

Walks = tuple[NDArray[np.int64], NDArray[np.int64], NDArray[np.float64]]


@dataclass(frozen=True)
class Walking:
    """How far and how fast people walk.

    Attributes:
        transfer_metres: stops at most this far apart, in a straight line, are linked by a walk
            both ways.
        connector_metres: a zone is linked to the served stops within this distance ...
        max_connectors: ... the nearest this many of them.
        detour: walking distance per straight-line metre.
        speed_kmh: walking speed.
    """

    transfer_metres: float = 400.0
    connector_metres: float = 800.0
    max_connectors: int = 4
    detour: float = 1.3
    speed_kmh: float = 4.8

    def __post_init__(self) -> None:
        for field in fields(self):
            value = getattr(self, field.name)
            if not (np.isfinite(value) and value >= 0):
                raise ValueError(f"{field.name} must be finite and not negative: got {value}")
        if self.detour < 1 or self.speed_kmh <= 0:
            raise ValueError(f"detour must be at least 1 and speed_kmh positive: got "
                             f"{self.detour} and {self.speed_kmh}")

    def minutes(self, straight_metres: NDArray[np.float64]) -> NDArray[np.float64]:
        """Walking minutes over straight-line distances."""
        return straight_metres * self.detour / (self.speed_kmh * 1000.0 / 60.0)


def stop_walks(feed_lines: FeedLines, walking: Walking,
               transfers: pd.DataFrame | None = None) -> Walks:
    """Walks between stops: both ways between every two stops within `transfer_metres`, then
    the pairs of `transfers` (as ``gtfs.feed_transfers`` gives them) added, retimed where they
    give minutes, or removed where not allowed. From, to, minutes; ordered by from, then to."""
    lat, lon = feed_lines.stop_lat, feed_lines.stop_lon
    i, j, distance = pairs_within(lat, lon, lat, lon, walking.transfer_metres)
    apart = i != j
    walks = pd.DataFrame({"from": i[apart], "to": j[apart],
                          "minutes": walking.minutes(distance[apart])})
    if transfers is not None and not transfers.empty:
        a, b = transfers["from"].to_numpy(np.int64), transfers["to"].to_numpy(np.int64)
        straight = walking.minutes(metres(lat[a], lon[a], lat[b], lon[b]))
        given = transfers.assign(minutes=np.where(transfers["minutes"].isna(), straight,
                                                  transfers["minutes"]))
        walks = pd.concat([walks, given[given["allowed"]][["from", "to", "minutes"]]])
        walks = walks.drop_duplicates(["from", "to"], keep="last")
        forbidden = pd.MultiIndex.from_frame(given[~given["allowed"]][["from", "to"]])
        walks = walks[~pd.MultiIndex.from_frame(walks[["from", "to"]]).isin(forbidden)]
    walks = walks.sort_values(["from", "to"])
    return (walks["from"].to_numpy(np.int64), walks["to"].to_numpy(np.int64),
            walks["minutes"].to_numpy(float))
