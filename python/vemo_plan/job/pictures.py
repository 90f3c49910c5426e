"""Pictures of an assignment: line loads drawn on the stop map, and the congested loop's gap.

Each line segment is a band beside the straight stretch between its two stops, on the right of
the direction of travel, so the two directions of a road lie side by side; lines that share a
stretch are stacked outwards. A band's width is proportional to its load, on one scale for all
panels of a picture, so uncongested and congested loads compare at a glance.
"""

from __future__ import annotations

from collections.abc import Sequence
from pathlib import Path
from typing import Any

import matplotlib

matplotlib.use("Agg")  # files only: no display needed

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.axes import Axes  # noqa: E402
from matplotlib.colors import to_hex  # noqa: E402
from matplotlib.patches import Patch, Polygon  # noqa: E402
from matplotlib.ticker import MaxNLocator  # noqa: E402

# Per line: its stop numbers, or the load of each of its segments; sequences or NumPy arrays.
Stops = Sequence[Any]
Loads = Sequence[Any]

WIDEST_BAND = 0.025  # the largest load's band width, as a share of the map's larger side
BAND_GAP = 0.004  # space between the road centre and the first band, same unit


def line_colours(count: int) -> list[str]:
    palette = plt.get_cmap("tab10" if count <= 10 else "tab20")
    return [to_hex(palette(k % palette.N)) for k in range(count)]


def draw_bands(ax: Axes, xy: np.ndarray, alignments: Stops, loads: Loads,
               colours: Sequence[str], band_per_load: float, gap: float,
               capacities: Sequence[float]) -> None:
    stacked: dict[tuple[int, int], float] = {}
    for stops, line_loads, colour, capacity in zip(alignments, loads, colours, capacities):
        for a, b, load in zip(stops, stops[1:], line_loads):
            along = xy[b] - xy[a]
            length = float(np.hypot(*along))
            if not load > 0 or length == 0:
                continue
            right = np.array([along[1], -along[0]]) / length
            inner = stacked.get((a, b), gap)
            outer = inner + load * band_per_load
            stacked[(a, b)] = outer
            corners = [xy[a] + right * inner, xy[b] + right * inner,
                       xy[b] + right * outer, xy[a] + right * outer]
            over = load > capacity
            ax.add_patch(Polygon(corners, closed=True, facecolor=colour, alpha=0.85,
                                 edgecolor="black" if over else "none", linewidth=0,
                                 hatch="///" if over else None))


def draw_load_maps(path: str | Path, xy: np.ndarray, alignments: Stops,
                   line_names: Sequence[str], panels: Sequence[tuple[str, Loads]], *,
                   title: str, unit: str, stop_labels: Sequence[str] | None = None,
                   served: Sequence[int] | np.ndarray | None = None,
                   capacities: Sequence[float] | None = None,
                   widest_band: float = WIDEST_BAND) -> None:
    """One map per panel (title, loads), side by side, written to `path` as a PNG.

    xy holds every stop's plane coordinates; `served` lists the stops to draw (default: all),
    `stop_labels` names them on the map. With `capacities` (one per line), a segment loaded
    beyond its line's capacity is hatched. `widest_band` is the largest load's band
    width as a share of the map's larger side.
    """
    served = list(range(len(xy))) if served is None else list(served)
    span = np.ptp(xy[served], axis=0)
    extent = float(max(span.max(), 1e-9))
    largest = max((max_load(loads) for _, loads in panels), default=0.0)
    band_per_load = widest_band * extent / largest if largest > 0 else 0.0
    limits = [np.inf] * len(alignments) if capacities is None else capacities
    colours = line_colours(len(alignments))

    # Maps at the stops' aspect ratio, with room for the titles above and the legend below.
    low, high = xy[served].min(axis=0), xy[served].max(axis=0)
    margin = 0.08 * extent
    aspect = (high[1] - low[1] + 2 * margin) / (high[0] - low[0] + 2 * margin)
    rows = (min(len(alignments), 20) + 3) // 4
    height = 7.5 * min(max(aspect, 0.5), 1.6) + 1.0 + 0.3 * rows
    fig, axes = plt.subplots(1, len(panels), figsize=(7.5 * len(panels), height), squeeze=False)
    for ax, (panel_title, loads) in zip(axes[0], panels):
        draw_bands(ax, xy, alignments, loads, colours, band_per_load, BAND_GAP * extent,
                   limits)
        ax.scatter(xy[served, 0], xy[served, 1], s=10, color="black", zorder=3)
        if stop_labels is not None:
            for stop in served:
                ax.annotate(stop_labels[stop], tuple(xy[stop]), xytext=(4, 4),
                            textcoords="offset points", fontsize=9, zorder=4)
        ax.set_xlim(low[0] - margin, high[0] + margin)
        ax.set_ylim(low[1] - margin, high[1] + margin)
        ax.set_aspect("equal")
        ax.set_title(f"{panel_title}: busiest segment {max_load(loads):,.0f} {unit}")
        ax.set_xticks([])
        ax.set_yticks([])
    handles = [Patch(color=colour, label=name) for colour, name in zip(colours, line_names)]
    fig.legend(handles=handles[:20], loc="lower center", ncol=min(len(handles), 4), fontsize=9,
               frameon=False, title="band width: load, side: direction of travel (drives on the "
               "right)" + ("" if capacities is None else ", hatched: over capacity")
               + ("" if len(handles) <= 20 else f"; first 20 of {len(handles)} lines"))
    fig.suptitle(title, fontsize=13)
    fig.tight_layout(rect=(0, (0.35 + 0.3 * rows) / height, 1, 1 - 0.5 / height))
    fig.savefig(path, dpi=110, format="png")
    plt.close(fig)


def max_load(loads: Loads) -> float:
    return max((float(np.max(line, initial=0.0)) for line in loads), default=0.0)


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
