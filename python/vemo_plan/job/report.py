"""What a job did, and its summary as the command prints it."""

from __future__ import annotations

from dataclasses import dataclass, field
from pathlib import Path
from typing import TYPE_CHECKING

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from .. import CongestionModel
from . import gtfs
from .loads import load_table, over_capacity
from .model import ZoneModel
from .skims import ZoneSkims

if TYPE_CHECKING:
    from .run import Job

WORST = 5  # the over-capacity segments the summary names
STOPS = {"tolerance": "the gap reached the tolerance", "iteration limit": "the iteration limit",
         "settled": "the flows settled",
         "over capacity": "flows stay over capacity: the lines cannot carry the demand"}


@dataclass
class Report:
    """What the job did: its model, demand and assignments, riders per vehicle of each line,
    the congested model, why the service day is that day (None: it was asked for), the line
    loads (``loads.load_table``), time per stage, files written."""

    job: Job
    model: ZoneModel
    demand: NDArray[np.float64]
    uncongested: ZoneSkims
    congested: ZoneSkims | None
    vehicle_capacities: NDArray[np.float64]
    congestion: CongestionModel
    day: str | None = None
    seconds: dict[str, float] = field(default_factory=dict)
    files: list[Path] = field(default_factory=list)
    loads: pd.DataFrame = field(init=False)

    def __post_init__(self) -> None:
        self.loads = load_table(self.model.feed_lines, self.vehicle_capacities,
                                {name: skims.line_loads for name, skims in self.runs().items()})

    def runs(self) -> dict[str, ZoneSkims]:
        """The assignments by name: "uncongested", then "congested" if there is one."""
        return {"uncongested": self.uncongested} | (
            {} if self.congested is None else {"congested": self.congested})

    def unreachable_share(self, skims: ZoneSkims) -> float:
        """The share of the assigned trips whose destination cannot be reached."""
        assigned = self.demand.sum() - np.trace(self.demand)
        return float(skims.unassigned.sum() / assigned) if assigned > 0 else 0.0

    def summary(self) -> list[str]:
        model, feed_lines = self.model, self.model.feed_lines
        network = model.line_network.network
        stations = model.zones.stations
        zones = ("the stops" if model.zones.of_stops
                 else f"{stations} station{'s' * (stations != 1)}, "
                      f"{len(model.zones) - stations} stops outside them"
                 if stations else f"{int(model.unconnected.sum())} without a stop in reach")
        intrazonal = np.trace(self.demand)
        routes = len(set(feed_lines.route_ids))
        text = [
            f"Feed {feed_lines.feed_label}: {feed_lines.day.isoformat()}, "
            f"{gtfs.clock(feed_lines.start)} to {gtfs.clock(feed_lines.end)} (a "
            f"{feed_lines.day.strftime('%A')}{'' if self.day is None else ': ' + self.day})",
            f"  lines: {len(feed_lines.alignments)} (stop patterns of {routes} "
            f"route{'s' * (routes != 1)}), runs: {int(feed_lines.runs.sum())}",
            f"  stops: {len(feed_lines.stop_ids)} ({int((~feed_lines.served).sum())} without "
            f"service), zones: {len(model.zones)} ({zones})",
            f"  arcs: {network.arc_count}, of which {model.stop_walks} walks between stops and "
            f"{model.zone_walks} zone connectors",
            f"  demand: {self._demand_source()}, {self.demand.sum():,.0f} trips"
            + (f" ({intrazonal:,.0f} within a zone, not assigned)" if intrazonal else ""),
            self._result("uncongested", self.uncongested),
        ]
        if self.congested is not None:
            text.append(self._congested(self.congested))
        text.append("  time: " + ", ".join(f"{stage} {seconds:.2f} s"
                                           for stage, seconds in self.seconds.items()))
        text.append("  wrote " + ", ".join(str(path) for path in self.files))
        if self.congested is not None:
            text += self._over_capacity()
        return text

    def _demand_source(self) -> str:
        if self.job.demand is not None:
            return str(self.job.demand)
        return f"gravity model (distance scale {self.job.length_km:g} km)"

    def _result(self, name: str, skims: ZoneSkims) -> str:
        unreachable, walks, pairs = pair_counts(skims)
        return (f"  {name}: total cost {skims.total_cost:,.0f} rider-minutes, "
                f"{100 * self.unreachable_share(skims):.2f}% of trips cannot reach their "
                f"destination; of {pairs:,} pairs of zones {unreachable:,} cannot be reached "
                f"and {walks:,} are walks alone")

    def _congested(self, skims: ZoneSkims) -> str:
        job, loop, model = self.job, skims.loop, self.congestion
        assert loop is not None
        capacity = ("riders a vehicle by mode" if job.vehicle_capacity is None
                    else f"{job.vehicle_capacity:g} riders a vehicle")
        if job.route_capacities is not None:
            capacity += f", routes of {job.route_capacities}"
        limit = {"tolerance": f" {model.tol:g}", "iteration limit": f" {model.max_iters}"}
        return (self._result(f"congested ({capacity})", skims)
                + f"; {model.name} model, {loop.iterations} "
                f"iteration{'s' * (loop.iterations != 1)}, final gap "
                f"{loop.gaps[-1] if loop.gaps else 0:.3g}, stopped: "
                f"{STOPS[loop.stop_reason]}{limit.get(loop.stop_reason, '')}")

    def _over_capacity(self) -> list[str]:
        over = over_capacity(self.loads, "congested")
        if over.empty:
            return ["  over capacity: no segment"]
        return [f"  over capacity: {len(over)} segment{'s' * (len(over) != 1)} carry more "
                f"riders than their runs hold; the most over:"] + [
            f"    {row.line}: {row.from_stop} to {row.to_stop}, {row.over:,.0f} "
            f"riders over" for row in over.head(WORST).itertuples()]


def pair_counts(skims: ZoneSkims) -> tuple[int, int, int]:
    """Of the ordered pairs of distinct zones: those that cannot be reached, those reached by
    walking alone (no vehicle boarded), and all."""
    apart = ~np.eye(len(skims.cost), dtype=bool)
    reached = np.isfinite(skims.cost)
    return (int((~reached & apart).sum()), int((reached & (skims.boardings == 0) & apart).sum()),
            int(apart.sum()))
