"""Short labels drawn as filled glyph outlines, for raster contact sheets.

Laying out and rasterising a matplotlib Text costs a few milliseconds, and a
sheet carries two labels per panel: text was the largest cost of a PNG sheet.
The labels use a monospaced face, so each glyph's outline is made once, a
label is its glyphs placed at a fixed advance, and all labels of one style are
drawn as one compound path.
"""

from __future__ import annotations

import numpy as np
from matplotlib.font_manager import FontProperties
from matplotlib.path import Path
from matplotlib.textpath import TextPath, text_to_path

FAMILY = "DejaVu Sans Mono"  # ships with matplotlib
POINTS_PER_INCH = 72.0
MIDDLE = 0.36  # baseline offset, in em, that centres lowercase text on a line


def face(weight: str) -> FontProperties:
    return FontProperties(family=FAMILY, weight=weight, size=10)


# Made once per glyph and weight, and kept: a label reuses them.
_outlines: dict[tuple[str, str], Path] = {}
_advances: dict[str, float] = {}


def outline(char: str, weight: str) -> Path:
    """The glyph of ``char`` at a size of one unit per em, origin on the baseline."""
    key = (char, weight)
    if key not in _outlines:
        _outlines[key] = TextPath((0, 0), char, size=1, prop=face(weight))
    return _outlines[key]


def advance(weight: str) -> float:
    """The face's advance width, in em (every glyph has the same)."""
    if weight not in _advances:
        sample = "0" * 64
        width, _, _ = text_to_path.get_text_width_height_descent(sample, face(weight), ismath=False)
        _advances[weight] = width / face(weight).get_size_in_points() / len(sample)
    return _advances[weight]


def label(text: str, centre_x: float, middle_y: float, points: float, weight: str = "normal") -> list[Path]:
    """Glyph outlines of ``text`` centred on (centre_x, middle_y), in inch units."""
    size = points / POINTS_PER_INCH
    step = advance(weight) * size
    left = centre_x - step * len(text) / 2
    baseline = middle_y - MIDDLE * size
    glyphs = []
    for index, char in enumerate(text):
        if char.isspace():  # no outline (and TextPath fails on an empty one)
            continue
        shape = outline(char, weight)
        vertices = np.asarray(shape.vertices, dtype=float)
        if len(vertices):
            glyphs.append(Path(vertices * size + (left + index * step, baseline), shape.codes))
    return glyphs


def compound(glyphs: list[Path]) -> Path:
    return Path.make_compound_path(*glyphs) if glyphs else Path(np.zeros((0, 2)))
