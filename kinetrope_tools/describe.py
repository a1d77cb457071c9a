"""What a motion does over one loop, and the catalogue names closest to a name."""

from __future__ import annotations

from dataclasses import dataclass
from typing import TYPE_CHECKING

import numpy as np

from kinetrope_tools._loop import FloatArray, Name, builtin_names, read_loop, text_of

if TYPE_CHECKING:
    import kinetrope

AXES = ("x", "y", "z")


@dataclass(frozen=True)
class MotionInfo:
    """One loop of a motion summed up.

    `moving_axes` are the axes that take more than one value; `low` and `high`
    the per-axis extremes (x, y, z); `peak` the largest coordinate magnitude;
    `rest_share` the share of the loop's pips at the origin.
    """

    name: str
    description: str
    period_pips: int
    dimensions: int
    moving_axes: tuple[str, ...]
    low: tuple[float, float, float]
    high: tuple[float, float, float]
    peak: float
    rest_share: float


def moving_axes(values: FloatArray) -> tuple[str, ...]:
    return tuple(axis for axis, column in zip(AXES, values.T) if bool(np.any(column != column[0])))


def per_axis(values: FloatArray) -> tuple[float, float, float]:
    x, y, z = (float(value) for value in values)
    return (x, y, z)


def rest_share(values: FloatArray) -> float:
    at_origin = np.all(values == 0.0, axis=1)
    return float(np.count_nonzero(at_origin)) / len(values)


def describe(source: Name | kinetrope.SampledPattern | kinetrope.PatternLibrary,
             name: Name | None = None) -> MotionInfo:
    """Read one loop of `source` (a motion name, a SampledPattern, or a
    PatternLibrary with `name`) and sum it up."""
    loop = read_loop(source, name)
    values, entry = loop.values, loop.entry
    return MotionInfo(
        name=entry.name,
        description=entry.description,
        period_pips=entry.period_pips,
        dimensions=entry.dimensions,
        moving_axes=moving_axes(values),
        low=per_axis(values.min(axis=0)),
        high=per_axis(values.max(axis=0)),
        peak=float(np.abs(values).max()),
        rest_share=rest_share(values),
    )


def suggest(name: Name, n: int = 3) -> list[str]:
    """Up to `n` built-in motion names closest to `name`, closest first."""
    if isinstance(n, bool) or not isinstance(n, int) or n < 1:
        raise ValueError(f"n must be a positive int, not {n!r}")
    return builtin_names().closest(text_of(name), n)
