"""Recordings from controller takes, and playback past a recording's ends.

A controller, a sensor or a MIDI fader reports values at its own rate, with
timestamps in seconds; a kinetrope recording holds one row per pip.
``recording_from_timed`` resamples a timestamped take onto the pips of a
tempo map, and ``play`` reads rows back for any run of pips, holding or
looping the recording where it ends if asked.
"""

from __future__ import annotations

import bisect
import math
import numbers
from collections.abc import Iterable, Sequence
from typing import TYPE_CHECKING, Literal, cast

import numpy as np
import numpy.typing as npt

from kinetrope_tools._pips import outside, pips_array, range_escape
from kinetrope_tools._render import render

# Importing kinetrope_tools leaves the kinetrope module unloaded (render also
# serves builds that bind the same classes under another module), so
# kinetrope is imported in the functions that use it.
if TYPE_CHECKING:
    import kinetrope

    from kinetrope_tools.tempo import TempoMap


ENDS: tuple[Literal["error", "hold", "loop"], ...] = ("error", "hold", "loop")
PIPS_PER_BEAT = 64
SECONDS_PER_MINUTE = 60.0
MOST_RECORDED_VALUES = 2**23
UNIT_RANGE = (-1.0, 1.0)


# Taking a recording from timestamped rows


def recording_from_timed(
    name: str,
    axes: Sequence[str],
    times: Sequence[float] | npt.ArrayLike,
    rows: Sequence[Sequence[float]] | npt.ArrayLike,
    *,
    tempo: TempoMap,
    value_range: tuple[float, float] = UNIT_RANGE,
) -> kinetrope.SampledRecording:
    """A recording of ``axes`` resampled from a timestamped take.

    ``times`` are seconds, finite and never decreasing, one per row of
    ``rows``; each row holds one value per axis. The recording has a row at
    the start of every pip from the first time to the last, by ``tempo``,
    each the straight-line blend of the take's rows on either side (where
    several rows share one instant, the last of them counts from it on).

    Values are mapped linearly from ``value_range`` (low, high) onto
    [-1, 1], so (0, 127) takes MIDI controller values as they come. A value
    outside that range, or not finite, is a ValueError naming its row and
    axis.

    The recording starts at its first pip and carries the tempo map's bpm and
    beat origin. A recording holds a single tempo: it carries the tempo in
    effect at its first pip, and, if a tempo change lies between pip 0 and
    that pip, the beat origin a steady tempo would need to start that pip at
    the map's instant for it (so ``TempoMap.for_recording`` agrees with the
    map up to the next change).
    """
    axis_names = checked_axes(axes)
    low, high = checked_value_range(value_range)
    instants = checked_times(times)
    values = checked_rows(rows, axis_names, len(instants), low, high)
    first_pip, last_pip = covered_pips(tempo, instants, len(axis_names))
    starts = np.array([tempo.seconds_at(pip) for pip in range(first_pip, last_pip + 1)], dtype=np.float64)
    resampled = resample(instants, to_unit_range(values, low, high), starts)
    bpm, beat_zero_seconds = steady_timing(tempo, first_pip)
    import kinetrope

    try:
        return kinetrope.SampledRecording(name, axis_names, resampled.tolist(), bpm, beat_zero_seconds, first_pip)
    except ValueError as error:
        raise ValueError(f"recording {name!r}: {error}") from None


def checked_axes(axes: Sequence[str]) -> list[str]:
    if isinstance(axes, (str, bytes)):
        raise TypeError("axes must be a sequence of axis names, not a single string")
    names = list(axes)
    for index, axis in enumerate(names):
        if not isinstance(axis, str):
            raise TypeError(f"axis {index} must be a str, not {type(axis).__name__}")
    if not names:
        raise ValueError("at least one axis is needed")
    return names


def checked_value_range(value_range: tuple[float, float]) -> tuple[float, float]:
    if isinstance(value_range, (str, bytes)) or not isinstance(value_range, Sequence) or len(value_range) != 2:
        raise TypeError("value_range must be a (low, high) pair")
    low, high = (real_number(end, "value_range") for end in value_range)
    if not (math.isfinite(low) and math.isfinite(high) and low < high):
        raise ValueError(f"value_range must be finite with low < high, not ({low!r}, {high!r})")
    if not math.isfinite(high - low):
        raise ValueError(f"value_range ({low!r}, {high!r}) is too wide to map")
    return low, high


def real_number(value: object, what: str) -> float:
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{what}: not a number: {value!r}")
    return float(value)


def checked_times(times: Sequence[float] | npt.ArrayLike) -> npt.NDArray[np.float64]:
    instants = numeric_array(times, "times")
    if instants.ndim != 1 or len(instants) == 0:
        raise ValueError("times must be a non-empty one-dimensional sequence of seconds")
    not_finite = np.flatnonzero(~np.isfinite(instants))
    if len(not_finite):
        row = int(not_finite[0])
        raise ValueError(f"row {row}: time {float(instants[row])!r} is not finite")
    backwards = np.flatnonzero(np.diff(instants) < 0.0)
    if len(backwards):
        row = int(backwards[0]) + 1
        time, previous = float(instants[row]), float(instants[row - 1])
        raise ValueError(f"row {row}: time {time!r} s comes before the previous row's {previous!r} s")
    return instants


def numeric_array(values: object, what: str) -> npt.NDArray[np.float64]:
    """``values`` as float64, refusing text and other non-numbers rather
    than letting NumPy parse them."""
    if isinstance(values, np.ndarray) and values.dtype.kind in "iuf":
        return values.astype(np.float64)
    if isinstance(values, (str, bytes)) or not isinstance(values, Iterable):
        raise TypeError(f"{what} must be a sequence of numbers")
    return np.array([real_number(value, f"{what}[{index}]") for index, value in enumerate(values)], dtype=np.float64)


def checked_rows(rows: object, axes: list[str], count: int, low: float, high: float) -> npt.NDArray[np.float64]:
    values = row_array(rows, len(axes))
    if len(values) != count:
        raise ValueError(f"{len(values)} rows for {count} times: each row needs its own time")
    outside = ~(np.isfinite(values) & (values >= low) & (values <= high))
    if outside.any():
        row, axis = (int(i) for i in np.argwhere(outside)[0])
        raise ValueError(
            f"row {row}, axis {axes[axis]}: {float(values[row, axis])!r} is outside the value range ({low!r}, {high!r})"
        )
    return values


def row_array(rows: object, width: int) -> npt.NDArray[np.float64]:
    if isinstance(rows, np.ndarray) and rows.dtype.kind in "iuf":
        if rows.ndim != 2 or rows.shape[1] != width:
            raise ValueError(f"rows must have shape (n, {width}), not {rows.shape}")
        return rows.astype(np.float64)
    if isinstance(rows, (str, bytes)) or not isinstance(rows, Iterable):
        raise TypeError("rows must be a sequence of rows of numbers")
    table: list[list[float]] = []
    for index, row in enumerate(rows):
        if isinstance(row, (str, bytes)) or not isinstance(row, Iterable):
            raise TypeError(f"row {index} must be a sequence of numbers")
        values = [real_number(value, f"row {index}") for value in row]
        if len(values) != width:
            raise ValueError(f"row {index} has {len(values)} values for {width} axes")
        table.append(values)
    return np.array(table, dtype=np.float64).reshape(-1, width)


def to_unit_range(values: npt.NDArray[np.float64], low: float, high: float) -> npt.NDArray[np.float64]:
    """Maps [low, high] onto [-1, 1]: low to -1 and high to 1 exactly; the
    unit range itself is left untouched, bit for bit."""
    if (low, high) == UNIT_RANGE:
        return values
    mapped: npt.NDArray[np.float64] = np.clip((values - low) / (high - low) * 2.0 - 1.0, -1.0, 1.0)
    return mapped


def covered_pips(tempo: TempoMap, instants: npt.NDArray[np.float64], width: int) -> tuple[int, int]:
    """The first and last pip whose start lies within the take."""
    first_time, last_time = float(instants[0]), float(instants[-1])
    first_pip = tempo.pip_at(first_time)
    if tempo.seconds_at(first_pip) < first_time:
        first_pip += 1
    last_pip = tempo.pip_at(last_time)
    if last_pip < first_pip:
        raise ValueError(f"the take from {first_time!r} s to {last_time!r} s holds the start of no pip")
    rows = last_pip - first_pip + 1
    if rows * width > MOST_RECORDED_VALUES:
        raise ValueError(
            f"the take covers {rows} pips of {width} axes, "
            f"more than the {MOST_RECORDED_VALUES} values a recording holds"
        )
    return first_pip, last_pip


def resample(
    instants: npt.NDArray[np.float64], values: npt.NDArray[np.float64], starts: npt.NDArray[np.float64]
) -> npt.NDArray[np.float64]:
    """The take's values at each instant of ``starts`` (all within the
    take), blended in a straight line between the rows on either side. An
    instant that falls on a row takes that row unchanged."""
    before = np.searchsorted(instants, starts, side="right") - 1
    after = np.minimum(before + 1, len(instants) - 1)
    first, second = values[before], values[after]
    span = instants[after] - instants[before]
    on_row = span == 0.0  # the take's last instant, or exactly on a row
    fraction = np.where(on_row, 0.0, (starts - instants[before]) / np.where(on_row, 1.0, span))
    blended = first + (second - first) * fraction[:, np.newaxis]
    blended = np.clip(blended, np.minimum(first, second), np.maximum(first, second))
    exact = fraction == 0.0
    blended[exact] = first[exact]
    return blended


def steady_timing(tempo: TempoMap, first_pip: int) -> tuple[float, float]:
    """The bpm and beat origin a recording starting at ``first_pip`` carries
    for ``tempo``: the tempo in effect at that pip, and the map's own beat
    origin when that tempo is also the one at pip 0; otherwise the origin
    that starts ``first_pip`` at the map's instant at that tempo."""
    change_pips = [pip for pip, _ in tempo.changes]
    stretch = bisect.bisect_right(change_pips, first_pip)
    bpm = tempo.changes[stretch - 1][1] if stretch else tempo.bpm
    if stretch == bisect.bisect_right(change_pips, 0):
        return bpm, tempo.beat_zero_seconds
    pip_length = SECONDS_PER_MINUTE / bpm / PIPS_PER_BEAT
    return bpm, tempo.seconds_at(first_pip) - first_pip * pip_length


# Playing a recording back


def play(
    recording: kinetrope.SampledRecording,
    pips: Iterable[int] | npt.ArrayLike,
    *,
    axes: Sequence[str] | None = None,
    ends: Literal["error", "hold", "loop"] = "error",
) -> npt.NDArray[np.float64]:
    """The recording's rows for ``pips``, one row per pip, as a float64
    array of shape (len(pips), number of axes).

    ``axes`` picks axes by name, in the order given (all of them, in the
    recording's order, when None). ``ends`` says what a pip outside the
    recorded stretch gets: "error" raises the recording's own IndexError,
    "hold" gives the first row before the start and the last row after the
    end, and "loop" wraps the pip over the recorded stretch, as if it
    repeated end to end forever.
    """
    columns = axis_columns(recording, axes)
    mode = checked_ends(ends)
    if mode == "error" and isinstance(pips, range):
        check_range_covered(recording, pips)
    wanted = pip_array(pips)
    rows = read_rows(recording, folded_pips(wanted, recording, mode))
    result: npt.NDArray[np.float64] = np.ascontiguousarray(rows[:, columns])
    return result


def checked_ends(ends: object) -> Literal["error", "hold", "loop"]:
    for known in ENDS:
        if ends == known:
            return known
    raise ValueError(f"ends must be one of {', '.join(ENDS)}, not {ends!r}")


def axis_columns(recording: kinetrope.SampledRecording, axes: Sequence[str] | None) -> list[int]:
    names = recording.dimensions
    if axes is None:
        return list(range(len(names)))
    if isinstance(axes, (str, bytes)):
        raise TypeError("axes must be a sequence of axis names, not a single string")
    columns: list[int] = []
    for axis in axes:
        if axis not in names:
            raise ValueError(f"recording {recording.name!r} has no axis {axis!r} (its axes: {', '.join(names)})")
        columns.append(names.index(axis))
    return columns


def pip_array(pips: Iterable[int] | npt.ArrayLike) -> npt.NDArray[np.int64]:
    """The pips as int64, each an integer in the signed 32-bit range."""
    return cast("npt.NDArray[np.int64]", pips_array(pips))


def check_range_covered(recording: kinetrope.SampledRecording, pips: range) -> None:
    """A range that leaves the recording raises the recording's own error
    for its first end outside it, before a row is read or allocated."""
    escape = range_escape(pips)
    if escape is not None:
        raise outside(f"pips[{escape[0]}]", escape[1])
    start, count = recording.start_pip, recording.sample_count
    for end in (pips[0], pips[-1]) if pips else ():
        if not start <= end < start + count:
            recording.sample(end)


def folded_pips(pips: npt.NDArray[np.int64], recording: kinetrope.SampledRecording, ends: str) -> npt.NDArray[np.int64]:
    """Pips outside the recording moved inside it as ``ends`` says."""
    start, count = recording.start_pip, recording.sample_count
    if ends == "hold":
        held: npt.NDArray[np.int64] = np.clip(pips, start, start + count - 1)
        return held
    if ends == "loop":
        looped: npt.NDArray[np.int64] = start + np.mod(pips - start, count)
        return looped
    return pips


def read_rows(recording: kinetrope.SampledRecording, pips: npt.NDArray[np.int64]) -> npt.NDArray[np.float64]:
    """The rows, read by the recording itself in one call: a pip it does not
    cover raises its own IndexError."""
    return render(recording, pips)
