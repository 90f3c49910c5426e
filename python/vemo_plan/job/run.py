"""The planner's whole job: a GTFS feed in; lines, walks and zones; demand; the assignments;
skims to OpenMatrix, line loads to CSV and GeoJSON, and pictures out."""

from __future__ import annotations

import datetime
import importlib
import importlib.resources
import threading
import time
from collections.abc import Iterator
from contextlib import contextmanager
from dataclasses import dataclass, field, replace
from pathlib import Path
from typing import Any

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from .. import AveragingModel, CongestionModel, Perception
from ..progress import open_bar
from . import _signals, gtfs
from ._files import FileSet, file_set
from ._geo import plane_km
from ._tables import write_csv
from .capacities import line_capacities, read_route_capacities
from .demand import gravity_demand, read_demand
from .loads import write_loads_csv, write_loads_geojson
from .model import ZoneModel, zone_model
from .omx import writing_omx
from .options import Option, clock, encoding, nested, number, options, service_day
from .report import Report
from .skims import ZONE_MODELS, ZoneSkims, assign_zones, assign_zones_congested
from .walking import Walking
from .zones import read_zones, station_zones

PLOTS = ("none", "loads", "all")
STAGES = ("feed", "lines", "network", "demand", "uncongested", "congested", "files")
# Every file a result set may have.
RESULTS = ("skims.omx", "line_loads.csv", "line_loads.geojson", "line_loads.png",
           "convergence.png", "convergence.csv")


def sample_feed() -> Path:
    """The small feed kept in the package: three routes of a made-up town, a day of service."""
    return Path(str(importlib.resources.files("vemo_plan") / "data" / "small_feed"))


@dataclass(frozen=True)
class Job:
    """What to compute and where to write it. Times are minutes after midnight; `trips` and
    `length_km` are the gravity model's, used without a `demand` file; `cluster` is a Dask
    scheduler address, or "local" for a LocalCluster, for the uncongested assignment. Each
    field's metadata gives the command line's option for it."""

    feed: Path | None = field(default=None, metadata=options(Option(
        "feed", "GTFS zip or folder (default: the small sample feed of the package)", Path,
        {"nargs": "?"})))
    encoding: str | None = field(default=None, metadata=options(Option(
        "--encoding", "the feed's text encoding (default: UTF-8, else cp1252, else Latin-1, "
        "with a note)", encoding, {"metavar": "NAME"})))
    day: datetime.date | None = field(default=None, metadata=options(Option(
        "--day", "service day YYYYMMDD (default: the Tuesday, Wednesday or Thursday with the "
        "most trips)", service_day)))
    start: float = field(default=7 * 60.0, metadata=options(Option(
        "--start", "window start HH:MM (07:00)", clock)))
    end: float = field(default=9 * 60.0, metadata=options(Option(
        "--end", "window end HH:MM (09:00)", clock)))
    zones: Path | None = field(default=None, metadata=options(Option(
        "--zones", "CSV of zone_id, longitude, latitude (default: the stations, and the stops "
        "outside them)", Path)))
    demand: Path | None = field(default=None, metadata=options(Option(
        "--demand", "CSV of origin, destination (zone ids), trips in the window (default: a "
        "gravity model)", Path)))
    trips: float = field(default=3000.0, metadata=options(Option(
        "--trips", "gravity model: trips in the window (%(default)g)", number(float, 0))))
    length_km: float = field(default=3.0, metadata=options(Option(
        "--length-km", "gravity model: distance scale in km (%(default)g)",
        number(float, 0, above=True))))
    walking: Walking = field(default=Walking(), metadata=nested(
        transfer_metres=Option("--walk-metres", "walks link stops this close in a straight "
                               "line (%(default)g)", number(float, 0)),
        connector_metres=Option("--connector-metres", "zones link to served stops this close "
                                "(%(default)g)", number(float, 0)),
        max_connectors=Option("--max-connectors", "zones link to at most this many stops "
                              "(%(default)g)", number(int, 0)),
        detour=Option("--detour", "walking distance per straight-line metre (%(default)g)",
                      number(float, 1)),
        speed_kmh=Option("--walk-kmh", "walking speed in km/h (%(default)g)",
                         number(float, 0, above=True))))
    max_headway: float = field(default=60.0, metadata=options(Option(
        "--max-headway", "the longest headway waited for, in minutes: a line running less "
        "often is waited for as if it ran this often (%(default)g)",
        number(float, 0, above=True))))
    perception: Perception = field(default=Perception(), metadata=nested(
        wait=Option("--wait-weight", "perceived minutes per minute of waiting (%(default)g; "
                    "production models use about 2)", number(float, 1)),
        walk=Option("--walk-weight", "perceived minutes per minute of walking (%(default)g; "
                    "production models use about 2)", number(float, 1)),
        boarding=Option("--boarding-penalty", "perceived minutes per boarding (%(default)g; "
                        "production models use about 5)", number(float, 0))))
    congested: bool = field(default=False, metadata=options(Option(
        "--congested", "also assign with congestion", more={"action": "store_true"})))
    congestion: str | CongestionModel = field(default="capacity", metadata=options(Option(
        "--congestion-model", "the congested model: capacity (boarding as room allows), "
        "crowding (crowded rides take longer) or averaging (vemo's loop) (%(default)s)", str,
        {"choices": list(ZONE_MODELS), "metavar": "MODEL"})))
    vehicle_capacity: float | None = field(default=None, metadata=options(Option(
        "--capacity", "riders a vehicle carries, on every line (default: by the route's "
        "mode)", number(float, 0, above=True))))
    route_capacities: Path | None = field(default=None, metadata=options(Option(
        "--route-capacities", "CSV of route_id, capacity: riders a vehicle of each route "
        "named carries, over --capacity", Path, {"metavar": "CSV"})))
    tol: float | None = field(default=None, metadata=options(Option(
        "--tol", "the congested loop stops once its relative gap is at most this (default: "
        "the model's, " + ", ".join(f"{name} {model.tol:g}" for name, model
                                    in ZONE_MODELS.items()) + ")", number(float, 0))))
    max_iters: int | None = field(default=None, metadata=options(Option(
        "--max-iters", "most congested iterations (default: the model's, " + ", ".join(
            f"{name} {model.max_iters}" for name, model in ZONE_MODELS.items()) + ")",
        number(int, 1))))
    decay: float | None = field(default=None, metadata=options(Option(
        "--decay", "averaging model: weight of each iteration's flows in the average, at most "
        f"1 ({ZONE_MODELS['averaging'].average_decay_factor:g})",  # type: ignore[union-attr]
        number(float, 0, above=True, most=1))))
    cluster: str | None = field(default=None, metadata=options(
        Option("--dask", "run the uncongested assignment on a Dask LocalCluster of two worker "
               "processes", more={"action": "store_const", "const": "local"}),
        Option("--scheduler", "run it on the Dask cluster at this scheduler address", str,
               {"metavar": "ADDRESS"})))
    plot: str = field(default="all", metadata=options(Option(
        "--plot", "pictures drawn: none, loads (the load map) or all (also the congested "
        "loop's gap) (%(default)s)", str, {"choices": list(PLOTS), "metavar": "WHICH"})))
    out: Path = field(default=Path("vemo_plan_output"), metadata=options(Option(
        "--out", "folder for the files written (%(default)s)", Path)))
    # The command line shows a progress bar unless told not to.
    progress: bool = field(default=False, metadata=options(Option(
        "--no-progress", "no progress bar", more={"action": "store_false"})))

    def congestion_model(self) -> CongestionModel:
        """The congested model: `congestion` (a record, or the name of one of
        ``skims.ZONE_MODELS``) with `tol`, `max_iters` and `decay` where given."""
        model = (self.congestion if not isinstance(self.congestion, str)
                 else ZONE_MODELS[self.congestion])
        changes: dict[str, Any] = {"tol": self.tol, "max_iters": self.max_iters}
        if self.decay is not None:
            if not isinstance(model, AveragingModel):
                raise ValueError(f"decay (--decay) is the averaging model's, not the "
                                 f"{model.name} model's")
            changes["average_decay_factor"] = self.decay
        return replace(model, **{name: value for name, value in changes.items()
                                 if value is not None})


class _Stages:
    """Times the stages of the job, and moves a progress bar over them."""

    def __init__(self, enabled: bool, names: list[str]) -> None:
        self.seconds: dict[str, float] = {}
        self._bar: Any = open_bar(enabled, len(names), "stage")

    @contextmanager
    def stage(self, name: str) -> Iterator[None]:
        _signals.check()
        if self._bar is not None:
            self._bar.set_description(name)
        clock = time.perf_counter()
        yield
        self.seconds[name] = time.perf_counter() - clock
        if self._bar is not None:
            self._bar.update()

    def close(self) -> None:
        if self._bar is not None:
            self._bar.close()


def run_job(job: Job) -> Report:
    """Runs `job`. Nothing is written until every input is read and every assignment done;
    the files are then written under temporary names and renamed together."""
    stages = _Stages(job.progress, [s for s in STAGES if s != "congested" or job.congested])
    try:
        return _run(job, stages)
    finally:
        stages.close()


@dataclass(frozen=True)
class Prepared:
    """What the assignments take: the zone model, the demand between its zones, each line's
    vehicle capacity, and why the service day was chosen (None if given)."""

    model: ZoneModel
    demand: NDArray[np.float64]
    vehicle_capacities: NDArray[np.float64]
    day: str | None


def prepare(job: Job, stages: _Stages | None = None) -> Prepared:
    """The job's stages before the assignments: the feed read, its lines, the network and the
    demand, each timed by `stages` if given."""
    stages = stages or _Stages(False, [])
    with stages.stage("feed"):
        feed = gtfs.read_feed(job.feed or sample_feed(), job.encoding)
        day, why = job.day, None
        if day is None:
            day, why = gtfs.default_day(feed)
    with stages.stage("lines"):
        feed_lines = gtfs.feed_lines(feed, day, job.start, job.end)
        transfers = gtfs.feed_transfers(feed, feed_lines)
        fares = gtfs.line_fares(feed, feed_lines.route_ids)
        by_route = (None if job.route_capacities is None else read_route_capacities(
            job.route_capacities, feed["routes"].rows["route_id"]))
        vehicle_capacities = line_capacities(feed_lines, job.vehicle_capacity, by_route)
    with stages.stage("network"):
        zones = (station_zones(feed, feed_lines, job.walking) if job.zones is None
                 else read_zones(job.zones))
        model = zone_model(feed_lines, zones, job.walking, transfers, job.max_headway, fares,
                           job.perception)
    with stages.stage("demand"):
        demand = (gravity_demand(model, job.trips, job.length_km) if job.demand is None
                  else read_demand(job.demand, model.zones))
    return Prepared(model, demand, vehicle_capacities, why)


def _run(job: Job, stages: _Stages) -> Report:
    prepared = prepare(job, stages)
    model, demand, vehicle_capacities = (prepared.model, prepared.demand,
                                         prepared.vehicle_capacities)
    with stages.stage("uncongested"):
        uncongested = _uncongested(job, model, demand)
    congested, congestion = None, job.congestion_model()
    if job.congested:
        with stages.stage("congested"):
            congested = assign_zones_congested(model, demand, vehicle_capacities, congestion,
                                               progress=job.progress)
    report = Report(job, model, demand, uncongested, congested, vehicle_capacities, congestion,
                    day=prepared.day, seconds=stages.seconds)
    with stages.stage("files"):
        report.files = _write(report)
    return report


def _uncongested(job: Job, model: ZoneModel, demand: NDArray[np.float64]) -> ZoneSkims:
    if job.cluster is None:
        return assign_zones(model, demand, progress=job.progress)
    from .distributed import assign_zones_on_cluster, cluster_client  # Dask only when asked
    with cluster_client(None if job.cluster == "local" else job.cluster) as client:
        return assign_zones_on_cluster(client, model, demand)


def _write(report: Report) -> list[Path]:
    """Writes the result set to `job.out`, replacing an earlier one there whole."""
    job, feed_lines, uncongested, congested = (report.job, report.model.feed_lines,
                                               report.uncongested, report.congested)
    matrices = {"demand": report.demand} | uncongested.matrices()
    if congested is not None:
        matrices |= {f"congested_{name}": matrix for name, matrix in congested.matrices().items()}
    loop = None if congested is None else congested.loop
    # matplotlib takes most of a second to import: a thread imports it while the first files
    # are written. However the writing ends, the import is waited for: an interpreter that
    # exits while it runs may crash in h5py's exit handler.
    importing = threading.Thread(target=importlib.import_module,
                                 args=(f"{__package__}.pictures",))
    if job.plot != "none":
        importing.start()
    try:
        with file_set(job.out, superseded=RESULTS) as files:
            # skims.omx takes most of the bytes: the disk takes them while the rest is made.
            with (files.file("skims.omx") as omx_path,
                  writing_omx(omx_path, report.model.zones.ids, matrices)):
                with files.file("line_loads.csv") as path:
                    write_loads_csv(path, report.loads)
                with files.file("line_loads.geojson") as path:
                    write_loads_geojson(path, report.loads, feed_lines)
                if job.plot != "none":
                    _draw(report, files, loop is not None and job.plot == "all")
                if loop is not None:
                    with files.file("convergence.csv") as path:
                        iterations = np.arange(1, len(loop.gaps) + 1)
                        write_csv(path, pd.DataFrame({"iteration": iterations,
                                                      "gap": loop.gaps}))
        return files.paths
    finally:
        if importing.is_alive():
            importing.join()


def _draw(report: Report, files: FileSet, convergence: bool) -> None:
    """line_loads.png and, if `convergence`, convergence.png."""
    from .pictures import draw_convergence, draw_load_maps  # matplotlib only when drawing
    feed_lines = report.model.feed_lines
    reference_lat = float(np.mean(feed_lines.stop_lat))
    with files.file("line_loads.png") as path:
        draw_load_maps(
            path, plane_km(feed_lines.stop_lat, feed_lines.stop_lon, reference_lat),
            feed_lines.alignments, feed_lines.line_names,
            [(name, skims.line_loads) for name, skims in report.runs().items()],
            title=f"Riders per line segment, {feed_lines.day.isoformat()} "
                  f"{gtfs.clock(feed_lines.start)}-{gtfs.clock(feed_lines.end)}",
            unit="riders", stop_labels=feed_lines.stop_names,
            served=np.flatnonzero(feed_lines.served),
            capacities=list(feed_lines.runs * report.vehicle_capacities),
            paths=[(plane_km(points[:, 1], points[:, 0], reference_lat), at)
                   for points, at in zip(feed_lines.paths, feed_lines.path_stops)])
    if convergence:
        gaps = report.congested.loop.gaps  # type: ignore[union-attr]
        with files.file("convergence.png") as path:
            draw_convergence(path, gaps, tol=report.congestion.tol,
                             title=f"Congested assignment ({report.congestion.name} model): "
                                   f"relative gap by iteration")
