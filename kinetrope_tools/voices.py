"""Voices: one motion played with its own phase, rate, size, rotation and offset,
in continuous time, plus fixture-group spreads and crossfades between voices.

A voice reads its motion at u = phase * P + rate * pip (P the motion's period,
rate negated when reversed). A whole u is the motion's own value at that pip; a
fractional u is interpolated between neighbouring pips across the loop's wrap,
linearly or by a periodic Catmull-Rom spline that passes through every pip's
value. The x-y plane is then rotated about the origin, the point scaled by
size and shifted by offset. With the default options a voice answers exactly,
to the last bit, what kinetrope.sample answers at every whole pip.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from dataclasses import dataclass, replace
from typing import TYPE_CHECKING, Any, Literal, Protocol, SupportsFloat, SupportsIndex, TypeAlias, cast

import numpy as np
import numpy.typing as npt

from kinetrope_tools._loop import FloatArray, MotionLoop, Name, read_loop
from kinetrope_tools._pips import pips_array, position

if TYPE_CHECKING:
    import kinetrope

Point: TypeAlias = tuple[float, float, float]
# Spelled as unions of literals so that the aliases are unions at run time too.
Interpolation: TypeAlias = Literal["linear"] | Literal["cubic"]
Curve: TypeAlias = Literal["linear"] | Literal["smooth"]
Pip: TypeAlias = SupportsIndex | float
Pips: TypeAlias = (range | Sequence[SupportsIndex] | Sequence[float]
                   | npt.NDArray[np.integer[Any]] | npt.NDArray[np.floating[Any]])
IntArray: TypeAlias = np.ndarray[tuple[Any, ...], np.dtype[np.int64]]
Columns: TypeAlias = tuple[FloatArray, FloatArray, FloatArray]

INTERPOLATIONS = ("linear", "cubic")
CURVES = ("linear", "smooth")
PIP_LOW, PIP_HIGH = -(2**31), 2**31 - 1
# Whole pips stay in integers while the step is small enough that
# pip * step + shift cannot leave the exact range of a double.
LARGEST_WHOLE_STEP = 2**21
# Points per block: long timelines are worked through in blocks whose
# temporaries stay in the processor's cache.
BLOCK = 16384


class Motion(Protocol):
    """Anything that answers positions by pip: a Voice, a crossfade."""

    def at(self, pip: Pip) -> Point: ...

    def render(self, pips: Pips) -> FloatArray: ...


# ------------------------------------------------------------------ options

def finite_number(option: str, value: object) -> float:
    """`value` as a float, or an error that names the option."""
    if isinstance(value, (str, bytes, bytearray)) or not isinstance(value, (SupportsFloat, SupportsIndex)):
        raise TypeError(f"{option} must be a number, not {type(value).__name__}")
    number = float(value)
    if not math.isfinite(number):
        raise ValueError(f"{option} must be finite, not {number!r}")
    return number


def checked_offset(value: object) -> Point:
    if isinstance(value, (str, bytes, bytearray)) or not isinstance(value, (Sequence, np.ndarray)):
        raise TypeError(f"offset must be a sequence of three numbers, not {type(value).__name__}")
    if len(value) != 3:
        raise ValueError(f"offset must hold three numbers (x, y, z), not {len(value)}")
    x, y, z = (finite_number("offset", item) for item in value)
    return (x, y, z)


def checked_interpolation(value: object) -> Interpolation:
    if value not in INTERPOLATIONS:
        raise ValueError(f"interpolation must be 'linear' or 'cubic', not {value!r}")
    return cast(Interpolation, value)


@dataclass(frozen=True)
class VoiceOptions:
    """The options of a voice, each checked when made."""

    phase: float = 0.0
    rate: float = 1.0
    size: float = 1.0
    offset: Point = (0.0, 0.0, 0.0)
    rotation: float = 0.0
    reverse: bool = False
    interpolation: Interpolation = "linear"

    def __post_init__(self) -> None:
        set_field = object.__setattr__
        set_field(self, "phase", finite_number("phase", self.phase))
        rate = finite_number("rate", self.rate)
        if rate == 0.0:
            raise ValueError("rate must not be zero")
        set_field(self, "rate", rate)
        set_field(self, "size", finite_number("size", self.size))
        set_field(self, "offset", checked_offset(self.offset))
        set_field(self, "rotation", finite_number("rotation", self.rotation))
        if not isinstance(self.reverse, (bool, np.bool_)):
            raise TypeError(f"reverse must be a bool, not {type(self.reverse).__name__}")
        set_field(self, "reverse", bool(self.reverse))
        set_field(self, "interpolation", checked_interpolation(self.interpolation))


# ------------------------------------------------------------------ reading the loop

def placed(options: VoiceOptions, x: FloatArray, y: FloatArray, z: FloatArray,
           *, shift: bool = True) -> Columns:
    """Rotate the x-y plane, scale, then (unless `shift` is off) add the offset;
    only what the options change, so the defaults leave every bit alone."""
    turns = options.rotation / 90.0
    if not turns.is_integer():
        radians = math.radians(options.rotation)
        cos, sin = math.cos(radians), math.sin(radians)
        x, y = cos * x - sin * y, sin * x + cos * y
    elif int(turns) % 4 == 1:  # exact quarter turns, signed zeros and all
        x, y = -y, x
    elif int(turns) % 4 == 2:
        x, y = -x, -y
    elif int(turns) % 4 == 3:
        x, y = y, -x
    if options.size != 1.0:
        x, y, z = x * options.size, y * options.size, z * options.size
    if shift:
        ox, oy, oz = options.offset
        x, y, z = (x + ox if ox else x), (y + oy if oy else y), (z + oz if oz else z)
    return (x, y, z)


def interpolation_table(values: FloatArray, options: VoiceOptions) -> FloatArray:
    """Per-pip polynomial coefficients by axis, shape (3, k, P + 1): on [i, i + 1)
    an axis is c0 + t * c1 (linear) or ((c3 * t + c2) * t + c1) * t + c0
    (Catmull-Rom through pips i - 1 .. i + 2, taken round the loop).

    Rotation, size and offset are linear, so they are applied to the
    coefficients once instead of to every point: c0 is each pip's placed
    value, the others take rotation and size only. Column P repeats column 0,
    so a position that rounds up to P needs no extra wrap."""
    before, here = np.roll(values, 1, axis=0), values
    after, after_next = np.roll(values, -1, axis=0), np.roll(values, -2, axis=0)
    if options.interpolation == "linear":
        slopes = [after - here]
    else:
        slopes = [0.5 * (after - before),
                  before - 2.5 * here + 2.0 * after - 0.5 * after_next,
                  0.5 * (after_next - before) + 1.5 * (here - after)]
    terms = [np.stack(placed(options, *here.T))]
    terms += [np.stack(placed(options, *slope.T, shift=False)) for slope in slopes]
    table = np.stack(terms, axis=1)  # (axis, degree, pip)
    table = np.ascontiguousarray(np.concatenate([table, table[:, :, :1]], axis=2))
    table.setflags(write=False)
    return table


def holds_negative_zero(values: FloatArray) -> bool:
    return bool(np.any((values == 0.0) & np.signbit(values)))


def still_value(coefficients: FloatArray) -> float | None:
    """The value an axis holds all loop long (the same bits at every pip, no
    slope), or None if it moves. A still axis is filled, not interpolated."""
    values, slopes = coefficients[0], coefficients[1:]
    same = np.all(values == values[0]) and np.all(np.signbit(values) == np.signbit(values[0]))
    return float(values[0]) if same and not np.any(slopes) else None


@dataclass(frozen=True, eq=False)
class Reading:
    """How a voice turns pips into positions: u = pip * step + shift, then the
    placed loop's polynomial around u."""

    period: int
    step: float
    shift: float
    table: FloatArray
    # c0 + 0.0 * anything is c0 itself unless c0 is -0.0; only then must a
    # whole u be patched back to the stored value.
    patch_whole: bool
    still: tuple[float | None, ...]  # per axis, see still_value

    @property
    def whole_step(self) -> int | None:
        """The step as an integer, when whole pips map to whole pips exactly."""
        if self.step.is_integer() and self.shift.is_integer() and abs(self.step) <= LARGEST_WHOLE_STEP:
            return int(self.step)
        return None


def reading_for(loop: MotionLoop, options: VoiceOptions, table: FloatArray | None = None) -> Reading:
    """The reading of `loop` under `options`; `table` when one already fits them."""
    period = loop.entry.period_pips
    step = -options.rate if options.reverse else options.rate
    shift = (options.phase * period) % period
    if shift == period:  # a tiny negative phase rounds up to the full loop
        shift = 0.0
    if table is None:
        table = interpolation_table(loop.values, options)
    return Reading(period, step, shift, table, holds_negative_zero(table[:, 0]),
                   tuple(still_value(coefficients) for coefficients in table))


def same_table(a: VoiceOptions, b: VoiceOptions) -> bool:
    return (a.interpolation, a.rotation, a.size, a.offset) == (b.interpolation, b.rotation, b.size, b.offset)


# ------------------------------------------------------------------ pips

def pip_array(pips: Pips) -> IntArray | FloatArray:
    """Pips as a one-dimensional int64 or float64 array, checked before
    anything is built for them (see kinetrope_tools._pips)."""
    return pips_array(pips, floats=True)


def scalar_pip(pip: Pip) -> int | float:
    """One pip as an int or a finite float, either within 32 bits."""
    return position(pip)


# ------------------------------------------------------------------ render

def wrapped(whole: IntArray, period: int) -> IntArray:
    """Whole pips folded into [0, period); a mask when the period is a power of two."""
    if period & (period - 1) == 0:
        whole &= period - 1
        return whole
    return np.mod(whole, period)


def whole_indices(reading: Reading, step: int, pips: IntArray) -> IntArray:
    """Loop indices of whole pips, in integer arithmetic."""
    u = pips * step if step != 1 else pips.copy()
    if reading.shift:
        u += int(reading.shift)
    return wrapped(u, reading.period)


def split_position(reading: Reading, pips: FloatArray | IntArray) -> tuple[IntArray, FloatArray]:
    """u = pip * step + shift as a loop index and the fraction t in [0, 1) past it."""
    with np.errstate(over="ignore"):  # an overflow is reported below, as an error
        u = pips * reading.step if reading.step != 1.0 else pips.astype(np.float64)
        if reading.shift:
            u += reading.shift
    low, high = float(u.min()), float(u.max())
    if not (math.isfinite(low) and math.isfinite(high)):
        raise ValueError("rate * pip is too large to place in the loop")
    if max(-low, high) >= 2.0**62:
        u = np.mod(u, float(reading.period))  # exact, and small enough for int64 below
    whole = np.floor(u)
    t: FloatArray = np.subtract(u, whole, dtype=np.float64)
    return wrapped(whole.astype(np.int64), reading.period), t


def interpolated(coefficients: FloatArray, index: IntArray, t: FloatArray,
                 at_whole_pip: npt.NDArray[np.bool_] | None) -> FloatArray:
    """One axis by Horner's rule: ((c3 * t + c2) * t + c1) * t + c0."""
    value = np.take(coefficients[-1], index)
    for degree in range(len(coefficients) - 2, -1, -1):
        value *= t
        value += np.take(coefficients[degree], index)
    if at_whole_pip is not None:
        np.copyto(value, np.take(coefficients[0], index), where=at_whole_pip)
    return value


def render_block(reading: Reading, pips: IntArray | FloatArray, out: FloatArray) -> None:
    for axis, value in enumerate(reading.still):
        if value is not None:
            out[:, axis] = value
    moving = [(axis, coefficients) for axis, coefficients in enumerate(reading.table) if reading.still[axis] is None]
    if not moving:
        return
    whole_step = reading.whole_step
    if pips.dtype.kind == "i" and whole_step is not None:
        index = whole_indices(reading, whole_step, cast(IntArray, pips))
        for axis, coefficients in moving:
            out[:, axis] = np.take(coefficients[0], index)
        return
    index, t = split_position(reading, pips)
    at_whole_pip = t == 0.0 if reading.patch_whole else None
    for axis, coefficients in moving:
        out[:, axis] = interpolated(coefficients, index, t, at_whole_pip)


def render_in_blocks(reading: Reading, pips: IntArray | FloatArray) -> FloatArray:
    out = np.empty((len(pips), 3), dtype=np.float64)
    for start in range(0, len(pips), BLOCK):
        render_block(reading, pips[start:start + BLOCK], out[start:start + BLOCK])
    return out


# ------------------------------------------------------------------ one point

def point_at(reading: Reading, pip: int | float) -> Point:
    """The arithmetic of render, in the same order, for one pip."""
    whole_step = reading.whole_step
    if isinstance(pip, int) and whole_step is not None:
        index = (pip * whole_step + int(reading.shift)) % reading.period
        x, y, z = (float(coefficients[0, index]) for coefficients in reading.table)
        return (x, y, z)
    u = pip * reading.step if reading.step != 1.0 else float(pip)
    if reading.shift:
        u += reading.shift
    if not math.isfinite(u):
        raise ValueError("rate * pip is too large to place in the loop")
    whole = math.floor(u)
    t = u - whole
    index = whole % reading.period
    x, y, z = (value if value is not None
               else float(coefficients[0, index]) if t == 0.0
               else horner(coefficients[:, index].tolist(), t)
               for value, coefficients in zip(reading.still, reading.table))
    return (x, y, z)


def horner(coefficients: list[float], t: float) -> float:
    value = coefficients[-1]
    for coefficient in reversed(coefficients[:-1]):
        value = value * t + coefficient
    return value


# ------------------------------------------------------------------ Voice

class Voice:
    """One motion with its own phase, rate, size, rotation and offset; immutable.

    `source` is a built-in motion name, a SampledPattern, or a PatternLibrary
    with `name`. `phase` is a share of the loop (0.25 starts a quarter loop
    ahead), `rate` a speed (0.5 half time, 2 double time), `rotation` in
    degrees in the x-y plane, `interpolation` "linear" or "cubic".
    """

    __slots__ = ("_loop", "_options", "_reading")
    _loop: MotionLoop
    _options: VoiceOptions
    _reading: Reading

    def __init__(self, source: Name | kinetrope.SampledPattern | kinetrope.PatternLibrary, *,
                 name: Name | None = None, phase: float = 0.0, rate: float = 1.0, size: float = 1.0,
                 offset: Sequence[float] = (0.0, 0.0, 0.0), rotation: float = 0.0, reverse: bool = False,
                 interpolation: Interpolation = "linear") -> None:
        options = VoiceOptions(phase, rate, size, cast(Point, offset), rotation, reverse, interpolation)
        self._set_up(read_loop(source, name), options)

    def _set_up(self, loop: MotionLoop, options: VoiceOptions, table: FloatArray | None = None) -> None:
        object.__setattr__(self, "_loop", loop)
        object.__setattr__(self, "_options", options)
        object.__setattr__(self, "_reading", reading_for(loop, options, table))

    def __setattr__(self, attribute: str, value: object) -> None:
        raise AttributeError(f"Voice is immutable; use replace() to change {attribute}")

    def __delattr__(self, attribute: str) -> None:
        raise AttributeError("Voice is immutable")

    def replace(self, **options: Any) -> Voice:
        """The same motion with some options changed; the loop is not read again."""
        unknown = set(options) - set(VoiceOptions.__dataclass_fields__)
        if unknown:
            raise TypeError(f"unknown voice option: {', '.join(sorted(unknown))}")
        changed = replace(self._options, **options)
        voice = Voice.__new__(Voice)
        table = self._reading.table if same_table(changed, self._options) else None
        voice._set_up(self._loop, changed, table)
        return voice

    def at(self, pip: Pip) -> Point:
        """The position at one pip, an int or a float."""
        return point_at(self._reading, scalar_pip(pip))

    def render(self, pips: Pips) -> FloatArray:
        """Positions at many pips (ints or floats), shape (len(pips), 3)."""
        return render_in_blocks(self._reading, pip_array(pips))

    @property
    def name(self) -> str:
        return self._loop.entry.name

    @property
    def period_pips(self) -> int:
        return self._loop.entry.period_pips

    @property
    def options(self) -> VoiceOptions:
        return self._options

    def __repr__(self) -> str:
        changed = [f"{field}={getattr(self._options, field)!r}"
                   for field, default in VoiceOptions.__dataclass_fields__.items()
                   if getattr(self._options, field) != default.default]
        return f"Voice({', '.join([repr(self.name), *changed])})"


def spread(source: Name | kinetrope.SampledPattern | kinetrope.PatternLibrary, count: int, *,
           phase_span: float = 1.0, **voice_options: Any) -> list[Voice]:
    """`count` voices of one motion, voice i ahead by i * phase_span / count of
    the loop: a fixture group chasing one motion. The loop is read once."""
    if isinstance(count, bool) or not isinstance(count, int) or count < 1:
        raise ValueError(f"count must be a positive int, not {count!r}")
    span = finite_number("phase_span", phase_span)
    first = Voice(source, **voice_options)
    phase = first.options.phase
    return [first.replace(phase=phase + i * span / count) for i in range(count)]


# ------------------------------------------------------------------ crossfade

def smoothstep(s: FloatArray) -> FloatArray:
    return s * s * (3.0 - 2.0 * s)


class Crossfade:
    """`a` before `start_pip`, `b` from `start_pip + length_pips`, a blend between."""

    __slots__ = ("_a", "_b", "_start", "_length", "_curve")
    _a: Motion
    _b: Motion
    _start: float
    _length: float
    _curve: Curve

    def __init__(self, a: Motion, b: Motion, start_pip: float, length_pips: float, curve: Curve) -> None:
        for label, motion in (("a", a), ("b", b)):
            if not (callable(getattr(motion, "at", None)) and callable(getattr(motion, "render", None))):
                raise TypeError(f"{label} must be a Voice or another motion with at() and render()")
        length = finite_number("length_pips", length_pips)
        if length < 0.0:
            raise ValueError(f"length_pips must not be negative, not {length!r}")
        if curve not in CURVES:
            raise ValueError(f"curve must be 'linear' or 'smooth', not {curve!r}")
        for attribute, value in (("_a", a), ("_b", b), ("_start", finite_number("start_pip", start_pip)),
                                 ("_length", length), ("_curve", curve)):
            object.__setattr__(self, attribute, value)

    def __setattr__(self, attribute: str, value: object) -> None:
        raise AttributeError("a crossfade is immutable")

    def _weights(self, pips: FloatArray) -> FloatArray:
        share = (pips - self._start) / self._length
        return smoothstep(share) if self._curve == "smooth" else share

    def render(self, pips: Pips) -> FloatArray:
        checked = pip_array(pips)
        out = np.empty((len(checked), 3), dtype=np.float64)
        only_b = checked >= self._start + self._length
        only_a = (checked <= self._start) & ~only_b
        within = ~(only_a | only_b)
        out[only_a] = self._a.render(checked[only_a])
        out[only_b] = self._b.render(checked[only_b])
        if within.any():
            inside = checked[within]
            a, b = self._a.render(inside), self._b.render(inside)
            out[within] = a + self._weights(inside.astype(np.float64))[:, None] * (b - a)
        return out

    def at(self, pip: Pip) -> Point:
        value = scalar_pip(pip)
        if value >= self._start + self._length:
            return self._b.at(value)
        if value <= self._start:
            return self._a.at(value)
        weight = float(self._weights(np.array([float(value)]))[0])
        a, b = self._a.at(value), self._b.at(value)
        return (a[0] + weight * (b[0] - a[0]), a[1] + weight * (b[1] - a[1]), a[2] + weight * (b[2] - a[2]))

    def __repr__(self) -> str:
        return (f"crossfade({self._a!r}, {self._b!r}, {self._start!r}, {self._length!r}, "
                f"curve={self._curve!r})")


def crossfade(a: Motion, b: Motion, start_pip: float, length_pips: float, *,
              curve: Curve = "smooth") -> Crossfade:
    """A motion that is `a` before `start_pip`, `b` from `start_pip + length_pips`,
    and in between a blend weighted linearly or by smoothstep; exactly a and b at the ends."""
    return Crossfade(a, b, start_pip, length_pips, curve)
