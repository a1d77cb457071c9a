"""From points in [-1, 1] to DMX values, for a whole group of one profile at once.

Pan and tilt: an axis of the point times the swing in degrees, around home,
inverted or swapped as asked, clamped to the limits. Levels (dimmer, red,
green, blue, white): an axis taken through a range (explicit, or the motion's
own range over one loop) to 0..1, or a constant level, or the profile's
default. Both are one linear map per channel to a share of the channel's
range, share = value * a + b, clamped (to the limits, or to 0..1); the share
times full (65535 with a fine byte, else 255) is rounded half to even, and
only the clamped value is split into coarse and fine bytes. A group's
channels are the columns of one array pass. Everything is arithmetic on the
points alone, so a point always gives the same bytes.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from dataclasses import dataclass
from typing import Any, NamedTuple, TypeAlias

import numpy as np
import numpy.typing as npt

from kinetrope_tools.rig.profiles import LEVEL_ROLES, Fixture

AXES = {"x": 0, "y": 1, "z": 2}
DEFAULT_SWING = 45.0
Values: TypeAlias = np.ndarray[tuple[Any, ...], np.dtype[np.uint16]]
LevelSource: TypeAlias = str | float | tuple[str, float, float] | None


class Driven(NamedTuple):
    """Where one driven value goes in a fixture: the coarse and (16-bit) fine offsets."""

    role: str
    coarse: int
    fine: int | None

    @property
    def full(self) -> int:
        return 65535 if self.fine is not None else 255


def to_dmx(share: npt.NDArray[np.float64], full: int) -> Values:
    """A share of the range (0..1) as a DMX value: the scaled value rounded
    half to even, clamped to 0..full before any coarse/fine split."""
    value = np.rint(share * float(full))
    np.clip(value, 0.0, float(full), out=value)
    return value.astype(np.uint16)


@dataclass(frozen=True)
class Swing:
    """One of pan or tilt: which axis (None holds home), how far and where."""

    axis: int | None
    sign: float
    home: float
    swing: float
    low: float
    high: float
    full_range: float

    def linear(self) -> tuple[float, float, float, float]:
        """share = clip(value * a + b, low, high), all as shares of the range."""
        return (self.sign * self.swing / self.full_range, self.home / self.full_range,
                self.low / self.full_range, self.high / self.full_range)

    def home_share(self) -> npt.NDArray[np.float64]:
        _, home, low, high = self.linear()
        return np.array([min(max(home, low), high)])


@dataclass(frozen=True)
class Level:
    """A level channel: an axis through [low, high] to 0..1, or a constant (low)."""

    axis: int | None
    low: float
    high: float

    def linear(self) -> tuple[float, float, float, float]:
        if self.axis is None:
            return (0.0, self.low, 0.0, 1.0)
        return (1.0 / (self.high - self.low), -self.low / (self.high - self.low), 0.0, 1.0)

    def home_share(self) -> npt.NDArray[np.float64]:
        return np.array([self.linear()[1]])


def checked_axis(option: str, value: object) -> int | None:
    if value is None:
        return None
    if value not in AXES:
        raise ValueError(f"{option} must be 'x', 'y', 'z' or None, not {value!r}")
    return AXES[str(value)]


def finite(option: str, value: object) -> float:
    if isinstance(value, bool) or not isinstance(value, (int, float)) or not math.isfinite(value):
        raise ValueError(f"{option} must be a finite number, not {value!r}")
    return float(value)


def checked_limits(option: str, limits: object, full_range: float) -> tuple[float, float]:
    if limits is None:
        return (0.0, full_range)
    if isinstance(limits, (str, bytes)) or not isinstance(limits, Sequence) or len(limits) != 2:
        raise ValueError(f"{option} must be (low, high) in degrees, not {limits!r}")
    low, high = finite(option, limits[0]), finite(option, limits[1])
    if low > high:
        raise ValueError(f"{option} must have low <= high, not {tuple(limits)!r}")
    return (max(low, 0.0), min(high, full_range))


def motion_range(motion: Any, name: Any, axis: int) -> tuple[float, float]:
    """An axis's lowest and highest value over one loop of the motion (as
    `describe` sums it up), LFOs included."""
    from kinetrope_tools.voices import voice_loop
    column = voice_loop(motion, name).values[:, axis]
    return (float(column.min()), float(column.max()))


def checked_level(role: str, source: LevelSource, motion: Any, name: Any) -> Level | None:
    """None: the profile's default; a number: a constant level 0..1; an axis
    name: the axis through the motion's own range; (axis, low, high): through
    that range."""
    if source is None:
        return None
    if isinstance(source, (int, float)) and not isinstance(source, bool):
        level = finite(role, source)
        if not 0.0 <= level <= 1.0:
            raise ValueError(f"{role} level must be within 0..1, not {level!r}")
        return Level(None, level, level)
    if isinstance(source, str):
        axis = checked_axis(role, source)
        assert axis is not None
        low, high = motion_range(motion, name, axis)
        if low == high:
            raise ValueError(f"{role}: axis {source} of the motion holds {low!r} all loop long; "
                             f"give a range, ({source!r}, low, high)")
        return Level(axis, low, high)
    if isinstance(source, tuple) and len(source) == 3:
        axis = checked_axis(role, source[0])
        if axis is None:
            raise ValueError(f"{role} needs an axis, not {source!r}")
        low, high = finite(f"{role} low", source[1]), finite(f"{role} high", source[2])
        if low == high:
            raise ValueError(f"{role} range must not be empty, not {source!r}")
        return Level(axis, low, high)
    raise ValueError(f"{role} must be a level 0..1, an axis name or (axis, low, high), not {source!r}")


class Mapping:
    """How one profile's fixtures turn points into DMX values.

    `pan` and `tilt` name the axes ("x", "y", "z", or None to hold home) that
    move them `pan_swing` and `tilt_swing` degrees either side of home;
    `invert_*` turns a direction, `swap` exchanges the two axes (both on top of
    the profile's own), `*_limits` (low, high) in degrees clamp them. A level
    (`dimmer`, `red`, `green`, `blue`, `white`) is None (the profile's
    default), a constant 0..1, an axis name (through the motion's own range
    over one loop, `motion` and `motion_name` as for a voice) or (axis, low,
    high) through that range; low above high runs it backwards.
    """

    def __init__(self, fixture: Fixture, motion: Any = None, *, motion_name: Any = None, pan: str | None = "x",
                 tilt: str | None = "y", pan_swing: float = DEFAULT_SWING,
                 tilt_swing: float = DEFAULT_SWING, invert_pan: bool = False,
                 invert_tilt: bool = False, swap: bool = False,
                 pan_limits: Sequence[float] | None = None, tilt_limits: Sequence[float] | None = None,
                 dimmer: LevelSource = None, red: LevelSource = None, green: LevelSource = None,
                 blue: LevelSource = None, white: LevelSource = None) -> None:
        self.fixture = fixture
        pan_axis, tilt_axis = checked_axis("pan", pan), checked_axis("tilt", tilt)
        if swap != fixture.swap:
            pan_axis, tilt_axis = tilt_axis, pan_axis
        invert_pan, invert_tilt = invert_pan != fixture.invert_pan, invert_tilt != fixture.invert_tilt
        self.swings: list[tuple[Driven, Swing]] = []
        for role, axis, invert, swing, limits, full_range, home in (
                ("pan", pan_axis, invert_pan, pan_swing, pan_limits, fixture.pan_range, fixture.home[0]),
                ("tilt", tilt_axis, invert_tilt, tilt_swing, tilt_limits, fixture.tilt_range, fixture.home[1])):
            low, high = checked_limits(f"{role}_limits", limits, full_range)
            spec = Swing(axis, -1.0 if invert else 1.0, home, finite(f"{role}_swing", swing),
                         low, high, full_range)
            driven = driven_channel(fixture, role)
            if driven is not None:
                self.swings.append((driven, spec))
        levels = {"dimmer": dimmer, "red": red, "green": green, "blue": blue, "white": white}
        self.levels: list[tuple[Driven, Level]] = []
        for role in LEVEL_ROLES:
            level = checked_level(role, levels[role], motion, motion_name)
            driven = driven_channel(fixture, role)
            if level is not None and driven is None:
                raise ValueError(f"{role} is driven but {fixture.name} has no {role} channel")
            if level is not None and driven is not None:
                self.levels.append((driven, level))
        every: list[tuple[Driven, Swing | Level]] = [*self.swings, *self.levels]
        self.moving = [(driven, spec) for driven, spec in every if spec.axis is not None]
        self.held = [(driven, spec) for driven, spec in every if spec.axis is None]

        self._plan(fixture)

    def _plan(self, fixture: Fixture) -> None:
        """The moving channels as columns: per column the axis, the linear map
        to a share of the range with its clamp, the full value, and the byte
        offsets in the fixture that the coarse and fine bytes go to."""
        specs = [spec for _, spec in self.moving]
        linear = np.array([spec.linear() for spec in specs], dtype=np.float64).reshape(len(specs), 4)
        self._axes = np.array([spec.axis for spec in specs], dtype=np.intp)
        self._scale, self._shift, self._low, self._high = (np.ascontiguousarray(column) for column in linear.T)
        self._full = np.array([driven.full for driven, _ in self.moving], dtype=np.float64)
        drivens = [driven for driven, _ in self.moving]
        self._coarse_shift = np.array([8 if driven.fine is not None else 0 for driven in drivens], dtype=np.uint16)
        self._fine_columns = np.array([index for index, driven in enumerate(drivens) if driven.fine is not None],
                                      dtype=np.intp)
        self.byte_offsets = np.array([driven.coarse for driven in drivens]
                                     + [driven.fine for driven in drivens if driven.fine is not None], dtype=np.intp)

    @property
    def driven(self) -> list[Driven]:
        """Every channel the mapping writes: the moving ones, then the held ones."""
        return [driven for driven, _ in self.moving + self.held]

    def dmx_values(self, points: npt.NDArray[np.float64]) -> Values:
        """The moving channels' DMX values for points (n, 3), shape (n, channels):
        clamped to the limits as shares, scaled to full, rounded half to even."""
        share = points[:, self._axes]
        share *= self._scale
        share += self._shift
        np.clip(share, self._low, self._high, out=share)
        share *= self._full
        np.rint(share, out=share)
        return share.astype(np.uint16)

    def dmx_bytes(self, points: npt.NDArray[np.float64]) -> npt.NDArray[np.uint8]:
        """The bytes of the moving channels for points (n, 3), shape (n, bytes),
        in the order of `byte_offsets`: every coarse byte, then every fine byte."""
        values = self.dmx_values(points)
        coarse = (values >> self._coarse_shift).astype(np.uint8)
        if not len(self._fine_columns):
            return coarse
        fine = (values[:, self._fine_columns] & 0xFF).astype(np.uint8)
        return np.concatenate([coarse, fine], axis=1)

    def values(self, points: npt.NDArray[np.float64]) -> list[tuple[Driven, Values]]:
        """The moving channels' DMX values for points (n, 3), one array each."""
        values = self.dmx_values(points)
        return [(driven, values[:, column]) for column, (driven, _) in enumerate(self.moving)]

    def held_values(self) -> list[tuple[Driven, Values]]:
        """The channels no axis drives: pan or tilt at home, constant levels."""
        return [(driven, to_dmx(spec.home_share(), driven.full)) for driven, spec in self.held]

    def home_values(self) -> list[tuple[Driven, Values]]:
        """Every channel at rest: pan and tilt at home (within the limits),
        constant levels held; axis-driven levels stay at the profile's default."""
        at_home = [(driven, to_dmx(spec.home_share(), driven.full)) for driven, spec in self.swings]
        return at_home + [(driven, to_dmx(spec.home_share(), driven.full))
                          for driven, spec in self.levels if spec.axis is None]


def driven_channel(fixture: Fixture, role: str) -> Driven | None:
    coarse = fixture.offset(role)
    if coarse is None:
        return None
    return Driven(role, coarse, fixture.offset(role + "_fine"))


def split(values: Values, fine: bool) -> tuple[npt.NDArray[np.uint8], npt.NDArray[np.uint8] | None]:
    """Coarse and fine bytes of 16-bit values, or the 8-bit values alone."""
    if not fine:
        return values.astype(np.uint8), None
    return (values >> 8).astype(np.uint8), (values & 0xFF).astype(np.uint8)


def fixture_slots(fixture: Fixture, values: list[tuple[Driven, Values]], index: int = 0) -> bytearray:
    """One fixture's slots: its defaults with the given values written in."""
    slots = bytearray(channel.value for channel in fixture.layout)
    for driven, array in values:
        coarse, fine = split(array[index:index + 1], driven.fine is not None)
        slots[driven.coarse] = int(coarse[0])
        if fine is not None and driven.fine is not None:
            slots[driven.fine] = int(fine[0])
    return slots

