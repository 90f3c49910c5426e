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
from dataclasses import dataclass
from functools import cached_property
from pathlib import Path
from typing import Any

import numpy as np
import pandas as pd
# A figure on the Agg canvas, without pyplot: files only, no display or figure manager needed.
from matplotlib.backends.backend_agg import FigureCanvasAgg, RendererAgg
from matplotlib.collections import LineCollection
from matplotlib.figure import Figure
from matplotlib.legend import Legend
from matplotlib.lines import Line2D
from matplotlib.ticker import MaxNLocator
from matplotlib.transforms import Bbox
from mpl_toolkits.axes_grid1.anchored_artists import (  # type: ignore[import-untyped]
    AnchoredSizeBar,
)

# Per line: its stop numbers, or the load of each of its segments; sequences or NumPy arrays.
Stops = Sequence[Any]
Loads = Sequence[Any]
# Per line: the (k, 2) plane points it runs along, and the index in them of each of its stops.
Paths = Sequence[tuple[np.ndarray, np.ndarray]]

MAP_INCHES = 8.0  # each map's width
MAP_GAP = 0.3  # inches between maps
TITLES = 0.65  # inches above the maps for their titles and, above those, the picture's
MARGIN = 0.2  # inches of white around it all
DPI = 110
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
    bands = [load * points_per_load for load in loads]
    labels = (None if stop_labels is None or len(served) > MAX_STOP_LABELS
              else list(stop_labels))
    low, high = _extent(np.concatenate([xy[served], segments.points]),
                        1.08 if labels is None else 1.15)
    km_per_point = (high[0] - low[0]) / (MAP_INCHES * 72)
    busiest = _busiest(segments, loads, len(alignments))
    colours = np.full(len(alignments), OTHER_LINES, object)
    colours[busiest] = LINE_COLOURS[:len(busiest)]
    limits = (np.full(len(alignments), np.inf) if capacities is None
              else np.asarray(capacities, float))
    lines = segments.line
    over = [(band > 0) & (load > limits[lines]) for band, load in zip(bands, loads)]

    fig = Figure(dpi=DPI)
    canvas = FigureCanvasAgg(fig)
    handles = _legend(colours, busiest, line_names, largest, points_per_load, unit,
                      any(np.any(marked) for marked in over))
    legend = fig.legend(handles=handles, loc="upper left", fontsize=9, frameon=False,
                        handlelength=3)
    for handle, text in zip(handles, legend.get_texts()):
        if handle.get_linestyle() == "None":  # a heading
            text.set_fontweight("bold")
    maps = _lay_out(fig, canvas.get_renderer(), legend,
                    (len(panels) * MAP_INCHES + (len(panels) - 1) * MAP_GAP,
                     MAP_INCHES * (high[1] - low[1]) / (high[0] - low[0])))
    network = segments.paths()
    grey_first = np.argsort(colours[lines] != OTHER_LINES, kind="stable")
    for k, ((panel_title, _), load, band, marked) in enumerate(zip(panels, loads, bands, over)):
        ax = fig.add_axes((maps.x0 + k * (MAP_INCHES + MAP_GAP) / fig.get_figwidth(), maps.y0,
                           MAP_INCHES / fig.get_figwidth(), maps.height))
        ax.add_collection(LineCollection(network, colors=NETWORK, linewidths=0.5, zorder=1))
        order = grey_first[band[grey_first] > 0]
        centres = _offset(segments, band, km_per_point)
        ax.add_collection(LineCollection([centres[s] for s in order],
                                         colors=colours[lines[order]], linewidths=band[order],
                                         capstyle="butt", alpha=0.9, zorder=2))
        ax.add_collection(LineCollection([centres[s] for s in order[marked[order]]],
                                         colors="black", linewidths=0.8,
                                         linestyles=(0, (2, 2)), zorder=3))
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
    fig.suptitle(title, fontsize=13, x=(maps.x0 + maps.x1) / 2,
                 y=1 - MARGIN / fig.get_figheight(), va="top")
    fig.savefig(path, dpi=DPI, format="png")


def _lay_out(fig: Figure, renderer: RendererAgg, legend: Legend, maps: tuple[float, float]
             ) -> Bbox:
    """Sizes `fig` to hold the maps (width, height in inches) with the titles above them and
    `legend` beside them, anchored at their top right corner, all within `MARGIN`; gives the
    maps' box in figure coordinates. The legend is measured rather than the figure cropped to
    fit, so that it is drawn once."""
    legend.set_bbox_to_anchor((0, 0), transform=fig.dpi_scale_trans)
    beside = legend.get_window_extent(renderer).transformed(
        fig.dpi_scale_trans.inverted())  # inches from the maps' top right corner
    (width, height), below = maps, max(maps[1], -beside.y0)
    size = (MARGIN + width + beside.x1 + MARGIN, MARGIN + below + TITLES + MARGIN)
    fig.set_size_inches(size)
    top = size[1] - MARGIN - TITLES
    legend.set_bbox_to_anchor((MARGIN + width, top), transform=fig.dpi_scale_trans)
    return Bbox.from_bounds(MARGIN / size[0], (top - height) / size[1], width / size[0],
                            height / size[1])


@dataclass(frozen=True)
class _Segments:
    """Every line's segments, in line order: line, from and to stop, and the plane points they
    run along, one segment's after another's: segment s along points[bounds[s]:bounds[s + 1]],
    which is at least one point."""

    line: np.ndarray
    a: np.ndarray
    b: np.ndarray
    points: np.ndarray
    bounds: np.ndarray

    @cached_property
    def owner(self) -> np.ndarray:
        """The segment of each point."""
        return np.repeat(np.arange(len(self.line)), np.diff(self.bounds))

    @cached_property
    def along(self) -> np.ndarray:
        """Row j: the step from point j to j + 1; the last row none."""
        return np.diff(self.points, axis=0, append=self.points[-1:])

    @cached_property
    def piece_lengths(self) -> np.ndarray:
        """Row j: the length of piece j, from point j to j + 1, where those are of one segment;
        else 0."""
        owner = self.owner
        inside = np.append(owner[:-1] == owner[1:], False)
        return np.where(inside, np.hypot(self.along[:, 0], self.along[:, 1]), 0.0)

    @cached_property
    def lengths(self) -> np.ndarray:
        """The length of each segment's path."""
        return np.bincount(self.owner, self.piece_lengths, minlength=len(self.line))

    @cached_property
    def normals(self) -> np.ndarray:
        """At each point, the unit mean of the left normals of its segment's pieces ending and
        starting there (0 where it has none of some length)."""
        owner, piece, along = self.owner, self.piece_lengths > 0, self.along
        left = np.zeros_like(along)
        left[piece] = (np.column_stack([-along[piece, 1], along[piece, 0]])
                       / self.piece_lengths[piece, None])
        ending = np.concatenate([np.zeros((1, 2)), left[:-1]])
        starting = _next(piece)
        starting = np.where((owner[starting] == owner)[:, None], left[starting], 0.0)
        normals = ending + starting
        return normals / np.maximum(np.hypot(normals[:, 0], normals[:, 1]), 1e-9)[:, None]

    def paths(self) -> list[np.ndarray]:
        return _split(self.points, self.bounds)


def _split(points: np.ndarray, bounds: np.ndarray) -> list[np.ndarray]:
    return np.split(points, bounds[1:-1])


def _segments(xy: np.ndarray, alignments: Stops, paths: Paths | None) -> _Segments:
    """The segments of `alignments`, each along its line's path from its stop to the next."""
    stops = [np.asarray(line, int) for line in alignments]
    if paths is None:
        paths = [(xy[line], np.arange(len(line))) for line in stops]
    points = [np.asarray(line_points, float) for line_points, _ in paths]
    # Each stop's point in all lines' points, one line's after another's.
    line_start = np.cumsum([0, *map(len, points)])
    at = [np.asarray(line_at, int) + start for (_, line_at), start in zip(paths, line_start)]
    first, last = _joined([line[:-1] for line in at]), _joined([line[1:] for line in at])
    bounds = np.concatenate([[0], np.cumsum(last - first + 1)])
    taken = np.arange(bounds[-1]) + np.repeat(first - bounds[:-1], last - first + 1)
    return _Segments(np.repeat(np.arange(len(stops)), [max(len(line) - 1, 0) for line in stops]),
                     _joined([line[:-1] for line in stops]), _joined([line[1:] for line in stops]),
                     np.concatenate([np.empty((0, 2)), *points])[taken], bounds)


def _joined(parts: list[np.ndarray]) -> np.ndarray:
    return np.concatenate([np.empty(0, int), *parts])


def _extent(points: np.ndarray, margin: float) -> tuple[np.ndarray, np.ndarray]:
    """The map's corners: the points' box `margin` times as large, the shorter side widened
    so that the map is at most 1.4 times as tall as wide and at most 1.7 times as wide as
    tall."""
    low, high = points.min(axis=0), points.max(axis=0)
    size = np.maximum(high - low, 1e-6)
    size = np.maximum(size, [size[1] / 1.4, size[0] / 1.7]) * margin
    centre = (low + high) / 2
    return centre - size / 2, centre + size / 2


def _busiest(segments: _Segments, loads: Sequence[np.ndarray], count: int) -> list[int]:
    """The busiest lines by load times length over all panels, busiest first, one for each of
    `LINE_COLOURS`; only lines with a load."""
    work = np.bincount(segments.line, np.sum(loads, axis=0) * segments.lengths, minlength=count)
    return [int(line) for line in np.argsort(-work, kind="stable")[:len(LINE_COLOURS)]
            if work[line] > 0]


def _offset(segments: _Segments, band: np.ndarray, km_per_point: float) -> list[np.ndarray]:
    """Each segment's path moved across to the centre of its band: the bands between the same
    two stops stacked side by side, the stack centred on the path."""
    pair = pd.Series(band).groupby([np.minimum(segments.a, segments.b),
                                    np.maximum(segments.a, segments.b)])
    before = pair.cumsum().to_numpy() - band
    total = pair.transform("sum").to_numpy()
    across = (before + band / 2 - total / 2) * km_per_point
    return _shifted(segments, np.where(segments.a < segments.b, across, -across))


def _shifted(segments: _Segments, across: np.ndarray) -> list[np.ndarray]:
    """Each segment's path moved its `across` to the left of its direction (to the right if
    negative), less the points that end its pieces of no length; a path that stays put, or has
    no length, as it is."""
    owner, piece = segments.owner, segments.piece_lengths > 0
    shift = np.repeat(across, np.diff(segments.bounds))[:, None]
    moved = segments.points + shift * segments.normals
    still = (across == 0) | (segments.lengths == 0)
    kept = np.append(False, piece[:-1]) | still[owner]
    kept[segments.bounds[:-1]] = True
    return _split(moved[kept], np.append(0, np.cumsum(np.bincount(owner[kept],
                                                                   minlength=len(across)))))


def _next(mask: np.ndarray) -> np.ndarray:
    """Per index, the first at or after it where `mask` is true, else the last index (where it
    is false)."""
    found = np.where(mask, np.arange(len(mask)), len(mask) - 1)
    return np.minimum.accumulate(found[::-1])[::-1]


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
        handles.append(header(f"busiest lines, by {unit} × km"))
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
    fig = Figure(figsize=(8, 4.5))
    FigureCanvasAgg(fig)
    ax = fig.add_subplot()
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
    fig.savefig(path, dpi=DPI, format="png")
