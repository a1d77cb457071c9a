"""Contact sheets (one per family) and single-motion pictures.

A contact sheet is drawn into one invisible axes whose data units are inches,
with every panel's lines batched into a handful of collections: creating one
matplotlib axes per panel would cost more than everything else together.
"""

from __future__ import annotations

import dataclasses
from pathlib import Path
from typing import Any, Sequence

import matplotlib

matplotlib.use("Agg")
matplotlib.rcParams["svg.fonttype"] = "none"  # text stays text: small, searchable SVG
matplotlib.rcParams["svg.hashsalt"] = "kinetrope-gallery"  # reproducible SVG ids

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.axes import Axes  # noqa: E402
from matplotlib.collections import LineCollection  # noqa: E402
from matplotlib.colors import Normalize  # noqa: E402
from matplotlib.figure import Figure  # noqa: E402
from matplotlib.patches import PathPatch, Polygon  # noqa: E402
from matplotlib.path import Path as DrawPath  # noqa: E402

from . import glyphs  # noqa: E402
from .findings import findings  # noqa: E402
from .marks import arrowhead, beat_ticks, drawn_loop, time_axis  # noqa: E402
from .motions import PIPS_PER_BEAT, Motion  # noqa: E402

AXIS_COLOURS = ("#1f77b4", "#ff7f0e", "#2ca02c")  # x, y, z traces
PATH_COLOUR = "#222222"
FRAME_COLOUR = "#b0b0b0"
GUIDE_COLOUR = "#e4e4e4"
BEAT_COLOUR = "#d0d0d0"
BAR_COLOUR = "#909090"
WARN_COLOUR = "#c0392b"
START_COLOUR = "#d62728"  # the pip-0 arrow
TICK_COLOUR = "#555555"  # beat ticks along a path
DEPTH_MAP = matplotlib.colormaps["viridis"].resampled(256)
DEPTH_NORM = Normalize(-1.0, 1.0)
DEPTH_LEVELS = 24  # a sheet draws depth colours in this many steps, one compound path each
BEATS_PER_BAR = 4
COLOUR_CHUNKS = 32  # a 3-axis path on a sheet is drawn as this many z-coloured pieces
SHEET_POINTS = 256  # a sheet panel (190 px wide) draws at most this many pips of a loop
METADATA = {"png": {"Software": None}, "svg": {"Date": None, "Creator": None}}
SAVE_OPTIONS: dict[str, dict[str, Any]] = {"png": {"pil_kwargs": {"compress_level": 3}}, "svg": {}}


@dataclasses.dataclass(frozen=True)
class SheetLayout:
    """Panel geometry of a contact sheet, in inches."""

    columns: int = 4
    panel_width: float = 2.3
    panel_height: float = 3.3
    header: float = 0.6
    title_height: float = 0.48
    path_side: float = 1.9
    trace_gap: float = 0.1
    trace_height: float = 0.66
    dpi: int = 100

    @property
    def margin(self) -> float:
        return (self.panel_width - self.path_side) / 2

    def size(self, panels: int) -> tuple[float, float]:
        rows = max(1, -(-panels // self.columns))
        return self.columns * self.panel_width, self.header + rows * self.panel_height

    def origin(self, index: int) -> tuple[float, float]:
        """Top-left corner of panel ``index`` (y grows upwards, the sheet top is 0)."""
        row, column = divmod(index, self.columns)
        return column * self.panel_width, -self.header - row * self.panel_height

    def path_box(self, index: int) -> tuple[float, float, float]:
        """Left, bottom and side of panel ``index``'s x-y square."""
        left, top = self.origin(index)
        return left + self.margin, top - self.title_height - self.path_side, self.path_side

    def trace_box(self, index: int) -> tuple[float, float, float, float]:
        """Left, bottom, width and height of panel ``index``'s time traces."""
        left, bottom, _ = self.path_box(index)
        return left, bottom - self.trace_gap - self.trace_height, self.path_side, self.trace_height


def closed_loop(points: np.ndarray) -> np.ndarray:
    """The points with the first appended, so a drawn loop closes."""
    return np.vstack([points, points[:1]])


def to_box(xy: np.ndarray, left: float, bottom: float, side: float) -> np.ndarray:
    """Map [-1, 1]² into a square box."""
    return np.column_stack([left + (xy[:, 0] + 1) / 2 * side, bottom + (xy[:, 1] + 1) / 2 * side])


def depth_pieces(path: np.ndarray, depth: np.ndarray, pieces: int) -> tuple[list[np.ndarray], np.ndarray]:
    """Split a closed path into consecutive pieces, each with its mean depth."""
    count = len(path) - 1
    bounds = np.linspace(0, count, min(pieces, count) + 1).round().astype(int)
    segments = [path[a : b + 1] for a, b in zip(bounds[:-1], bounds[1:])]
    colours = np.array([depth[a : b + 1].mean() for a, b in zip(bounds[:-1], bounds[1:])])
    return segments, colours


def thinning_step(period: int) -> int:
    """Pip step that keeps a sheet panel's loop within ``SHEET_POINTS`` points."""
    return max(1, -(-period // SHEET_POINTS))


def rectangle(left: float, bottom: float, width: float, height: float) -> np.ndarray:
    return np.array(
        [(left, bottom), (left + width, bottom), (left + width, bottom + height), (left, bottom + height), (left, bottom)]
    )


def beat_marks(period: int) -> tuple[list[int], list[int]]:
    """Inner beat pips and inner bar pips of one loop."""
    beats = list(range(PIPS_PER_BEAT, period, PIPS_PER_BEAT))
    bar = PIPS_PER_BEAT * BEATS_PER_BAR
    return [p for p in beats if p % bar], [p for p in beats if not p % bar]


def describe_period(period: int) -> str:
    beats = period / PIPS_PER_BEAT
    beat_text = f"{beats:g} beat" + ("" if beats == 1 else "s")
    return f"{period} pips · {beat_text}"


def axes_label(dims: int) -> str:
    return "xyz"[:dims]


@dataclasses.dataclass
class SheetArtists:
    """Line batches of a whole sheet, filled panel by panel."""

    frames: list[Any] = dataclasses.field(default_factory=list)
    guides: list[Any] = dataclasses.field(default_factory=list)
    beats: list[Any] = dataclasses.field(default_factory=list)
    bars: list[Any] = dataclasses.field(default_factory=list)
    paths: list[Any] = dataclasses.field(default_factory=list)
    depth_paths: list[Any] = dataclasses.field(default_factory=list)
    depth_values: list[Any] = dataclasses.field(default_factory=list)
    traces: tuple[list[Any], list[Any], list[Any]] = dataclasses.field(default_factory=lambda: ([], [], []))
    starts: list[Any] = dataclasses.field(default_factory=list)  # pip 0 of a motion that never moves
    arrows: list[Any] = dataclasses.field(default_factory=list)
    beat_ticks: list[Any] = dataclasses.field(default_factory=list)
    bar_ticks: list[Any] = dataclasses.field(default_factory=list)


def add_panel(art: SheetArtists, layout: SheetLayout, index: int, motion: Motion, table: np.ndarray) -> None:
    """Queue one motion's path, traces, frames and beat lines."""
    left, bottom, side = layout.path_box(index)
    art.frames.append(rectangle(left, bottom, side, side))
    mid_x, mid_y = left + side / 2, bottom + side / 2
    art.guides += [np.array([(left, mid_y), (left + side, mid_y)]), np.array([(mid_x, bottom), (mid_x, bottom + side)])]

    step = thinning_step(motion.period)
    loop = closed_loop(table[::step])
    path = to_box(drawn_loop(table, motion.dims, step), left, bottom, side)
    if motion.dims == 3:
        pieces, depths = depth_pieces(path, loop[:, 2], COLOUR_CHUNKS)
        art.depth_paths += pieces
        art.depth_values.append(depths)
    else:
        art.paths.append(path)
    add_marks(art, table, motion.dims, (left, bottom, side))

    t_left, t_bottom, t_width, t_height = layout.trace_box(index)
    art.frames.append(rectangle(t_left, t_bottom, t_width, t_height))
    art.guides.append(np.array([(t_left, t_bottom + t_height / 2), (t_left + t_width, t_bottom + t_height / 2)]))
    beats, bars = beat_marks(motion.period)
    scale = t_width / motion.period
    art.beats += [np.array([(t_left + p * scale, t_bottom), (t_left + p * scale, t_bottom + t_height)]) for p in beats]
    art.bars += [np.array([(t_left + p * scale, t_bottom), (t_left + p * scale, t_bottom + t_height)]) for p in bars]
    xs = t_left + np.append(np.arange(0, motion.period, step), motion.period) * scale
    for axis in range(motion.dims):
        art.traces[axis].append(np.column_stack([xs, t_bottom + (loop[:, axis] + 1) / 2 * t_height]))


def add_marks(art: SheetArtists, table: np.ndarray, dims: int, box: tuple[float, float, float]) -> None:
    """Queue the pip-0 arrow (a dot if the motion never moves) and the beat ticks."""
    arrow = arrowhead(table, dims)
    if arrow is None:
        art.starts.append(to_box(drawn_loop(table, dims)[:1], *box)[0])
    else:
        art.arrows.append(to_box(arrow, *box))
    beats, bars = beat_ticks(table, dims)
    art.beat_ticks += [to_box(tick, *box) for tick in beats]
    art.bar_ticks += [to_box(tick, *box) for tick in bars]


def compound(polylines: Sequence[np.ndarray]) -> DrawPath:
    """Many polylines as one path: one drawing call, one SVG element."""
    vertices = np.concatenate(polylines)
    codes = np.full(len(vertices), DrawPath.LINETO, dtype=DrawPath.code_type)
    starts = np.cumsum([0] + [len(line) for line in polylines[:-1]])
    codes[starts] = DrawPath.MOVETO
    return DrawPath(vertices, codes)


def stroke(ax: Axes, polylines: Sequence[np.ndarray], colour: str, width: float) -> None:
    if polylines:
        # add_artist, not add_patch: the limits are fixed, and add_patch would walk
        # every vertex in Python to update them.
        ax.add_artist(PathPatch(compound(polylines), fill=False, edgecolor=colour, linewidth=width, capstyle="round"))


def depth_levels(depths: np.ndarray) -> np.ndarray:
    """Depth in [-1, 1] quantised to one of ``DEPTH_LEVELS`` colour steps."""
    return np.clip(np.rint((depths + 1) / 2 * (DEPTH_LEVELS - 1)), 0, DEPTH_LEVELS - 1).astype(int)


def draw_batches(ax: Axes, art: SheetArtists) -> None:
    """Turn the queued lines into one compound path per colour."""
    stroke(ax, art.guides, GUIDE_COLOUR, 0.5)
    stroke(ax, art.beats, BEAT_COLOUR, 0.5)
    stroke(ax, art.bars, BAR_COLOUR, 0.6)
    stroke(ax, art.frames, FRAME_COLOUR, 0.6)
    stroke(ax, art.paths, PATH_COLOUR, 0.8)
    if art.depth_paths:
        levels = depth_levels(np.concatenate(art.depth_values))
        for level in np.unique(levels):
            pieces = [piece for piece, at in zip(art.depth_paths, levels) if at == level]
            stroke(ax, pieces, DEPTH_MAP(level / (DEPTH_LEVELS - 1)), 1.0)
    for axis, lines in enumerate(art.traces):
        stroke(ax, lines, AXIS_COLOURS[axis], 0.7)
    stroke(ax, art.beat_ticks, TICK_COLOUR, 0.6)
    stroke(ax, art.bar_ticks, TICK_COLOUR, 0.9)
    if art.arrows:
        ax.add_artist(PathPatch(compound(art.arrows), facecolor=START_COLOUR, edgecolor="none", zorder=5))
    if art.starts:
        starts = np.array(art.starts)
        ax.scatter(starts[:, 0], starts[:, 1], s=9, c=START_COLOUR, zorder=5, linewidths=0)


@dataclasses.dataclass(frozen=True)
class Label:
    text: str
    x: float
    y: float
    points: float
    weight: str
    colour: str


def panel_labels(layout: SheetLayout, index: int, motion: Motion) -> list[Label]:
    """Name and loop length above a panel."""
    left, top = layout.origin(index)
    centre = left + layout.panel_width / 2
    detail = f"{describe_period(motion.period)} · {axes_label(motion.dims)}"
    return [
        Label(motion.name, centre, top - 0.13, 7.5, "bold", "#000000"),
        Label(detail, centre, top - 0.3, 6.3, "normal", "#555555"),
    ]


def panel_notes(ax: Axes, layout: SheetLayout, index: int, notes: Sequence[str]) -> None:
    if notes:
        left, _ = layout.origin(index)
        _, t_bottom, _, _ = layout.trace_box(index)
        ax.text(left + layout.panel_width / 2, t_bottom - 0.07, "; ".join(notes),
                ha="center", va="top", fontsize=5.5, color=WARN_COLOUR)


@dataclasses.dataclass
class LabelLayers:
    """The panel labels twice: as text (for SVG, where text stays searchable)
    and as glyph outlines (for raster output, where they draw much faster)."""

    as_text: list[Any]
    as_outlines: list[Any]

    def show_for(self, fmt: str) -> None:
        for artist in self.as_text:
            artist.set_visible(fmt == "svg")
        for artist in self.as_outlines:
            artist.set_visible(fmt != "svg")


def draw_labels(ax: Axes, labels: Sequence[Label]) -> LabelLayers:
    as_text = [
        ax.text(lb.x, lb.y, lb.text, ha="center", va="center", fontsize=lb.points, fontweight=lb.weight,
                family=glyphs.FAMILY, color=lb.colour)
        for lb in labels
    ]
    styles: dict[tuple[str, str], list[Any]] = {}
    for lb in labels:
        styles.setdefault((lb.weight, lb.colour), []).extend(glyphs.label(lb.text, lb.x, lb.y, lb.points, lb.weight))
    as_outlines = [
        ax.add_artist(PathPatch(glyphs.compound(shapes), facecolor=colour, edgecolor="none", linewidth=0))
        for (_, colour), shapes in styles.items()
    ]
    return LabelLayers(as_text, as_outlines)


def sheet_header(ax: Axes, title: str) -> None:
    ax.text(0.12, -0.2, title, ha="left", va="center", fontsize=10, fontweight="bold")
    legend = (
        "path: x right, y up (moving along one axis: that axis up against time), red arrow = pip 0 and the way it goes, ticks = beats, "
        "long ticks = bars;\n3-axis paths coloured by z (purple −1 … yellow +1)   "
        "traces: x blue, y orange, z green over one loop; grey lines = beats (64 pips), dark = bars"
    )
    ax.text(0.12, -0.44, legend, ha="left", va="center", fontsize=6, color="#555555")


def new_canvas(width: float, height: float, dpi: int) -> tuple[Figure, Axes]:
    """A figure with one invisible axes whose data units are inches, y from -height to 0."""
    fig = plt.figure(figsize=(width, height), dpi=dpi)
    ax = fig.add_axes((0, 0, 1, 1))
    ax.set_xlim(0, width)
    ax.set_ylim(-height, 0)
    ax.set_axis_off()
    return fig, ax


def save(fig: Figure, stem: Path, formats: Sequence[str], dpi: int, labels: LabelLayers | None = None) -> list[Path]:
    written = []
    for fmt in formats:
        if labels:
            labels.show_for(fmt)
        target = stem.with_suffix("." + fmt)
        fig.savefig(target, format=fmt, dpi=dpi, metadata=METADATA[fmt], **SAVE_OPTIONS[fmt])
        written.append(target)
    return written


def render_sheet(
    title: str,
    motions: Sequence[Motion],
    tables: Sequence[np.ndarray],
    stem: Path,
    formats: Sequence[str] = ("png", "svg"),
    layout: SheetLayout = SheetLayout(),
) -> tuple[list[Path], dict[str, list[str]]]:
    """Draw one contact sheet; returns the files written and each motion's findings."""
    width, height = layout.size(len(motions))
    fig, ax = new_canvas(width, height, layout.dpi)
    sheet_header(ax, title)
    art = SheetArtists()
    labels: list[Label] = []
    notes: dict[str, list[str]] = {}
    for index, (motion, table) in enumerate(zip(motions, tables)):
        add_panel(art, layout, index, motion, table)
        labels += panel_labels(layout, index, motion)
        notes[motion.name] = findings(table, motion.dims)
        panel_notes(ax, layout, index, notes[motion.name])
    draw_batches(ax, art)
    layers = draw_labels(ax, labels)
    try:
        return save(fig, stem, formats, layout.dpi, layers), notes
    finally:
        plt.close(fig)


def render_motion(
    motion: Motion, table: np.ndarray, stem: Path, formats: Sequence[str] = ("png", "svg"), dpi: int = 110
) -> list[Path]:
    """A larger picture of one motion: its x-y path (plus x-z and y-z for three
    axes) above one trace per used axis."""
    projections = [(0, 1)] + ([(0, 2), (2, 1)] if motion.dims == 3 else [])
    fig = plt.figure(figsize=(3.2 * len(projections) + 0.4, 3.2 + 1.1 * motion.dims + 0.6), dpi=dpi)
    grid = fig.add_gridspec(1 + motion.dims, len(projections), height_ratios=[3.2] + [1.1] * motion.dims)
    fig.suptitle(f"{motion.name}  ·  {describe_period(motion.period)}  ·  {axes_label(motion.dims)}", fontsize=11)
    loop = closed_loop(table)
    for column, (a, b) in enumerate(projections):
        ax = fig.add_subplot(grid[0, column])
        draw_projection(ax, table, a, b, motion.dims)
    pips = np.arange(motion.period + 1)
    beats, bars = beat_marks(motion.period)
    for axis in range(motion.dims):
        ax = fig.add_subplot(grid[1 + axis, :])
        for pip in beats:
            ax.axvline(pip, color=BEAT_COLOUR, linewidth=0.6)
        for pip in bars:
            ax.axvline(pip, color=BAR_COLOUR, linewidth=0.8)
        ax.axhline(0, color=GUIDE_COLOUR, linewidth=0.6)
        ax.plot(pips, loop[:, axis], color=AXIS_COLOURS[axis], linewidth=1.1)
        ax.set_xlim(0, motion.period)
        ax.set_ylim(-1.05, 1.05)
        ax.set_ylabel(f"{'xyz'[axis]}(t)")
        ax.set_xticks(range(0, motion.period + 1, PIPS_PER_BEAT * (1 if motion.period <= 512 else 2)))
        if axis < motion.dims - 1:
            ax.tick_params(labelbottom=False)
    ax.set_xlabel("pip")
    fig.text(0.5, 0.005, motion.description, ha="center", va="bottom", fontsize=7.5, color="#555555", wrap=True)
    fig.tight_layout(rect=(0, 0.03, 1, 0.97))
    try:
        return save(fig, stem, formats, dpi)
    finally:
        plt.close(fig)


def draw_projection(ax: Axes, table: np.ndarray, a: int, b: int, dims: int) -> None:
    """One plane of a motion's path, coloured by depth when it has three axes; a
    one-axis motion as its trace against time. An arrow marks pip 0 and the way
    the motion leaves it, ticks mark the beats."""
    ax.axhline(0, color=GUIDE_COLOUR, linewidth=0.6)
    ax.axvline(0, color=GUIDE_COLOUR, linewidth=0.6)
    points = drawn_loop(table, dims, plane=(a, b))
    if dims == 3:
        depth_axis = ({0, 1, 2} - {a, b}).pop()
        pieces, depths = depth_pieces(points, closed_loop(table)[:, depth_axis], 4 * COLOUR_CHUNKS)
        lines = LineCollection(pieces, cmap=DEPTH_MAP, norm=DEPTH_NORM, linewidths=1.4)
        lines.set_array(depths)
        ax.add_collection(lines)
        ax.set_title(f"colour = {'xyz'[depth_axis]}", fontsize=8)
    else:
        ax.plot(points[:, 0], points[:, 1], color=PATH_COLOUR, linewidth=1.2)
    beats, bars = beat_ticks(table, dims, (a, b))
    ax.add_collection(LineCollection(beats, colors=TICK_COLOUR, linewidths=0.8, clip_on=False))
    ax.add_collection(LineCollection(bars, colors=TICK_COLOUR, linewidths=1.2, clip_on=False))
    arrow = arrowhead(table, dims, (a, b))
    if arrow is None:
        ax.plot(points[0, 0], points[0, 1], "o", color=START_COLOUR, markersize=4, clip_on=False)
    else:
        ax.add_patch(Polygon(arrow[:-1], closed=True, facecolor=START_COLOUR, edgecolor="none", zorder=5,
                             clip_on=False))
    ax.set_xlim(-1.05, 1.05)
    ax.set_ylim(-1.05, 1.05)
    ax.set_aspect("equal")
    along = time_axis(table, dims)
    if along is not None:
        period = len(table)
        beat_pips = range(0, period + 1, PIPS_PER_BEAT * (1 if period <= 512 else 4))
        ax.set_xticks([pip / period * 2 - 1 for pip in beat_pips], labels=[str(pip) for pip in beat_pips])
        ax.set_xlabel(f"pip ({'xyz'[along]} against time)")
        ax.set_ylabel("xyz"[along])
    else:
        ax.set_xlabel("xyz"[a])
        ax.set_ylabel("xyz"[b])
