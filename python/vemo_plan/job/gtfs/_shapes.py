"""The path each line runs along, from shapes.txt where its trips name a shape, else straight
from stop to stop.

A line's stops are placed on its shape in order: each stop at a point of the shape at or after
the previous stop's, the points chosen so that the stops' distances to them add up to the
least. A segment whose stop lies farther than `OFF_SHAPE_KM` from its point is drawn straight.
"""

from __future__ import annotations

import numpy as np
import pandas as pd
from numpy.typing import NDArray

from .._geo import plane_km
from ._read import Feed

OFF_SHAPE_KM = 0.3

Points = NDArray[np.float64]


def line_paths(feed: Feed, trip_line: pd.Series, runs: pd.Series,
               alignments: list[NDArray[np.int64]], stop_lat: Points,
               stop_lon: Points) -> tuple[list[Points], list[NDArray[np.int64]]]:
    """Per line, its path as (k, 2) longitudes and latitudes from its first stop to its last,
    and the index in it of each of its stops. `trip_line` gives the line of each trip, `runs`
    its runs in the window: a line follows the shape of most of its runs."""
    shape_of = _line_shapes(feed, trip_line, runs)
    shapes = _shapes(feed) if shape_of else {}
    reference_lat = float(np.mean(stop_lat))
    paths, path_stops = [], []
    for line, stops in enumerate(alignments):
        ends = np.column_stack([stop_lon[stops], stop_lat[stops]])
        shape = shapes.get(shape_of.get(line, ""))
        if shape is None:
            paths.append(ends)
            path_stops.append(np.arange(len(stops)))
        else:
            path, at = _along(shape, ends, reference_lat)
            paths.append(path)
            path_stops.append(at)
    return paths, path_stops


def _line_shapes(feed: Feed, trip_line: pd.Series, runs: pd.Series) -> dict[int, str]:
    """The shape_id of each line whose trips name one: the one of most runs."""
    trips = feed["trips"]
    if not trips.has("shape_id"):
        return {}
    shape = trips.rows.drop_duplicates("trip_id").set_index("trip_id")["shape_id"]
    named = pd.DataFrame({"line": trip_line.to_numpy(), "shape": shape[trip_line.index].to_numpy(),
                          "runs": runs[trip_line.index].to_numpy()})
    named = named[named["shape"] != ""]
    totals = named.groupby(["line", "shape"])["runs"].sum().sort_values(ascending=False,
                                                                         kind="stable")
    return dict(totals.index.to_frame().drop_duplicates("line").to_numpy())


def _shapes(feed: Feed) -> dict[str, Points]:
    """Each shape of shapes.txt as (k, 2) longitudes and latitudes in shape_pt_sequence order."""
    table = feed["shapes"]
    if table.rows.empty:
        return {}
    lat = table.numbers("shape_pt_lat")
    lon = table.numbers("shape_pt_lon")
    misplaced = ~((lat.abs() <= 90) & (lon.abs() <= 180))
    if misplaced.any():
        table.fail(misplaced.idxmax(), "a shape point needs shape_pt_lat within ±90 and "
                                       "shape_pt_lon within ±180")
    points = pd.DataFrame({"shape": table.rows["shape_id"], "order": table.numbers(
        "shape_pt_sequence", minimum=0), "lon": lon, "lat": lat}).sort_values(
        ["shape", "order"], kind="stable")
    shapes = points["shape"].to_numpy()
    starts = np.flatnonzero(np.append(True, shapes[1:] != shapes[:-1]))
    return dict(zip(shapes[starts], np.split(points[["lon", "lat"]].to_numpy(float),
                                             starts[1:])))


def _along(shape: Points, stops: Points, reference_lat: float
           ) -> tuple[Points, NDArray[np.int64]]:
    """The path through `stops` (longitude, latitude) along `shape`, and each stop's index in
    it."""
    km = plane_km(shape[:, 1], shape[:, 0], reference_lat)
    keep = np.concatenate([[True], np.any(np.diff(km, axis=0) != 0, axis=1)])
    shape, km = shape[keep], km[keep]
    stops_km = plane_km(stops[:, 1], stops[:, 0], reference_lat)
    if len(km) < 2:
        return stops, np.arange(len(stops))
    share, distance = _to_pieces(stops_km, km[:-1], np.diff(km, axis=0))
    piece = _monotone_nearest(distance)
    position = np.maximum.accumulate(piece + share[np.arange(len(stops)), piece])
    off = distance[np.arange(len(stops)), piece] > OFF_SHAPE_KM
    return _path(shape, position, stops, off)


def _to_pieces(stops: Points, start: Points, along: Points) -> tuple[Points, Points]:
    """For each stop (row) and piece of the shape (column, from `start` by `along`), the share
    of the piece where the stop's nearest point on it lies, and the distance to that point.
    Computed in place on (stops, pieces) arrays: on a detailed shape there are thousands of
    pieces for every stop, and temporaries would take most of the time."""
    dx = np.subtract.outer(stops[:, 0], start[:, 0])
    dy = np.subtract.outer(stops[:, 1], start[:, 1])
    share = dx * along[:, 0]
    share += dy * along[:, 1]
    share /= along[:, 0] * along[:, 0] + along[:, 1] * along[:, 1]
    np.clip(share, 0.0, 1.0, out=share)
    dx -= share * along[:, 0]
    dy -= share * along[:, 1]
    return share, np.hypot(dx, dy, out=dx)


def _monotone_nearest(distance: Points) -> NDArray[np.int64]:
    """Per stop (row), a piece of the shape (column), never before the previous stop's, with the
    least sum of distances."""
    best = [distance[0]]
    for row in distance[1:]:
        best.append(row + np.minimum.accumulate(best[-1]))
    piece = np.empty(len(distance), np.int64)
    piece[-1] = int(np.argmin(best[-1]))
    for stop in range(len(distance) - 2, -1, -1):
        piece[stop] = int(np.argmin(best[stop][:piece[stop + 1] + 1]))
    return piece


def _path(shape: Points, position: Points, stops: Points, off: NDArray[np.bool_]
          ) -> tuple[Points, NDArray[np.int64]]:
    """The points from stop to stop: each stop at `position` along the shape (piece index plus
    share of it), the shape's own points between; where either stop of a segment is `off` the
    shape, straight between the stops themselves."""
    pieces = len(shape) - 1
    piece = np.minimum(position.astype(np.int64), pieces - 1)
    on_shape = shape[piece] + (position - piece)[:, None] * (shape[piece + 1] - shape[piece])
    ends = np.where(off[:, None], stops, on_shape)
    points, at, count = [ends[:1]], [0], 1
    for k in range(len(stops) - 1):
        if not (off[k] or off[k + 1]):
            between = shape[int(np.floor(position[k])) + 1:int(np.ceil(position[k + 1]))]
            points.append(between)
            count += len(between)
        points.append(ends[k + 1:k + 2])
        at.append(count)
        count += 1
    return np.concatenate(points), np.array(at, np.int64)
