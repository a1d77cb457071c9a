"""Where a motion is drawn in its square, and the marks along it: the
direction of travel at pip 0 and a tick at every beat.

Everything here is in plane units: the square [-1, 1]², x right and y up. A
motion of two or three axes is drawn as its x-y path. A motion that moves
along one axis only (a one-axis motion, or one whose other axes stay at 0)
would be a straight line there, so it is drawn as its trace against time
instead: one loop from left (pip 0) to right (the loop's end), that axis
upwards.
"""

from __future__ import annotations

from typing import Any, TypeAlias

import numpy as np
import numpy.typing as npt

from .motions import PIPS_PER_BEAT

Points: TypeAlias = np.ndarray[tuple[Any, ...], np.dtype[np.float64]]
BEATS_PER_BAR = 4
BEAT_TICK = 0.1  # tick lengths in plane units (the square is 2 wide)
BAR_TICK = 0.18
ARROW_LENGTH = 0.22
ARROW_WIDTH = 0.1


Plane: TypeAlias = tuple[int, int]
XY: Plane = (0, 1)


def time_axis(table: Points, dims: int) -> int | None:
    """The axis a motion is drawn along against time: its only axis, or the
    only one of its axes that leaves 0; None for a path in the plane."""
    if dims == 1:
        return 0
    moving = [axis for axis in range(dims) if np.any(table[:, axis] != 0.0)]
    return moving[0] if len(moving) == 1 else None


def plane_points(table: Points, dims: int, pips: npt.NDArray[np.int64], plane: Plane = XY) -> Points:
    """The drawn points of some pips of a loop (0 .. period, the end included),
    in the plane of two axes; a motion along one axis against time."""
    period = len(table)
    values = table[pips % period]
    along = time_axis(table, dims)
    if along is not None:
        return np.column_stack([pips / period * 2.0 - 1.0, values[:, along]])
    return np.column_stack([values[:, plane[0]], values[:, plane[1]]])


def drawn_loop(table: Points, dims: int, step: int = 1, plane: Plane = XY) -> Points:
    """The whole drawn line, every `step`-th pip and the loop's end."""
    pips = np.append(np.arange(0, len(table), step), len(table))
    return plane_points(table, dims, pips, plane)


def unit(vector: Points) -> Points | None:
    length = float(np.hypot(vector[0], vector[1]))
    return vector / length if length > 1e-12 else None


def travel_direction(table: Points, dims: int, plane: Plane = XY) -> Points | None:
    """Which way the drawing leaves pip 0: towards the first later pip drawn
    elsewhere; None for a motion that never moves in the plane."""
    line = drawn_loop(table, dims, plane=plane)
    for point in line[1:]:
        direction = unit(point - line[0])
        if direction is not None:
            return direction
    return None


def arrowhead(table: Points, dims: int, plane: Plane = XY, scale: float = 1.0) -> Points | None:
    """A closed triangle with its base on pip 0, pointing the way of travel."""
    direction = travel_direction(table, dims, plane)
    if direction is None:
        return None
    direction = direction * scale
    start = plane_points(table, dims, np.zeros(1, dtype=np.int64), plane)[0]
    across = np.array([-direction[1], direction[0]])
    tip = start + direction * ARROW_LENGTH
    return np.array([tip, start + across * ARROW_WIDTH / 2, start - across * ARROW_WIDTH / 2, tip])


def beat_ticks(table: Points, dims: int, plane: Plane = XY, scale: float = 1.0) -> tuple[list[Points], list[Points]]:
    """Short strokes across the line at every beat after pip 0, longer at
    every bar; a beat where the motion stands still gets an upright stroke."""
    period = len(table)
    beats: list[Points] = []
    bars: list[Points] = []
    for pip in range(PIPS_PER_BEAT, period, PIPS_PER_BEAT):
        around = plane_points(table, dims, np.array([pip - 1, pip, pip + 1]), plane)
        heading = unit(around[2] - around[0])
        across = np.array([0.0, 1.0]) if heading is None else np.array([-heading[1], heading[0]])
        bar = pip % (PIPS_PER_BEAT * BEATS_PER_BAR) == 0
        half = (BAR_TICK if bar else BEAT_TICK) / 2 * scale
        (bars if bar else beats).append(np.array([around[1] - across * half, around[1] + across * half]))
    return beats, bars
