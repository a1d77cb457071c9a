"""A rig: fixture groups patched into universes, turned into DMX frames.

`Rig.frame(position)` reads every group's points in one call per group, maps
them through the group's profile in one pass and writes the values into one
buffer of all universes: no per-fixture work at frame time.
"""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from kinetrope_tools.rig.groups import Group
from kinetrope_tools.rig.mapping import Driven, LevelSource, Mapping, Values, split
from kinetrope_tools.rig.patch import SLOTS, Patch, PatchedFixture, checked_address, checked_universe, placements
from kinetrope_tools.rig.profiles import Fixture
from kinetrope_tools.voices import Voice


Frame = dict[int, bytes]


class FixtureGroup:
    """Fixtures of one profile sharing a motion: the group's voices and points,
    its mapping and its patched fixtures."""

    def __init__(self, name: str, fixture: Fixture, group: Group, mapping: Mapping,
                 fixtures: list[PatchedFixture]) -> None:
        self.name = name
        self.fixture = fixture
        self.group = group
        self.mapping = mapping
        self.fixtures = fixtures
        # Set by the rig: flat buffer indices of each driven channel, per fixture.
        self._moving = np.zeros((0, 0), dtype=np.intp)  # (fixtures, bytes) buffer indices
        self._targets: dict[Driven, tuple[npt.NDArray[np.intp], npt.NDArray[np.intp] | None]] = {}

    @property
    def voices(self) -> list[Voice]:
        return self.group.voices

    def __len__(self) -> int:
        return len(self.fixtures)

    def points(self, position: float) -> npt.NDArray[np.float64]:
        """Every fixture's point at `position` (pips), shape (count, 3)."""
        return self.group.points(position)

    def _write(self, buffer: npt.NDArray[np.uint8], values: list[tuple[Driven, Values]]) -> None:
        for driven, array in values:
            coarse_at, fine_at = self._targets[driven]
            coarse, fine = split(array, fine_at is not None)
            buffer[coarse_at] = coarse
            if fine_at is not None and fine is not None:
                buffer[fine_at] = fine

    def __repr__(self) -> str:
        return f"FixtureGroup({self.name!r}, {self.fixture.name!r}, {len(self)})"


class Rig:
    """Fixture groups, their patch and their frames."""

    def __init__(self) -> None:
        self._patch = Patch()
        self._groups: dict[str, FixtureGroup] = {}
        self._rows: dict[int, int] = {}
        self._base = np.zeros(0, dtype=np.uint8)  # defaults of every patched slot
        self._home = self._base

    def group(self, name: str, fixture: Fixture, count: int, *, universe: int, address: int,
              motion: Any, wrap: bool = False, pan: str | None = "x", tilt: str | None = "y",
              pan_swing: float = 45.0, tilt_swing: float = 45.0, invert_pan: bool = False,
              invert_tilt: bool = False, swap: bool = False,
              pan_limits: Sequence[float] | None = None, tilt_limits: Sequence[float] | None = None,
              dimmer: LevelSource = None, red: LevelSource = None, green: LevelSource = None,
              blue: LevelSource = None, white: LevelSource = None, **options: Any) -> FixtureGroup:
        """`count` fixtures of `fixture` from `universe`/`address`, side by side
        (with `wrap`, continuing at address 1 of the next universe when one is
        full), all playing `motion` with the group `options` (phase spread and
        voice options). Pan and tilt follow the `pan` and `tilt` axes, `*_swing`
        degrees either side of home; levels as in `Mapping`."""
        if not isinstance(name, str) or not name:
            raise ValueError(f"a group needs a name, not {name!r}")
        if name in self._groups:
            raise ValueError(f"there is already a group named {name!r}")
        if not isinstance(fixture, Fixture):
            raise TypeError(f"fixture must be a Fixture, not {type(fixture).__name__}")
        if isinstance(count, bool) or not isinstance(count, int) or count < 1:
            raise ValueError(f"count must be a positive int, not {count!r}")
        universe, address = checked_universe(universe), checked_address(address)
        mapping = Mapping(fixture, motion, motion_name=options.get("name"), pan=pan, tilt=tilt,
                          pan_swing=pan_swing, tilt_swing=tilt_swing, invert_pan=invert_pan,
                          invert_tilt=invert_tilt, swap=swap, pan_limits=pan_limits, tilt_limits=tilt_limits,
                          dimmer=dimmer, red=red, green=green, blue=blue, white=white)
        fixtures = placements(name, fixture, count, universe, address, wrap)
        patch = self._patch.checked(fixtures)  # before the group's voices are made
        group = Group(motion, count, **options)
        self._patch.commit(*patch)
        added = FixtureGroup(name, fixture, group, mapping, fixtures)
        self._groups[name] = added
        self._lay_out()
        return added

    def _lay_out(self) -> None:
        """Buffer rows for the universes, each slot's default, and every group's targets."""
        self._rows = {universe: row for row, universe in enumerate(self._patch.universes)}
        base = np.zeros(len(self._rows) * SLOTS, dtype=np.uint8)
        for group in self._groups.values():
            starts = np.array([self._rows[patched.universe] * SLOTS + patched.address - 1
                               for patched in group.fixtures], dtype=np.intp)
            defaults = np.frombuffer(bytes(channel.value for channel in group.fixture.layout), dtype=np.uint8)
            base[(starts[:, None] + np.arange(group.fixture.channels)).ravel()] = np.tile(defaults, len(starts))
            group._moving = starts[:, None] + group.mapping.byte_offsets
            group._targets = {driven: (starts + driven.coarse, None if driven.fine is None else starts + driven.fine)
                              for driven in group.mapping.driven}
            group._write(base, [(driven, np.broadcast_to(values, starts.shape))
                                for driven, values in group.mapping.held_values()])
        home = base.copy()
        for group in self._groups.values():
            count = len(group.fixtures)
            group._write(home, [(driven, np.broadcast_to(values, (count,)))
                                for driven, values in group.mapping.home_values()])
        self._base, self._home = base, home

    def frame(self, position: float) -> Frame:
        """Every patched universe's 512 slots at `position` (pips)."""
        buffer = self._base.copy()
        for group in self._groups.values():
            if group._moving.shape[1]:
                buffer[group._moving] = group.mapping.dmx_bytes(group.points(position))
        return self._split(buffer)

    def home_frame(self) -> Frame:
        """Every fixture at home, every other channel at its default."""
        return self._split(self._home)

    def _split(self, buffer: npt.NDArray[np.uint8]) -> Frame:
        data = buffer.tobytes()
        return {universe: data[row * SLOTS:(row + 1) * SLOTS] for universe, row in self._rows.items()}

    @property
    def patch(self) -> list[PatchedFixture]:
        return list(self._patch.fixtures)

    @property
    def universes(self) -> list[int]:
        return list(self._rows)

    @property
    def groups(self) -> dict[str, FixtureGroup]:
        return dict(self._groups)

    def __repr__(self) -> str:
        return f"Rig({len(self._groups)} groups, {len(self._patch.fixtures)} fixtures, universes {self.universes})"
