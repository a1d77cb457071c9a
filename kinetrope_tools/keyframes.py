"""Loops drawn from a few keyframes instead of one sample per pip.

A kinetrope pattern holds one (x, y, z) sample for every pip of its loop, and
a beat is 64 pips, so a loop written by hand is mostly in-between values.
``pattern_from_keyframes`` takes the keys only, each at a pip of the loop,
and fills every pip between them with the chosen interpolation, joining the
last key back to the first across the loop's end.
"""

from __future__ import annotations

import math
import numbers
from collections.abc import Iterable, Sequence
from typing import TYPE_CHECKING, Literal, NamedTuple, TypeAlias

import numpy as np
import numpy.typing as npt

from kinetrope_tools._pips import int_text

# Importing kinetrope_tools leaves the kinetrope module unloaded (render also
# serves builds that bind the same classes under another module), so
# kinetrope is imported in the functions that use it.
if TYPE_CHECKING:
    import kinetrope

Keyframe: TypeAlias = tuple[float, Sequence[float]]

INTERPOLATIONS: tuple[Literal["step", "linear", "smooth", "cubic"], ...] = ("step", "linear", "smooth", "cubic")
AXIS_NAMES = ("x", "y", "z")
LONGEST_PERIOD = 65535

# A curve that only meets -1 or 1 can still come out a few units in the last
# place beyond it after rounding; that much is rounding, not overshoot, and
# is pulled back silently.
ROUNDING_SLACK = 1e-12


class Keys(NamedTuple):
    """Validated keyframes: pips (float, strictly increasing, within the
    loop) and one row of three values per key."""

    pips: npt.NDArray[np.float64]
    values: npt.NDArray[np.float64]


class Segments(NamedTuple):
    """For every whole pip of the loop: the key it follows, the key it leads
    to, where the segment between them starts and how long it is, and the
    pip's position along it (0 at the first key, below 1)."""

    first: npt.NDArray[np.intp]
    second: npt.NDArray[np.intp]
    start: npt.NDArray[np.float64]
    length: npt.NDArray[np.float64]
    position: npt.NDArray[np.float64]


def pattern_from_keyframes(
    name: str,
    description: str,
    period_pips: int,
    keyframes: Iterable[Keyframe],
    *,
    interpolation: Literal["step", "linear", "smooth", "cubic"] = "smooth",
    clamp: bool = False,
) -> kinetrope.SampledPattern:
    """A looping pattern of ``period_pips`` pips through the given keys.

    ``keyframes`` are (pip, (x, y, z)) pairs; a pip is an int or a float in
    [0, period_pips), and pips strictly increase. Between keys, and from the
    last key round to the first, the values follow ``interpolation``:

    - "step": each key's value holds until the next key;
    - "linear": straight lines;
    - "smooth": smootherstep easing, flat at every key;
    - "cubic": a periodic Catmull-Rom spline, passing through every key with
      the slope of its neighbours (on unevenly spaced keys, the slope per pip
      between the previous and the next key).

    A key at a whole pip puts its value at that pip exactly, bit for bit. A
    cubic curve can swing past its keys; where that would leave [-1, 1] the
    call is a ValueError naming the first such pip and axis, unless
    ``clamp`` is true, which clips the curve to [-1, 1] instead.
    """
    import kinetrope

    period = checked_period(period_pips)
    method = checked_interpolation(interpolation)
    keys = checked_keys(keyframes, period)
    samples = interpolate(keys, period, method)
    samples = settle_range(samples, clamp=clamp, interpolation=method)
    return kinetrope.SampledPattern(name, description, samples.tolist())


def checked_period(period_pips: object) -> int:
    if isinstance(period_pips, bool) or not isinstance(period_pips, numbers.Integral):
        raise TypeError(f"period_pips must be an int, not {type(period_pips).__name__}")
    period = int(period_pips)
    if not 1 <= period <= LONGEST_PERIOD:
        raise ValueError(f"period_pips must be 1..{LONGEST_PERIOD}, not {period}")
    return period


def checked_interpolation(interpolation: object) -> Literal["step", "linear", "smooth", "cubic"]:
    for known in INTERPOLATIONS:
        if interpolation == known:
            return known
    raise ValueError(f"interpolation must be one of {', '.join(INTERPOLATIONS)}, not {interpolation!r}")


def checked_keys(keyframes: Iterable[Keyframe], period: int) -> Keys:
    pips: list[float] = []
    values: list[tuple[float, float, float]] = []
    for index, keyframe in enumerate(keyframes):
        pip, value = split_keyframe(keyframe, index)
        pip = checked_key_pip(pip, index, period)
        if pips and pip <= pips[-1]:
            raise ValueError(f"keyframe {index}: pip {pip!r} does not come after pip {pips[-1]!r}")
        pips.append(pip)
        values.append(checked_key_value(value, index, pip))
    if not pips:
        raise ValueError("at least one keyframe is needed")
    return Keys(np.array(pips, dtype=np.float64), np.array(values, dtype=np.float64).reshape(-1, 3))


def split_keyframe(keyframe: object, index: int) -> tuple[object, object]:
    if isinstance(keyframe, (str, bytes)) or not isinstance(keyframe, Sequence) or len(keyframe) != 2:
        raise TypeError(f"keyframe {index} must be a (pip, (x, y, z)) pair")
    return keyframe[0], keyframe[1]


def checked_key_pip(pip: object, index: int, period: int) -> float:
    if isinstance(pip, bool) or not isinstance(pip, numbers.Real):
        raise TypeError(f"keyframe {index}: the pip must be an int or a float, not {type(pip).__name__}")
    # An integer is judged as an integer: one past the largest double is
    # outside the loop like any other, not a failed conversion.
    if isinstance(pip, numbers.Integral):
        whole = int(pip)
        inside, shown = 0 <= whole < period, int_text(whole)
    else:
        number = float(pip)
        inside, shown = math.isfinite(number) and 0.0 <= number < period, repr(number)
    if not inside:
        raise ValueError(f"keyframe {index}: pip {shown} is outside the loop [0, {period})")
    return float(pip)


def checked_key_value(value: object, index: int, pip: float) -> tuple[float, float, float]:
    triple = tuple(value) if isinstance(value, Iterable) and not isinstance(value, (str, bytes)) else ()
    if len(triple) != 3:
        raise TypeError(f"keyframe {index} (pip {pip:g}): the value must be an (x, y, z) triple")
    coordinates: list[float] = []
    for axis, coordinate in zip(AXIS_NAMES, triple):
        if isinstance(coordinate, bool) or not isinstance(coordinate, numbers.Real):
            raise TypeError(f"keyframe {index} (pip {pip:g}), axis {axis}: not a number: {coordinate!r}")
        number = float(coordinate)
        if not (math.isfinite(number) and -1.0 <= number <= 1.0):
            raise ValueError(f"keyframe {index} (pip {pip:g}), axis {axis}: {number!r} is outside [-1, 1]")
        coordinates.append(number)
    return coordinates[0], coordinates[1], coordinates[2]


def interpolate(keys: Keys, period: int, interpolation: str) -> npt.NDArray[np.float64]:
    """One (x, y, z) row per whole pip of the loop; a pip that falls on a
    key takes the key's value unchanged."""
    segments = locate(keys.pips, period)
    first = keys.values[segments.first]
    second = keys.values[segments.second]
    u = segments.position[:, np.newaxis]
    if interpolation == "step":
        rows = first.copy()
    elif interpolation == "linear":
        rows = first + (second - first) * u
    elif interpolation == "smooth":
        rows = first + (second - first) * smootherstep(u)
    else:
        rows = catmull_rom(keys, segments, period)
    on_key = segments.position == 0.0
    rows[on_key] = first[on_key]
    return rows


def locate(key_pips: npt.NDArray[np.float64], period: int) -> Segments:
    """Which segment each whole pip lies in. Pips before the first key lie
    on the segment that runs from the last key across the loop's end."""
    count = len(key_pips)
    pips = np.arange(period, dtype=np.float64)
    preceding = np.searchsorted(key_pips, pips, side="right") - 1
    wrapped = preceding < 0
    first = np.where(wrapped, count - 1, preceding)
    second = (first + 1) % count
    start = key_pips[first] - np.where(wrapped, float(period), 0.0)
    end = np.where(first == count - 1, key_pips[0] + period, key_pips[second])
    end = np.where(wrapped, key_pips[0], end)
    length = end - start
    return Segments(first, second, start, length, (pips - start) / length)


def smootherstep(u: npt.NDArray[np.float64]) -> npt.NDArray[np.float64]:
    """6u^5 - 15u^4 + 10u^3: eases in and out with no jump in slope or
    curvature at either end."""
    result: npt.NDArray[np.float64] = u * u * u * (u * (u * 6.0 - 15.0) + 10.0)
    return result


def catmull_rom(keys: Keys, segments: Segments, period: int) -> npt.NDArray[np.float64]:
    """Cubic Hermite segments whose slope at each key is the straight slope
    from the previous key to the next, both taken cyclically."""
    slopes = key_slopes(keys, period)
    first = keys.values[segments.first]
    second = keys.values[segments.second]
    u = segments.position[:, np.newaxis]
    length = segments.length[:, np.newaxis]
    rise = u * u * (3.0 - 2.0 * u)
    leave = u * (1.0 - u) * (1.0 - u)
    arrive = u * u * (u - 1.0)
    bend = slopes[segments.first] * leave + slopes[segments.second] * arrive
    result: npt.NDArray[np.float64] = first + (second - first) * rise + length * bend
    return result


def key_slopes(keys: Keys, period: int) -> npt.NDArray[np.float64]:
    count = len(keys.pips)
    order = np.arange(count)
    before = (order - 1) % count
    after = (order + 1) % count
    pip_before = keys.pips[before] - np.where(order == 0, float(period), 0.0)
    pip_after = keys.pips[after] + np.where(order == count - 1, float(period), 0.0)
    span = (pip_after - pip_before)[:, np.newaxis]
    result: npt.NDArray[np.float64] = (keys.values[after] - keys.values[before]) / span
    return result


def settle_range(samples: npt.NDArray[np.float64], *, clamp: bool, interpolation: str) -> npt.NDArray[np.float64]:
    """Pulls rounding-sized excursions back to [-1, 1]; a real overshoot is
    clipped when ``clamp`` is set and refused otherwise."""
    beyond = np.abs(samples) > 1.0 + ROUNDING_SLACK
    if beyond.any() and not clamp:
        pip, axis = (int(i) for i in np.argwhere(beyond)[0])
        raise ValueError(
            f"{interpolation} interpolation leaves [-1, 1] at pip {pip} on axis {AXIS_NAMES[axis]} "
            f"({float(samples[pip, axis])!r}); pass clamp=True to clip it"
        )
    result: npt.NDArray[np.float64] = np.clip(samples, -1.0, 1.0)
    return result
