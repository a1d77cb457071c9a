"""Voices: one motion played with its own phase, rate, size, rotation and offset,
in continuous time, plus fixture-group spreads and crossfades between voices.

A voice reads its motion at u = phase * P + rate * (pip - start) (P the
motion's period, rate negated when reversed; a speed in cycles per bar or beats
per cycle sets the rate from P). Ping-pong folds u back and forth over one
loop, a single shot holds it at the ends of one loop. A whole u is the
motion's own value at that pip; a fractional u is interpolated between
neighbouring pips across the loop's wrap, linearly or by a periodic Catmull-Rom
spline that passes through every pip's value. The x-y plane is then rotated
about the origin, the point scaled by size (one number or one per axis) and
shifted by offset; fades scale that point, and a base position, when given,
is added last. With the default options a voice answers exactly, to the last
bit, what kinetrope.sample answers at every whole pip.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from dataclasses import dataclass, replace
from functools import cached_property
from typing import TYPE_CHECKING, Any, Literal, Protocol, SupportsFloat, SupportsIndex, TypeAlias, cast

import numpy as np
import numpy.typing as npt

from kinetrope_tools._loop import CatalogueEntry, FloatArray, MotionLoop, Name, read_loop, read_only, text_of
from kinetrope_tools._pips import outside, pips_array, position, range_escape, range_pips

if TYPE_CHECKING:
    import kinetrope

Point: TypeAlias = tuple[float, float, float]
# Spelled as unions of literals so that the aliases are unions at run time too.
Interpolation: TypeAlias = Literal["linear"] | Literal["cubic"]
Curve: TypeAlias = Literal["linear"] | Literal["smooth"]
Ends: TypeAlias = Literal["loop"] | Literal["pingpong"] | Literal["once"]
Pip: TypeAlias = SupportsIndex | float
Pips: TypeAlias = (range | Sequence[SupportsIndex] | Sequence[float]
                   | npt.NDArray[np.integer[Any]] | npt.NDArray[np.floating[Any]])
IntArray: TypeAlias = np.ndarray[tuple[Any, ...], np.dtype[np.int64]]
Columns: TypeAlias = tuple[FloatArray, FloatArray, FloatArray]

INTERPOLATIONS = ("linear", "cubic")
CURVES = ("linear", "smooth")
ENDS = ("loop", "pingpong", "once")
PIP_LOW, PIP_HIGH = -(2**31), 2**31 - 1
PIPS_PER_BEAT = 64
# Whole pips stay in integers while the step is small enough that
# (pip - start) * step + shift cannot leave the exact range of a double.
LARGEST_WHOLE_STEP = 2**21
LARGEST_WHOLE_START = 2**31
# From here on a loop position is reduced by the period before it becomes an
# int64; below it the conversion is exact and cheaper.
HUGE_POSITION = 2.0**62
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
    if type(value) is float or type(value) is int:  # the usual case, without the protocol checks below
        number = float(value)
        if not math.isfinite(number):
            raise ValueError(f"{option} must be finite, not {number!r}")
        return number
    if isinstance(value, (str, bytes, bytearray)) or not isinstance(value, (SupportsFloat, SupportsIndex)):
        raise TypeError(f"{option} must be a number, not {type(value).__name__}")
    number = float(value)
    if not math.isfinite(number):
        raise ValueError(f"{option} must be finite, not {number!r}")
    return number


def positive_number(option: str, value: object) -> float:
    number = finite_number(option, value)
    if number <= 0.0:
        raise ValueError(f"{option} must be positive, not {number!r}")
    return number


def checked_point(option: str, value: object) -> Point:
    if isinstance(value, (str, bytes, bytearray)) or not isinstance(value, (Sequence, np.ndarray)):
        raise TypeError(f"{option} must be a sequence of three numbers, not {type(value).__name__}")
    if len(value) != 3:
        raise ValueError(f"{option} must hold three numbers (x, y, z), not {len(value)}")
    x, y, z = (finite_number(option, item) for item in value)
    return (x, y, z)


def checked_offset(value: object) -> Point:
    return checked_point("offset", value)


def checked_size(value: object) -> float | Point:
    """One factor for every axis, or (width, height, depth)."""
    if isinstance(value, (Sequence, np.ndarray)) and not isinstance(value, (str, bytes, bytearray)):
        return checked_point("size", value)
    return finite_number("size", value)


def checked_choice(option: str, value: object, choices: tuple[str, ...]) -> str:
    if value not in choices:
        raise ValueError(f"{option} must be {' or '.join(repr(choice) for choice in choices)}, not {value!r}")
    return value


def checked_interpolation(value: object) -> Interpolation:
    return cast(Interpolation, checked_choice("interpolation", value, INTERPOLATIONS))


@dataclass(frozen=True)
class VoiceOptions:
    """The options of a voice, each checked when made."""

    phase: float = 0.0
    rate: float = 1.0
    size: float | Point = 1.0
    offset: Point = (0.0, 0.0, 0.0)
    rotation: float = 0.0
    reverse: bool = False
    interpolation: Interpolation = "linear"
    cycles_per_bar: float | None = None
    beats_per_cycle: float | None = None
    beats_per_bar: float = 4.0
    ends: Ends = "loop"
    start: float = 0.0
    stop: float | None = None
    fade_in: float = 0.0
    fade_out: float = 0.0
    base: Point | None = None

    def __post_init__(self) -> None:
        set_field = object.__setattr__
        set_field(self, "phase", finite_number("phase", self.phase))
        rate = finite_number("rate", self.rate)
        if rate == 0.0:
            raise ValueError("rate must not be zero")
        set_field(self, "rate", rate)
        set_field(self, "size", checked_size(self.size))
        set_field(self, "offset", checked_offset(self.offset))
        set_field(self, "rotation", finite_number("rotation", self.rotation))
        if not isinstance(self.reverse, (bool, np.bool_)):
            raise TypeError(f"reverse must be a bool, not {type(self.reverse).__name__}")
        set_field(self, "reverse", bool(self.reverse))
        set_field(self, "interpolation", checked_interpolation(self.interpolation))
        self._check_speed()
        set_field(self, "ends", checked_choice("ends", self.ends, ENDS))
        self._check_envelope()
        if self.base is not None:
            set_field(self, "base", checked_point("base", self.base))

    def _check_speed(self) -> None:
        set_field = object.__setattr__
        if self.cycles_per_bar is not None and self.beats_per_cycle is not None:
            raise ValueError("give cycles_per_bar or beats_per_cycle, not both")
        for option in ("cycles_per_bar", "beats_per_cycle"):
            if getattr(self, option) is not None:
                set_field(self, option, positive_number(option, getattr(self, option)))
        set_field(self, "beats_per_bar", positive_number("beats_per_bar", self.beats_per_bar))

    def _check_envelope(self) -> None:
        set_field = object.__setattr__
        set_field(self, "start", finite_number("start", self.start))
        if self.stop is not None:
            set_field(self, "stop", finite_number("stop", self.stop))
        for option in ("fade_in", "fade_out"):
            length = finite_number(option, getattr(self, option))
            if length < 0.0:
                raise ValueError(f"{option} must not be negative, not {length!r}")
            set_field(self, option, length)
        if self.fade_out and self.stop is None:
            raise ValueError("fade_out needs stop: the pip where the voice has faded out")

    @property
    def cycle_pips(self) -> float | None:
        """Pips per loop set by a speed, or None when the rate alone sets it."""
        if self.cycles_per_bar is not None:
            return self.beats_per_bar * PIPS_PER_BEAT / self.cycles_per_bar
        if self.beats_per_cycle is not None:
            return self.beats_per_cycle * PIPS_PER_BEAT
        return None


# ------------------------------------------------------------------ LFOs

LFO_PERIOD = 256  # one bar of four beats
LFO_DESCRIPTIONS = {
    "sine": "Sine LFO on x: 0, up to 1 at a quarter loop, 0, down to -1, one bar a loop",
    "triangle": "Triangle LFO on x: 0, straight up to 1 at a quarter loop, down to -1, back to 0",
    "saw": "Saw LFO on x: a straight ramp from -1 across the loop, back to -1 at its end",
    "square": "Square LFO on x: 1 for the first half of the loop, -1 for the second",
}
LFO_LOOPS: dict[str, MotionLoop] = {}


def lfo_wave(name: str, period: int) -> FloatArray:
    """One loop of an LFO; the quarter points are exact (0, 1, 0, -1 for sine and triangle)."""
    quarter = period // 4
    rising = np.arange(quarter + 1, dtype=np.float64) / quarter  # 0 .. 1 over a quarter loop
    if name in ("sine", "triangle"):
        first = np.sin(rising * (math.pi / 2)) if name == "sine" else rising
        first[-1] = 1.0
        half = np.concatenate([first, first[-2:0:-1]])  # up to 1, back down, 0 left out
        return np.concatenate([half, 0.0 - half])  # 0.0 - x: +0.0 at the half loop, not -0.0
    if name == "saw":
        return np.arange(period, dtype=np.float64) * (2.0 / period) - 1.0
    return np.where(np.arange(period) < period // 2, 1.0, -1.0)


def lfo_loop(name: str) -> MotionLoop:
    """An LFO's loop, made on first use."""
    if name not in LFO_LOOPS:
        values = np.zeros((LFO_PERIOD, 3))
        values[:, 0] = lfo_wave(name, LFO_PERIOD)
        LFO_LOOPS[name] = MotionLoop(CatalogueEntry(name, LFO_DESCRIPTIONS[name], LFO_PERIOD, 1), read_only(values))
    return LFO_LOOPS[name]


def voice_loop(source: Name | kinetrope.SampledPattern | kinetrope.PatternLibrary, name: Name | None) -> MotionLoop:
    """The loop a voice plays: an LFO by name, or what read_loop resolves."""
    if isinstance(source, (str, bytes, bytearray)) and name is None and text_of(source) in LFO_DESCRIPTIONS:
        return lfo_loop(text_of(source))
    return read_loop(source, name)


# ------------------------------------------------------------------ reading the loop

def axis_sizes(size: float | Point) -> Point:
    return size if isinstance(size, tuple) else (size, size, size)


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
    sx, sy, sz = axis_sizes(options.size)
    x, y, z = (x * sx if sx != 1.0 else x), (y * sy if sy != 1.0 else y), (z * sz if sz != 1.0 else z)
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
    with np.errstate(over="ignore", invalid="ignore"):  # an overflow is refused by checked_table
        terms = [np.stack(placed(options, *here.T))]
        terms += [np.stack(placed(options, *slope.T, shift=False)) for slope in slopes]
    table = np.stack(terms, axis=1)  # (axis, degree, pip)
    table = np.ascontiguousarray(np.concatenate([table, table[:, :, :1]], axis=2))
    table.setflags(write=False)
    return table


def reach(table: FloatArray) -> Point | None:
    """Per axis, how far from 0 the table's points can go (None if a
    coefficient is not finite).

    A linear piece lies between the values at its two ends (rounding is
    monotone), so the largest value bounds it. A cubic piece can overshoot:
    for t in [0, 1] each step of Horner's rule is bounded by the sum of the
    coefficients' magnitudes, and a margin far above a few roundings covers
    the order in which that sum is taken."""
    with np.errstate(over="ignore", invalid="ignore"):
        if not np.isfinite(table).all():
            return None
        linear = table.shape[1] == 2
        bound = np.abs(table[:, 0]) if linear else np.abs(table).sum(axis=1) * (1.0 + 2.0**-20)
        x, y, z = (float(value) for value in bound.max(axis=1))
    return (x, y, z) if all(math.isfinite(value) for value in (x, y, z)) else None


def fits(far: Point | None, base: Point | None) -> bool:
    """Whether points within `far` of 0, plus the base, stay finite floats."""
    if far is None:
        return False
    return base is None or all(math.isfinite(axis + abs(shift)) for axis, shift in zip(far, base))


def checked_table(values: FloatArray, options: VoiceOptions) -> FloatArray:
    """The interpolation table, or an error naming the option that puts the
    motion's points beyond the largest float."""
    table = interpolation_table(values, options)
    if fits(reach(table), options.base):
        return table
    if reach(interpolation_table(values, replace(options, offset=(0.0, 0.0, 0.0)))) is None:
        raise ValueError(f"size {options.size!r} is too large: the motion's points would not fit in a float")
    if reach(table) is None:
        raise ValueError(f"offset {options.offset!r} is too large: the motion's points would not fit in a float")
    raise ValueError(f"base {options.base!r} is too large: the motion's points would not fit in a float")


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
    """How a voice turns pips into positions: d = pip - start, u = d * step +
    shift, u folded or held by the ends mode, then the placed loop's polynomial
    around u; the result scaled by the fades' amplitude and moved by base."""

    period: int
    step: float
    shift: float
    start: float
    ends: Ends
    # A single shot holds u within [once_low, once_high], one loop from shift.
    once_low: float
    once_high: float
    fade_in: float
    stop: float | None
    fade_out: float
    base: Point | None
    placed: Placed

    @property
    def table(self) -> FloatArray:
        return self.placed.table

    @property
    def by_degree(self) -> FloatArray:
        """The moving axes' rows of the table as (degree, axis, pip), so that
        one take per degree serves every moving axis."""
        return self.placed.by_degree

    @property
    def patch_whole(self) -> bool:
        """c0 + 0.0 * anything is c0 itself unless c0 is -0.0; only then must
        a whole u be patched back to the stored value."""
        return self.placed.patch_whole

    @property
    def still(self) -> tuple[float | None, ...]:
        """Per axis, see still_value."""
        return self.placed.still

    @property
    def moving(self) -> tuple[int, ...]:
        return self.placed.moving

    @cached_property
    def whole_step(self) -> int | None:
        """The step as an integer, when whole pips map to whole pips exactly."""
        if (self.ends == "loop" and self.step.is_integer() and self.shift.is_integer()
                and abs(self.step) <= LARGEST_WHOLE_STEP
                and self.start.is_integer() and abs(self.start) <= LARGEST_WHOLE_START):
            return int(self.step)
        return None

    @property
    def enveloped(self) -> bool:
        return bool(self.fade_in) or self.stop is not None


def voice_step(options: VoiceOptions, period: int) -> float:
    """Loop pips per pip: the rate, times the loop's pips per cycle when a speed is set."""
    step = options.rate
    cycle_pips = options.cycle_pips
    if cycle_pips is not None:
        step = options.rate * period / cycle_pips
        if step == 0.0 or not math.isfinite(step):
            speed = "cycles_per_bar" if options.cycles_per_bar is not None else "beats_per_cycle"
            raise ValueError(f"{speed} {getattr(options, speed)!r} with rate {options.rate!r} "
                             "gives a speed that cannot be placed in the loop")
    return -step if options.reverse else step


def loop_shift(options: VoiceOptions, period: int) -> float:
    """The phase as a position in one cycle: [0, period), or [0, 2 * period)
    for ping-pong, whose cycle is a loop forth and a loop back."""
    scaled = options.phase * period
    if not math.isfinite(scaled):
        raise ValueError(f"phase {options.phase!r} is too large to place in the loop")
    cycle = 2 * period if options.ends == "pingpong" else period
    shift = scaled % cycle
    return 0.0 if shift == cycle else shift  # a tiny negative phase rounds up to the full cycle


@dataclass(frozen=True, eq=False)
class Placed:
    """A loop placed by rotation, size and offset: what voices differing only in
    phase, rate, speed, ends, fades and base can share."""

    table: FloatArray
    by_degree: FloatArray
    patch_whole: bool
    still: tuple[float | None, ...]
    moving: tuple[int, ...]
    far: Point | None  # see reach


def placed_loop(values: FloatArray, options: VoiceOptions) -> Placed:
    table = checked_table(values, options)
    still = tuple(still_value(coefficients) for coefficients in table)
    moving = tuple(axis for axis, value in enumerate(still) if value is None)
    by_degree = np.ascontiguousarray(table[list(moving)].transpose(1, 0, 2))
    by_degree.setflags(write=False)
    return Placed(table, by_degree, holds_negative_zero(table[:, 0]), still, moving, reach(table))


def reading_for(loop: MotionLoop, options: VoiceOptions, shared: Placed | None = None) -> Reading:
    """The reading of `loop` under `options`; `shared` when it already fits them."""
    period = loop.entry.period_pips
    step, shift = voice_step(options, period), loop_shift(options, period)
    if shared is None or not fits(shared.far, options.base):
        shared = placed_loop(loop.values, options)
    once_low = shift - period if step < 0.0 else shift
    return Reading(period, step, shift, options.start, options.ends, once_low, once_low + period,
                   options.fade_in, options.stop, options.fade_out, options.base, shared)


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

# The arithmetic below serves Voice.render (many pips, one voice) and
# Group.points (one pip, many voices sharing a table) alike: the per-voice
# numbers (start, step, shift, once bounds, stop) are scalars for the one and
# arrays for the other, and NumPy's element-wise operations give the same bits
# either way. point_at repeats it for a single point, in the same order.

def wrapped(whole: IntArray, period: int) -> IntArray:
    """Whole pips folded into [0, period); a mask when the period is a power of two."""
    if period & (period - 1) == 0:
        whole &= period - 1
        return whole
    return np.mod(whole, period)


def whole_indices(period: int, pips: IntArray | int, start: IntArray | int, step: IntArray | int,
                  shift: IntArray | int) -> IntArray:
    """Loop indices of whole pips, in integer arithmetic."""
    u = np.multiply(np.subtract(pips, start, dtype=np.int64), step)
    u += shift
    return wrapped(u, period)


def since_start(pips: Any, start: FloatArray | float) -> FloatArray:
    """d = pip - start; an overflow is reported by loop_position, as an error."""
    with np.errstate(over="ignore"):
        d: FloatArray = np.subtract(pips, start, dtype=np.float64)
    return d


def loop_position(reading: Reading, d: FloatArray, step: FloatArray | float, shift: FloatArray | float,
                  once_low: FloatArray | float, once_high: FloatArray | float) -> tuple[FloatArray, bool]:
    """u = d * step + shift under the ends mode, and whether some |u| may reach HUGE_POSITION."""
    with np.errstate(over="ignore", invalid="ignore"):  # an overflow is reported below, as an error
        u = d * step
        u += shift
    low, high = float(u.min()), float(u.max())
    if not (math.isfinite(low) and math.isfinite(high)):
        raise ValueError("rate * (pip - start) is too large to place in the loop")
    if reading.ends == "pingpong":
        period = float(reading.period)
        u = period - np.abs(np.mod(u, 2.0 * period) - period)
        return u, False
    if reading.ends == "once":
        return np.clip(u, once_low, once_high), False
    return u, max(-low, high) >= HUGE_POSITION


def split_position(reading: Reading, u: FloatArray, huge: bool) -> tuple[IntArray, FloatArray]:
    """u as a loop index and the fraction t in [0, 1) past it. Positions from
    HUGE_POSITION up are whole; each of them, and only those, is reduced by
    the period before it becomes an int64 (exactly: it is an integer)."""
    whole = np.floor(u)
    t: FloatArray = np.subtract(u, whole, dtype=np.float64)
    if huge:
        beyond = np.abs(whole) >= HUGE_POSITION
        whole[beyond] = np.mod(whole[beyond], float(reading.period))
    return wrapped(whole.astype(np.int64), reading.period), t


def amplitude(reading: Reading, d: FloatArray, pips: Any, stop: FloatArray | float | None) -> FloatArray:
    """The fades' amplitude: rising over fade_in pips from start, falling over
    fade_out pips to stop (a cut when fade_out is 0), 1 between."""
    with np.errstate(over="ignore"):  # a ramp's slope may overflow: min(inf, 1) is 1, as in Python
        return ramps(reading, d, pips, stop)


def ramps(reading: Reading, d: FloatArray, pips: Any, stop: FloatArray | float | None) -> FloatArray:
    amp = np.ones(d.shape)
    if reading.fade_in:
        amp = np.where(d > 0.0, np.minimum(d / reading.fade_in, 1.0), 0.0)
    if stop is not None:
        left = np.subtract(stop, pips, dtype=np.float64)
        if reading.fade_out:
            fall = np.where(left > 0.0, np.minimum(left / reading.fade_out, 1.0), 0.0)
        else:
            fall = np.where(left > 0.0, 1.0, 0.0)
        amp = np.minimum(amp, fall)
    return amp


def finish(reading: Reading, out: FloatArray, d: FloatArray | None, pips: Any,
           start: FloatArray | float, stop: FloatArray | float | None) -> None:
    """Scale by the fades' amplitude, then add the base."""
    if reading.enveloped:
        if d is None:
            d = since_start(pips, start)
        amp = amplitude(reading, d, pips, stop)
        out *= amp[:, None]
        out[amp == 0.0] = 0.0  # a silent voice rests exactly at its base, signed zeros and all
    if reading.base is not None:
        for axis, value in enumerate(reading.base):
            if value:
                out[:, axis] += value


def fill_points(reading: Reading, index: IntArray, t: FloatArray | None, out: FloatArray) -> None:
    """Every axis at loop index and fraction t (None: whole positions only):
    still axes filled with their one value, the moving ones together by
    Horner's rule, ((c3 * t + c2) * t + c1) * t + c0."""
    by_degree, moving = reading.by_degree, reading.moving
    for axis, still in enumerate(reading.still):
        if still is not None:
            out[:, axis] = still
    if not moving:
        return
    if t is None:
        value = np.take(by_degree[0], index, axis=1)
    else:
        value = np.take(by_degree[-1], index, axis=1)
        for degree in range(len(by_degree) - 2, -1, -1):
            value *= t
            value += np.take(by_degree[degree], index, axis=1)
        if reading.patch_whole:
            np.copyto(value, np.take(by_degree[0], index, axis=1), where=t == 0.0)
    if len(moving) == 3:
        out[...] = value.T
    else:
        for row, axis in enumerate(moving):
            out[:, axis] = value[row]


def render_block(reading: Reading, pips: IntArray | FloatArray, out: FloatArray) -> None:
    whole_step = reading.whole_step
    if pips.dtype.kind == "i" and whole_step is not None:
        start = int(reading.start)
        fill_points(reading, whole_indices(reading.period, cast(IntArray, pips), start, whole_step,
                                           int(reading.shift)), None, out)
        finish(reading, out, None, pips, start, reading.stop)
        return
    d = since_start(pips, reading.start)
    u, huge = loop_position(reading, d, reading.step, reading.shift, reading.once_low, reading.once_high)
    index, t = split_position(reading, u, huge)
    fill_points(reading, index, t, out)
    finish(reading, out, d, pips, reading.start, reading.stop)


def render_in_blocks(reading: Reading, pips: IntArray | FloatArray) -> FloatArray:
    out = np.empty((len(pips), 3), dtype=np.float64)
    for start in range(0, len(pips), BLOCK):
        render_block(reading, pips[start:start + BLOCK], out[start:start + BLOCK])
    return out


def render_range(reading: Reading, run: range) -> FloatArray:
    """A range of pips worked through block by block: its ends are checked
    and the answer's memory taken before any work, and its pips are never
    all built at once."""
    escape = range_escape(run)
    if escape is not None:
        raise outside(f"pips[{escape[0]}]", escape[1])
    out = np.empty((len(run), 3), dtype=np.float64)
    for start in range(0, len(run), BLOCK):
        render_block(reading, range_pips(run[start:start + BLOCK]), out[start:start + BLOCK])
    return out


# ------------------------------------------------------------------ one point

def point_at(reading: Reading, pip: int | float) -> Point:
    """The arithmetic of render, in the same order, for one pip."""
    whole_step = reading.whole_step
    if isinstance(pip, int) and whole_step is not None:
        index = ((pip - int(reading.start)) * whole_step + int(reading.shift)) % reading.period
        x, y, z = (float(coefficients[0, index]) for coefficients in reading.table)
        return finish_point(reading, (x, y, z), pip - reading.start, pip)
    d = pip - reading.start
    u = d * reading.step + reading.shift
    if not math.isfinite(u):
        raise ValueError("rate * (pip - start) is too large to place in the loop")
    if reading.ends == "pingpong":
        period = float(reading.period)
        u = period - abs(u % (2.0 * period) - period)
    elif reading.ends == "once":
        u = min(max(u, reading.once_low), reading.once_high)
    whole = math.floor(u)
    t = u - whole
    index = whole % reading.period
    x, y, z = (value if value is not None
               else float(coefficients[0, index]) if t == 0.0
               else horner(coefficients[:, index].tolist(), t)
               for value, coefficients in zip(reading.still, reading.table))
    return finish_point(reading, (x, y, z), d, pip)


def amplitude_at(reading: Reading, d: float, pip: int | float) -> float:
    amp = 1.0
    if reading.fade_in:
        amp = min(d / reading.fade_in, 1.0) if d > 0.0 else 0.0
    if reading.stop is not None:
        left = reading.stop - pip
        if reading.fade_out:
            fall = min(left / reading.fade_out, 1.0) if left > 0.0 else 0.0
        else:
            fall = 1.0 if left > 0.0 else 0.0
        amp = min(amp, fall)
    return amp


def finish_point(reading: Reading, point: Point, d: float, pip: int | float) -> Point:
    x, y, z = point
    if reading.enveloped:
        amp = amplitude_at(reading, d, pip)
        x, y, z = (x * amp, y * amp, z * amp) if amp else (0.0, 0.0, 0.0)
    if reading.base is not None:
        bx, by, bz = reading.base
        x, y, z = (x + bx if bx else x), (y + by if by else y), (z + bz if bz else z)
    return (x, y, z)


def horner(coefficients: list[float], t: float) -> float:
    value = coefficients[-1]
    for coefficient in reversed(coefficients[:-1]):
        value = value * t + coefficient
    return value


# ------------------------------------------------------------------ Voice

class Voice:
    """One motion with its own phase, rate, size, rotation and offset; immutable.

    `source` is a built-in motion name, an LFO name ("sine", "triangle",
    "saw", "square"), a SampledPattern, or a PatternLibrary with `name`.
    `phase` is a share of the loop (0.25 starts a quarter loop ahead), `rate`
    a speed (0.5 half time, 2 double time), `cycles_per_bar` or
    `beats_per_cycle` a speed whatever the motion's period, `size` one factor
    or (width, height, depth), `rotation` in degrees in the x-y plane,
    `interpolation` "linear" or "cubic", `ends` "loop", "pingpong" or "once"
    (from `start`), `fade_in` and `fade_out` in pips (after `start`, before
    `stop`), `base` a position the motion is layered over.
    """

    __slots__ = ("_loop", "_options", "_reading")
    _loop: MotionLoop
    _options: VoiceOptions
    _reading: Reading

    def __init__(self, source: Name | kinetrope.SampledPattern | kinetrope.PatternLibrary, *,
                 name: Name | None = None, phase: float = 0.0, rate: float = 1.0,
                 size: float | Sequence[float] = 1.0, offset: Sequence[float] = (0.0, 0.0, 0.0),
                 rotation: float = 0.0, reverse: bool = False, interpolation: Interpolation = "linear",
                 cycles_per_bar: float | None = None, beats_per_cycle: float | None = None,
                 beats_per_bar: float = 4.0, ends: Ends = "loop", start: float = 0.0, stop: float | None = None,
                 fade_in: float = 0.0, fade_out: float = 0.0, base: Sequence[float] | None = None) -> None:
        options = VoiceOptions(phase=phase, rate=rate, size=cast(Point, size), offset=cast(Point, offset),
                               rotation=rotation, reverse=reverse, interpolation=interpolation,
                               cycles_per_bar=cycles_per_bar, beats_per_cycle=beats_per_cycle,
                               beats_per_bar=beats_per_bar, ends=ends, start=start, stop=stop,
                               fade_in=fade_in, fade_out=fade_out, base=cast(Point | None, base))
        self._set_up(voice_loop(source, name), options)

    def _set_up(self, loop: MotionLoop, options: VoiceOptions, shared: Placed | None = None) -> None:
        object.__setattr__(self, "_loop", loop)
        object.__setattr__(self, "_options", options)
        object.__setattr__(self, "_reading", reading_for(loop, options, shared))

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
        shared = self._reading.placed if same_table(changed, self._options) else None
        voice._set_up(self._loop, changed, shared)
        return voice

    def at(self, pip: Pip) -> Point:
        """The position at one pip, an int or a float."""
        return point_at(self._reading, scalar_pip(pip))

    def render(self, pips: Pips) -> FloatArray:
        """Positions at many pips (ints or floats), shape (len(pips), 3)."""
        if isinstance(pips, range):
            return render_range(self._reading, pips)
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

    @property
    def reading(self) -> Reading:
        """The numbers that place a pip in the loop (what a group vectorises over)."""
        return self._reading

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
