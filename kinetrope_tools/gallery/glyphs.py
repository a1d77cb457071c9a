"""Short labels drawn as filled glyph outlines, for raster contact sheets.

Laying out and rasterising a matplotlib Text costs a few milliseconds, and a
sheet carries two labels per panel: text was the largest cost of a PNG sheet.
The labels use a monospaced face, so each glyph's outline is made once, a
label is its glyphs placed at a fixed advance, and all labels of one style are
drawn as one compound path.
"""

from __future__ import annotations

import functools

import numpy as np
from matplotlib.font_manager import FontProperties
from matplotlib.path import Path
from matplotlib.textpath import TextPath, text_to_path

FAMILY = "DejaVu Sans Mono"  # ships with matplotlib
POINTS_PER_INCH = 72.0
MIDDLE = 0.36  # baseline offset, in em, that centres lowercase text on a line


def face(weight: str) -> FontProperties:
    return FontProperties(family=FAMILY, weight=weight, size=10)


@functools.lru_cache(maxsize=None)
def outline(char: str, weight: str) -> Path:
    """The glyph of ``char`` at a size of one unit per em, origin on the baseline."""
    return TextPath((0, 0), char, size=1, prop=face(weight))


@functools.lru_cache(maxsize=None)
def advance(weight: str) -> float:
    """The face's advance width, in em (every glyph has the same)."""
    sample = "0" * 64
    width, _, _ = text_to_path.get_text_width_height_descent(sample, face(weight), ismath=False)
    return width / face(weight).get_size_in_points() / len(sample)


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
        if len(shape.vertices):
            glyphs.append(Path(shape.vertices * size + (left + index * step, baseline), shape.codes))
    return glyphs


def compound(glyphs: list[Path]) -> Path:
    return Path.make_compound_path(*glyphs) if glyphs else Path(np.zeros((0, 2)))
