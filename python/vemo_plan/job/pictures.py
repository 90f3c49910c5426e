"""Pictures of an assignment: line loads drawn on the stop map, and the congested loop's gap.

Each line segment is a band along the path its line runs from one stop to the next (its
shape, else straight). A band's width is proportional to its load, on one scale for all panels
of a picture so that uncongested and congested loads compare at a glance, the busiest segment
`widest_band` points wide; the legend, beside the maps, shows what widths mean. The bands of
all lines between the same two stops, either way, lie side by side across the road centre in
line order, which side carries which direction saying nothing about the road. The busiest
lines by riders times kilometres get colours and names, the others are grey.
"""

from __future__ import annotations

from collections.abc import Sequence
from pathlib import Path
from typing import Any

import matplotlib

matplotlib.use("Agg")  # files only: no display needed

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402
from matplotlib.collections import LineCollection  # noqa: E402
from matplotlib.lines import Line2D  # noqa: E402
from matplotlib.ticker import MaxNLocator  # noqa: E402
from mpl_toolkits.axes_grid1.anchored_artists import (  # type: ignore[import-untyped] # noqa: E402
    AnchoredSizeBar,
)

# Per line: its stop numbers, or the load of each of its segments; sequences or NumPy arrays.
Stops = Sequence[Any]
Loads = Sequence[Any]
# Per line: the (k, 2) plane points it runs along, and the index in them of each of its stops.
Paths = Sequence[tuple[np.ndarray, np.ndarray]]

MAP_INCHES = 8.0  # each map's width
WIDEST_BAND = 12.0  # points: the busiest segment's band width
# The busiest lines get these colours (tab10's but its grey, kept for the others) and a name.
LINE_COLOURS = ("#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2",
                "#bcbd22", "#17becf")
MAX_STOP_LABELS = 40  # stops are named on the map when there are at most this many
LABEL_SPACING = 14.0  # points: a stop this close to one named is not named
OTHER_LINES, NETWORK = "#9a9a9a", "#cfcfcf"


def draw_load_maps(path: str | Path, xy: np.ndarray, alignments: Stops,
                   line_names: Sequence[str], panels: Sequence[tuple[str, Loads]], *,
                   title: str, unit: str, stop_labels: Sequence[str] | None = None,
                   served: Sequence[int] | np.ndarray | None = None,
                   capacities: Sequence[float] | None = None, paths: Paths | None = None,
                   widest_band: float = WIDEST_BAND) -> None:
    """One map per panel (title, loads), side by side, written to `path` as a PNG.

    xy holds every stop's plane coordinates (km); `served` lists the stops to draw (default:
    all), `stop_labels` names them on the map where they are few. `paths` gives each line's
    course in the same plane (default: straight from stop to stop). With `capacities` (one per
    line), a segment loaded beyond its line's capacity is marked with a dashed centre line.
    """
    xy = np.asarray(xy, float)
    served = np.arange(len(xy)) if served is None else np.asarray(served, int)
    segments = _segments(xy, alignments, paths)
    loads = [np.concatenate([np.asarray(line, float) for line in panel] or [np.empty(0)])
             for _, panel in panels]
    largest = max((float(np.max(load, initial=0.0)) for load in loads), default=0.0)
    points_per_load = widest_band / largest if largest > 0 else 0.0
    labels = (None if stop_labels is None or len(served) > MAX_STOP_LABELS
              else list(stop_labels))
    low, high = _extent(np.concatenate([xy[served], *segments["path"]]),
                        1.08 if labels is None else 1.15)
    km_per_point = (high[0] - low[0]) / (MAP_INCHES * 72)
    busiest = _busiest(segments, loads, len(alignments))
    colours = np.full(len(alignments), OTHER_LINES, object)
    colours[busiest] = LINE_COLOURS[:len(busiest)]
    limits = (np.full(len(alignments), np.inf) if capacities is None
              else np.asarray(capacities, float))

    map_height = MAP_INCHES * (high[1] - low[1]) / (high[0] - low[0])
    gap, top = 0.3, 0.9
    width = len(panels) * MAP_INCHES + (len(panels) - 1) * gap
    fig = plt.figure(figsize=(width, map_height + top))
    lines = segments["line"].to_numpy()
    over_capacity = False
    for k, ((panel_title, _), load) in enumerate(zip(panels, loads)):
        ax = fig.add_axes(((k * (MAP_INCHES + gap)) / width, 0.0, MAP_INCHES / width,
                           map_height / (map_height + top)))
        ax.add_collection(LineCollection(segments["path"], colors=NETWORK, linewidths=0.5,
                                         zorder=1))
        band = load * points_per_load
        order = np.argsort(colours[lines] != OTHER_LINES, kind="stable")  # grey ones first
        order = order[band[order] > 0]
        centres = _offset(segments, band, km_per_point)
        ax.add_collection(LineCollection([centres[s] for s in order],
                                         colors=colours[lines[order]], linewidths=band[order],
                                         capstyle="butt", alpha=0.9, zorder=2))
        over = order[load[order] > limits[lines[order]]]
        over_capacity |= len(over) > 0
        ax.add_collection(LineCollection([centres[s] for s in over], colors="black",
                                         linewidths=0.8, linestyles=(0, (2, 2)), zorder=3))
        # Stops over the bands where they are few and named, beneath them where they are many.
        ax.scatter(xy[served, 0], xy[served, 1], s=_stop_size(len(served)), color="black",
                   linewidths=0, zorder=1.5 if labels is None else 4)
        if labels is not None:
            _label_stops(ax, xy, served, labels, (low[0] + high[0]) / 2, km_per_point)
        ax.add_artist(_scale_bar(ax, high[0] - low[0]))
        ax.set_xlim(low[0], high[0])
        ax.set_ylim(low[1], high[1])
        ax.set_aspect("equal")
        ax.set_xticks([])
        ax.set_yticks([])
        ax.set_title(f"{panel_title}: busiest segment {float(np.max(load, initial=0)):,.0f} "
                     f"{unit}")
    handles = _legend(colours, busiest, line_names, largest, points_per_load, unit,
                      over_capacity)
    legend = fig.legend(handles=handles, loc="upper left", fontsize=9, frameon=False,
                        bbox_to_anchor=(1.0, map_height / (map_height + top)), handlelength=3)
    for handle, text in zip(handles, legend.get_texts()):
        if handle.get_linestyle() == "None":  # a heading
            text.set_fontweight("bold")
    fig.suptitle(title, fontsize=13, y=1 - 0.25 / (map_height + top))
    fig.savefig(path, dpi=110, format="png", bbox_inches="tight", pad_inches=0.2)
    plt.close(fig)


def _segments(xy: np.ndarray, alignments: Stops, paths: Paths | None) -> pd.DataFrame:
    """Per segment of every line, in line order: line, from and to stop, and the (k, 2) plane
    points it runs along."""
    rows: dict[str, list[Any]] = {"line": [], "a": [], "b": [], "path": []}
    for line, stops in enumerate(alignments):
        stops = np.asarray(stops, int)
        points, at = (xy[stops], np.arange(len(stops))) if paths is None else paths[line]
        for k in range(len(stops) - 1):
            rows["line"].append(line)
            rows["a"].append(stops[k])
            rows["b"].append(stops[k + 1])
            rows["path"].append(np.asarray(points[at[k]:at[k + 1] + 1], float))
    return pd.DataFrame(rows)


def _extent(points: np.ndarray, margin: float) -> tuple[np.ndarray, np.ndarray]:
    """The map's corners: the points' box `margin` times as large, the shorter side widened
    so that the map is at most 1.4 times as tall as wide and at most 1.7 times as wide as
    tall."""
    low, high = points.min(axis=0), points.max(axis=0)
    size = np.maximum(high - low, 1e-6)
    size = np.maximum(size, [size[1] / 1.4, size[0] / 1.7]) * margin
    centre = (low + high) / 2
    return centre - size / 2, centre + size / 2


def _busiest(segments: pd.DataFrame, loads: Sequence[np.ndarray], count: int) -> list[int]:
    """The busiest lines by load times length over all panels, busiest first, one for each of
    `LINE_COLOURS`; only lines with a load."""
    length = np.array([np.hypot(*np.diff(path, axis=0).T).sum() for path in segments["path"]])
    work = np.bincount(segments["line"], np.sum(loads, axis=0) * length, minlength=count)
    return [int(line) for line in np.argsort(-work, kind="stable")[:len(LINE_COLOURS)]
            if work[line] > 0]


def _offset(segments: pd.DataFrame, band: np.ndarray, km_per_point: float) -> list[np.ndarray]:
    """Each segment's path moved across to the centre of its band: the bands between the same
    two stops stacked side by side, the stack centred on the path."""
    pair = pd.Series(list(zip(np.minimum(segments["a"], segments["b"]),
                              np.maximum(segments["a"], segments["b"]))))
    before = pd.Series(band).groupby(pair).cumsum().to_numpy() - band
    total = pd.Series(band).groupby(pair).transform("sum").to_numpy()
    across = (before + band / 2 - total / 2) * km_per_point
    across = np.where(segments["a"] < segments["b"], across, -across)
    return [path if shift == 0 else _shifted(path, shift)
            for path, shift in zip(segments["path"], across)]


def _shifted(path: np.ndarray, distance: float) -> np.ndarray:
    """`path` moved `distance` to the left of its direction (to the right if negative)."""
    along = np.diff(path, axis=0)
    length = np.hypot(along[:, 0], along[:, 1])
    along, length = along[length > 0], length[length > 0]
    if len(along) == 0:
        return path
    left = np.column_stack([-along[:, 1], along[:, 0]]) / length[:, None]
    # At each corner, the mean of the two pieces' normals.
    normals = np.concatenate([left[:1], left[:-1] + left[1:], left[-1:]])
    normals /= np.maximum(np.hypot(normals[:, 0], normals[:, 1]), 1e-9)[:, None]
    points = np.concatenate([path[:1], path[1:][np.hypot(*np.diff(path, axis=0).T) > 0]])
    return points + distance * normals


def _label_stops(ax: Any, xy: np.ndarray, served: np.ndarray, labels: list[str],
                 middle: float, km_per_point: float) -> None:
    """Names the stops, each but those within `LABEL_SPACING` of one named before; a stop
    right of the map's `middle` is named on its left, so that names stay on the map."""
    named: list[np.ndarray] = []
    for stop in served.tolist():
        at = xy[stop]
        if any(np.hypot(*(at - other)) < LABEL_SPACING * km_per_point for other in named):
            continue
        named.append(at)
        left = at[0] > middle
        ax.annotate(labels[stop], tuple(at), xytext=(-4 if left else 4, 4),
                    textcoords="offset points", ha="right" if left else "left", fontsize=9,
                    zorder=5)


def _stop_size(count: int) -> float:
    """Marker area in points²: 12 for up to 100 stops, smaller for more, at least 1."""
    return float(np.clip(12 * np.sqrt(100 / max(count, 1)), 1.0, 12.0))


def _nice(value: float) -> float:
    """The largest of 1, 2 and 5 times a power of ten at most `value` (> 0)."""
    power = 10.0 ** np.floor(np.log10(value))
    return max(step * power for step in (1, 2, 5) if step * power <= value)


def _scale_bar(ax: Any, width_km: float) -> AnchoredSizeBar:
    length = _nice(width_km / 5)
    label = f"{length:g} km" if length >= 1 else f"{length * 1000:g} m"
    return AnchoredSizeBar(ax.transData, length, label, "lower left", frameon=False,
                           size_vertical=0, pad=0.6, fontproperties={"size": 8})


def _legend(colours: np.ndarray, busiest: list[int], line_names: Sequence[str],
            largest: float, points_per_load: float, unit: str,
            over_capacity: bool) -> list[Line2D]:
    """The width key (a few round loads at their band widths), the mark of a segment over
    capacity where one is, and the busiest lines by name."""
    def header(text: str) -> Line2D:
        return Line2D([], [], linestyle="none", label=text)

    handles = [header(f"band width: {unit} on the segment" if largest > 0
                      else f"no {unit} on any segment")]
    if largest > 0:
        key = _nice(largest)
        handles += [Line2D([], [], color="#555555", linewidth=load * points_per_load,
                           solid_capstyle="butt", label=f"{load:,g} {unit}")
                    for load in (key, key / 2, key / 5)]
    if over_capacity:
        handles.append(Line2D([], [], color="black", linewidth=0.8, linestyle=(0, (2, 2)),
                              label="over capacity"))
    if busiest:
        handles.append(header(f"busiest lines ({unit} × km)"))
        handles += [Line2D([], [], color=colours[line], linewidth=6, solid_capstyle="butt",
                           label=line_names[line]) for line in busiest]
    others = len(colours) - len(busiest)
    if others:
        handles.append(Line2D([], [], color=OTHER_LINES, linewidth=6, solid_capstyle="butt",
                              label=f"{others} other line{'s' * (others > 1)}"))
    return handles


def draw_convergence(path: str | Path, gaps: Sequence[float], *, tol: float,
                     title: str) -> None:
    """The congested loop's relative gap after each iteration, on a log scale, with the
    tolerance it stops at."""
    fig, ax = plt.subplots(figsize=(8, 4.5))
    ax.plot(range(1, len(gaps) + 1), gaps, marker="." if len(gaps) < 60 else None)
    ax.axhline(tol, color="grey", linestyle="--", label=f"tolerance {tol:g}")
    if any(gap > 0 for gap in gaps):
        ax.set_yscale("log")
    ax.set_xlabel("iteration")
    # Whole iterations only, and room for them even when there are one or two.
    ax.set_xlim(0.5, len(gaps) + 0.5)
    ax.xaxis.set_major_locator(MaxNLocator(integer=True, min_n_ticks=1))
    ax.set_ylabel("relative gap")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    ax.set_title(title)
    fig.tight_layout()
    fig.savefig(path, dpi=110, format="png")
    plt.close(fig)
