"""The fare of a boarding on each line, from GTFS fares v1 (fare_attributes.txt and
fare_rules.txt), where an additive skim can carry it.

Handled: one fare for every route (a single fare_attributes row and no rules, or a rule that
names no route), and fares by route_id. Each boarding pays its route's fare. Not handled yet:
fares by origin, destination or zones crossed (origin_id, destination_id, contains_id), free or
discounted transfers (fare_attributes' transfers and transfer_duration), several currencies;
a feed that needs them gets no fare skim, with a note that says why.
"""

from __future__ import annotations

from dataclasses import dataclass

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from .._tables import Table
from ._read import Feed

ZONE_COLUMNS = ("origin_id", "destination_id", "contains_id")


@dataclass(frozen=True, eq=False)
class LineFares:
    """`per_line`: the fare of a boarding on each line, None without one; `note`: what the
    reader should know of it (empty if nothing)."""

    per_line: NDArray[np.float32] | None
    note: str = ""


def line_fares(feed: Feed, route_ids: list[str]) -> LineFares:
    """The fares of lines of the routes `route_ids`, by the rules above."""
    attributes, rules = feed["fare_attributes"], feed["fare_rules"]
    if attributes.rows.empty:
        return LineFares(None)
    price = attributes.numbers("price", minimum=0)
    currencies = set(attributes.text("currency_type")) - {""}
    if len(currencies) > 1:
        return LineFares(None, f"fares in {len(currencies)} currencies are not handled: no fare "
                               f"skim")
    price_of = dict(zip(attributes.rows["fare_id"], price))
    by_zone = pd.Series(False, index=rules.rows.index)
    for column in ZONE_COLUMNS:
        by_zone |= rules.text(column) != ""
    if by_zone.any():
        return LineFares(None, "fares by origin, destination or zone are not handled yet: no "
                               "fare skim")
    if rules.rows.empty:
        if len(price_of) > 1:
            return LineFares(None, f"{len(price_of)} fares and no fare_rules.txt to say which "
                                   f"applies: no fare skim")
        flat = next(iter(price_of.values()))
        return LineFares(np.full(len(route_ids), flat, np.float32), _transfer_note(attributes))
    fare_ids = rules.rows["fare_id"]
    unknown = ~fare_ids.isin(list(price_of))
    if unknown.any():
        rules.fail(unknown.idxmax(), f"fare_id {fare_ids[unknown.idxmax()]!r} is not in "
                                     f"fare_attributes.txt")
    prices = fare_ids.map(price_of)
    routes = rules.text("route_id")
    every_route = prices[routes == ""].min() if (routes == "").any() else np.nan
    # A route with several fares pays the lowest: the rider's best ticket.
    by_route = prices[routes != ""].groupby(routes[routes != ""]).min()
    fares = pd.Series(route_ids).map(by_route).fillna(every_route)
    missing = int(fares.isna().sum())
    notes = [_transfer_note(attributes)]
    if missing:
        notes.append(f"{missing} of {len(route_ids)} lines have no fare and count as free")
    return LineFares(fares.fillna(0.0).to_numpy(np.float32), "; ".join(n for n in notes if n))


def _transfer_note(attributes: Table) -> str:
    """A note where a fare allows transfers (transfers empty, 1 or 2), which the skim ignores."""
    if (attributes.text("transfers", "0") != "0").any():
        return "each boarding pays its full fare: transfer allowances are not handled yet"
    return ""
