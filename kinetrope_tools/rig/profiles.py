"""Fixture profiles: what each DMX channel of a fixture does, its pan and tilt
ranges in degrees, where it rests (home) and the values of the channels that
nothing drives (defaults).

A profile is declarative and immutable. It is made in Python, read from our
own TOML format (``Fixture.from_toml``) or imported from a console library's
``.qxf`` definition (``Fixture.from_qxf``).
"""

from __future__ import annotations

import math
import tomllib
from collections.abc import Iterable, Mapping, Sequence
from dataclasses import dataclass
from pathlib import Path
from typing import Any, NamedTuple

# Roles a motion can drive. A "_fine" role is the low byte of its coarse role.
POSITION_ROLES = ("pan", "tilt")
LEVEL_ROLES = ("dimmer", "red", "green", "blue", "white")
FINE_ROLES = ("pan_fine", "tilt_fine", "dimmer_fine", "red_fine", "green_fine", "blue_fine", "white_fine")
# Roles that only ever hold their default value; they may repeat.
PLAIN_ROLES = ("shutter", "speed", "constant")
ROLES = POSITION_ROLES + LEVEL_ROLES + FINE_ROLES + PLAIN_ROLES
DRIVEN_ROLES = POSITION_ROLES + LEVEL_ROLES


class Channel(NamedTuple):
    """One DMX channel: its role and the value it holds when nothing drives it."""

    role: str
    value: int = 0


class FixtureState(NamedTuple):
    """What a fixture's slots ask of it: pan and tilt in degrees (None without
    those channels), dimmer 0..1 (1.0 without a dimmer channel) and colour
    (r, g, b) 0..1 (None without colour channels)."""

    pan: float | None
    tilt: float | None
    dimmer: float
    color: tuple[float, float, float] | None


def checked_byte(what: str, value: object) -> int:
    if isinstance(value, bool) or not isinstance(value, int) or not 0 <= value <= 255:
        raise ValueError(f"{what} must be an int in 0..255, not {value!r}")
    return value


def checked_degrees(what: str, value: object, *, positive: bool = False) -> float:
    if isinstance(value, bool) or not isinstance(value, (int, float)) or not math.isfinite(value):
        raise ValueError(f"{what} must be a finite number of degrees, not {value!r}")
    if positive and value <= 0:
        raise ValueError(f"{what} must be more than 0 degrees, not {value!r}")
    return float(value)


def checked_channel(index: int, entry: object) -> Channel:
    """A channel from a role name, a (role, value) pair or a {role, value} table."""
    if isinstance(entry, str):
        role, value = entry, 0
    elif isinstance(entry, Mapping):
        unknown = set(entry) - {"role", "value"}
        if unknown or "role" not in entry:
            raise ValueError(f"channel {index + 1} must be a role or a table with 'role' and 'value'")
        role, value = entry["role"], entry.get("value", 0)
    elif isinstance(entry, Sequence) and len(entry) == 2:
        role, value = entry
    else:
        raise ValueError(f"channel {index + 1} must be a role name or (role, value), not {entry!r}")
    if role not in ROLES:
        raise ValueError(f"channel {index + 1}: unknown role {role!r}; roles are {', '.join(ROLES)}")
    return Channel(role, checked_byte(f"channel {index + 1} ({role}) value", value))


@dataclass(frozen=True, eq=False)
class Fixture:
    """A fixture profile.

    `layout` lists the channels in DMX order, each a role name, a (role, value)
    pair or a Channel. `pan_range` and `tilt_range` are the physical ranges in
    degrees that DMX 0 to full covers; `home` (pan, tilt) in degrees, the
    middle of both ranges by default. `defaults` gives values by role (a
    shutter open at 255, say) for channels that no motion drives.
    `invert_pan`, `invert_tilt` and `swap` describe how the fixture hangs:
    they turn every motion's direction or exchange its pan and tilt axes.
    """

    name: str
    layout: tuple[Channel, ...]
    pan_range: float = 540.0
    tilt_range: float = 270.0
    home: tuple[float, float] = (270.0, 135.0)
    invert_pan: bool = False
    invert_tilt: bool = False
    swap: bool = False

    def __init__(self, name: str, layout: Iterable[object], *, pan_range: float = 540.0,
                 tilt_range: float = 270.0, home: Sequence[float] | None = None,
                 defaults: Mapping[str, int] | None = None, invert_pan: bool = False,
                 invert_tilt: bool = False, swap: bool = False) -> None:
        if not isinstance(name, str) or not name:
            raise ValueError(f"a fixture needs a name, not {name!r}")
        channels = [checked_channel(index, entry) for index, entry in enumerate(layout)]
        if not 1 <= len(channels) <= 512:
            raise ValueError(f"{name}: a fixture has 1 to 512 channels, not {len(channels)}")
        for role, value in (defaults or {}).items():
            if role not in ROLES:
                raise ValueError(f"{name}: default for unknown role {role!r}")
            checked_byte(f"{name}: default {role}", value)
            channels = [Channel(role, value) if channel.role == role else channel for channel in channels]
        check_roles(name, channels)
        pan = checked_degrees(f"{name}: pan_range", pan_range, positive=True)
        tilt = checked_degrees(f"{name}: tilt_range", tilt_range, positive=True)
        rest = (pan / 2.0, tilt / 2.0) if home is None else checked_home(name, home, pan, tilt)
        for flag, value in (("invert_pan", invert_pan), ("invert_tilt", invert_tilt), ("swap", swap)):
            if not isinstance(value, bool):
                raise ValueError(f"{name}: {flag} must be true or false, not {value!r}")
        fields: dict[str, object] = {"name": name, "layout": tuple(channels), "pan_range": pan, "tilt_range": tilt,
                                     "home": rest, "invert_pan": invert_pan, "invert_tilt": invert_tilt,
                                     "swap": swap}
        for attribute, field_value in fields.items():
            object.__setattr__(self, attribute, field_value)

    # ------------------------------------------------------------ reading

    @classmethod
    def from_toml(cls, path: str | Path) -> Fixture:
        """A profile from our TOML format::

            name = "Spot"
            channels = ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", "shutter",
                        { role = "constant", value = 32 }]
            pan_range = 540
            tilt_range = 270
            home = [270, 135]          # optional
            defaults = { shutter = 255 }
        """
        path = Path(path)
        try:
            with path.open("rb") as file:
                table = tomllib.load(file)
        except tomllib.TOMLDecodeError as error:
            raise ValueError(f"{path}: not a TOML file: {error}") from None
        return cls.from_table(table, str(path))

    @classmethod
    def from_table(cls, table: Mapping[str, Any], source: str = "profile") -> Fixture:
        """A profile from a table of our TOML format (a show file's profile, say)."""
        known = {"name", "channels", "pan_range", "tilt_range", "home", "defaults",
                 "invert_pan", "invert_tilt", "swap"}
        unknown = sorted(set(table) - known)
        if unknown:
            raise ValueError(f"{source}: unknown key {unknown[0]!r}")
        for key in ("name", "channels"):
            if key not in table:
                raise ValueError(f"{source}: missing key {key!r}")
        if not isinstance(table["channels"], list):
            raise ValueError(f"{source}: channels must be a list")
        options = {key: table[key] for key in known - {"name", "channels"} if key in table}
        try:
            return cls(table["name"], table["channels"], **options)
        except ValueError as error:
            raise ValueError(f"{source}: {error}") from None

    @classmethod
    def from_qxf(cls, path: str | Path, mode: str | None = None) -> Fixture:
        """A profile from a console library's .qxf fixture definition; `mode` by
        name, the definition's first mode when None."""
        from kinetrope_tools.rig.qxf import read_qxf
        return read_qxf(path, mode)

    # ------------------------------------------------------------ asking

    @property
    def channels(self) -> int:
        """The number of DMX channels the fixture takes."""
        return len(self.layout)

    def offset(self, role: str) -> int | None:
        """The channel offset of the first channel with `role`, or None."""
        for index, channel in enumerate(self.layout):
            if channel.role == role:
                return index
        return None

    def decode(self, slots: bytes | bytearray | memoryview) -> FixtureState:
        """What this fixture's own slots (exactly `channels` bytes) ask of it;
        the inverse of the mapping, for previews."""
        data = bytes(slots)
        if len(data) != self.channels:
            raise ValueError(f"{self.name} takes {self.channels} slots, not {len(data)}")
        pan = self._level(data, "pan")
        tilt = self._level(data, "tilt")
        dimmer = self._level(data, "dimmer")
        red, green, blue = (self._level(data, role) for role in ("red", "green", "blue"))
        color = None
        if red is not None or green is not None or blue is not None:
            color = (red or 0.0, green or 0.0, blue or 0.0)
        return FixtureState(None if pan is None else pan * self.pan_range,
                            None if tilt is None else tilt * self.tilt_range,
                            1.0 if dimmer is None else dimmer, color)

    def _level(self, data: bytes, role: str) -> float | None:
        coarse = self.offset(role)
        if coarse is None:
            return None
        fine = self.offset(role + "_fine")
        if fine is None:
            return data[coarse] / 255.0
        return (data[coarse] << 8 | data[fine]) / 65535.0

    def __repr__(self) -> str:
        return f"Fixture({self.name!r}, {self.channels} channels)"


def checked_home(name: str, home: object, pan: float, tilt: float) -> tuple[float, float]:
    if isinstance(home, (str, bytes)) or not isinstance(home, Sequence) or len(home) != 2:
        raise ValueError(f"{name}: home must be (pan, tilt) in degrees, not {home!r}")
    pan_home = checked_degrees(f"{name}: home pan", home[0])
    tilt_home = checked_degrees(f"{name}: home tilt", home[1])
    if not (0.0 <= pan_home <= pan and 0.0 <= tilt_home <= tilt):
        raise ValueError(f"{name}: home {tuple(home)!r} lies outside pan 0..{pan:g} or tilt 0..{tilt:g}")
    return (pan_home, tilt_home)


def check_roles(name: str, channels: list[Channel]) -> None:
    """Driven and fine roles appear at most once; a fine role needs its coarse one."""
    roles = [channel.role for channel in channels]
    for role in DRIVEN_ROLES + FINE_ROLES:
        if roles.count(role) > 1:
            raise ValueError(f"{name}: role {role!r} appears {roles.count(role)} times")
    for role in FINE_ROLES:
        if role in roles and role.removesuffix("_fine") not in roles:
            raise ValueError(f"{name}: {role!r} without {role.removesuffix('_fine')!r}")
