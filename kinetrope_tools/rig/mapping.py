"""From points in [-1, 1] to DMX values, for a whole group of one profile at once.

Pan and tilt: an axis of the point times the swing in degrees, around home,
inverted or swapped as asked, clamped to the limits; then scaled to DMX
(degrees / range * full), rounded half to even, clamped to 0..full and only
then split into coarse and fine bytes. Levels (dimmer, red, green, blue,
white): an axis taken through a range (explicit, or the motion's own range
over one loop) to 0..1, or a constant level, or the profile's default.
Everything is arithmetic on the points alone, so a point always gives the
same bytes.
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
NO_POINTS = np.zeros((0, 3))
Values: TypeAlias = npt.NDArray[np.uint16]
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

    def share(self, points: npt.NDArray[np.float64]) -> npt.NDArray[np.float64]:
        """Degrees as a share of the full range; home when no axis drives it."""
        if self.axis is None:
            return self.home_share()
        degrees = points[:, self.axis] * (self.sign * self.swing)
        degrees += self.home
        np.clip(degrees, self.low, self.high, out=degrees)
        degrees /= self.full_range
        return degrees

    def home_share(self) -> npt.NDArray[np.float64]:
        return np.array([min(max(self.home, self.low), self.high) / self.full_range])


@dataclass(frozen=True)
class Level:
    """A level channel: an axis through [low, high] to 0..1, or a constant."""

    axis: int | None
    low: float
    high: float

    def share(self, points: npt.NDArray[np.float64]) -> npt.NDArray[np.float64]:
        if self.axis is None:
            return np.array([self.low])
        share = points[:, self.axis] - self.low
        share /= self.high - self.low
        return share


def checked_axis(option: str, value: object) -> int | None:
    if value is None:
        return None
    if value not in AXES:
        raise ValueError(f"{option} must be 'x', 'y', 'z' or None, not {value!r}")
    return AXES[value]  # type: ignore[index]


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
    """How one profile's fixtures turn points into DMX values."""

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

    @property
    def driven(self) -> list[Driven]:
        """Every channel the mapping writes: the moving ones, then the held ones."""
        return [driven for driven, _ in self.moving + self.held]

    def values(self, points: npt.NDArray[np.float64]) -> list[tuple[Driven, Values]]:
        """The moving channels' DMX values for points (n, 3), one array each."""
        return [(driven, to_dmx(spec.share(points), driven.full)) for driven, spec in self.moving]

    def held_values(self) -> list[tuple[Driven, Values]]:
        """The channels no axis drives: pan or tilt at home, constant levels."""
        return [(driven, to_dmx(spec.share(NO_POINTS), driven.full)) for driven, spec in self.held]

    def home_values(self) -> list[tuple[Driven, Values]]:
        """Every channel at rest: pan and tilt at home (within the limits),
        constant levels held; axis-driven levels stay at the profile's default."""
        at_home = [(driven, to_dmx(spec.home_share(), driven.full)) for driven, spec in self.swings]
        return at_home + [(driven, to_dmx(spec.share(NO_POINTS), driven.full))
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

