"""Line loads as a table, one row per segment of a line between consecutive stops, written as
CSV and as GeoJSON (each segment a LineString along its line's path from stop to stop)."""

from __future__ import annotations

import json
import math
import os
from collections.abc import Mapping

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from ._files import written
from ._tables import write_csv
from .gtfs import FeedLines


def load_table(feed_lines: FeedLines, vehicle_capacities: NDArray[np.float64],
               line_loads: Mapping[str, list[NDArray[np.float32]]]) -> pd.DataFrame:
    """Per segment: line, route_id, segment (0 from the first stop), from_stop and to_stop
    (stop numbers), their ids and names, runs_per_hour, vehicle_capacity (riders a run of the
    line carries, from `vehicle_capacities`), capacity (riders its runs in the window carry)
    and, per name of `line_loads` (e.g. "uncongested"), ``<name>_riders`` and
    ``<name>_capacity_use`` (riders / capacity)."""
    counts = [len(stops) - 1 for stops in feed_lines.alignments]
    line = np.repeat(np.arange(len(counts)), counts)
    from_stop = np.concatenate([stops[:-1] for stops in feed_lines.alignments])
    to_stop = np.concatenate([stops[1:] for stops in feed_lines.alignments])
    ids, names = np.array(feed_lines.stop_ids, object), np.array(feed_lines.stop_names, object)
    capacity = feed_lines.runs[line] * vehicle_capacities[line]
    table = pd.DataFrame({
        "line": np.array(feed_lines.line_names, object)[line],
        "route_id": np.array(feed_lines.route_ids, object)[line],
        "segment": np.concatenate([np.arange(count) for count in counts]),
        "from_stop": from_stop, "to_stop": to_stop,
        "from_stop_id": ids[from_stop], "to_stop_id": ids[to_stop],
        "from_stop_name": names[from_stop], "to_stop_name": names[to_stop],
        "runs_per_hour": feed_lines.frequencies[line] * 60.0,
        "vehicle_capacity": vehicle_capacities[line],
        "capacity": capacity,
    })
    for name, loads in line_loads.items():
        riders = np.concatenate(loads).astype(float)
        table[f"{name}_riders"] = riders
        table[f"{name}_capacity_use"] = riders / capacity
    return table


def over_capacity(table: pd.DataFrame, name: str) -> pd.DataFrame:
    """The segments of `table` whose ``<name>_riders`` exceed their capacity by a rider or
    more (rounded): line, from_stop and to_stop (their names, else ids) and riders over
    (``over``), the most over first."""
    over = table[f"{name}_riders"] - table["capacity"]
    found = table[over >= 0.5]
    ends = {f"{end}_stop": found[f"{end}_stop_name"].where(found[f"{end}_stop_name"] != "",
                                                  found[f"{end}_stop_id"])
            for end in ("from", "to")}
    return (pd.DataFrame({"line": found["line"], **ends, "over": over[found.index]})
            .sort_values("over", ascending=False, kind="stable"))


def write_loads_csv(path: str | os.PathLike[str], table: pd.DataFrame) -> None:
    with written(path) as temporary:
        write_csv(temporary, table.drop(columns=["from_stop", "to_stop"]))


def write_loads_geojson(path: str | os.PathLike[str], table: pd.DataFrame,
                        feed_lines: FeedLines) -> None:
    """A FeatureCollection of the segments of `table` (as `load_table` gives them, in line
    order), properties as in the CSV, coordinates in longitude and latitude (RFC 7946) along
    the line's path."""
    paths = [feed_lines.segment_path(line, segment)
             for line, stops in enumerate(feed_lines.alignments)
             for segment in range(len(stops) - 1)]
    properties = table.drop(columns=["from_stop", "to_stop"]).to_dict("records")
    features = [{
        "type": "Feature",
        "geometry": {"type": "LineString", "coordinates": path.tolist()},
        "properties": {name: _json_value(value) for name, value in row.items()},
    } for path, row in zip(paths, properties)]
    with written(path) as temporary:
        temporary.write_text(json.dumps({"type": "FeatureCollection", "features": features}))


def _json_value(value: object) -> object:
    """`value`, or None (null) for a NaN or an infinity, which JSON lacks."""
    return None if isinstance(value, float) and not math.isfinite(value) else value
