"""The patch: fixtures placed at a universe and a start address, a universe
being 512 slots (addresses 1..512). Overlaps and fixtures past slot 512 are
refused, naming both fixtures and the slots."""

from __future__ import annotations

from collections.abc import Mapping
from dataclasses import dataclass

import numpy as np

from kinetrope_tools.rig.profiles import Fixture, FixtureState

SLOTS = 512
LAST_UNIVERSE = 63999


@dataclass(frozen=True, slots=True)
class PatchedFixture:
    """One fixture in the patch."""

    name: str
    fixture: Fixture
    universe: int
    address: int
    group: str
    index: int

    @property
    def last(self) -> int:
        """The last address the fixture takes."""
        return self.address + self.fixture.channels - 1

    def slots(self, frame: Mapping[int, bytes]) -> bytes:
        """This fixture's own slots in a frame."""
        return bytes(frame[self.universe][self.address - 1:self.last])

    def state(self, frame: Mapping[int, bytes]) -> FixtureState:
        """What a frame asks of this fixture (pan and tilt in degrees, levels)."""
        return self.fixture.decode(self.slots(frame))

    def describe(self) -> str:
        return f"{self.name} (universe {self.universe}, slots {self.address}-{self.last})"


def checked_universe(universe: object) -> int:
    if isinstance(universe, bool) or not isinstance(universe, int) or not 0 <= universe <= LAST_UNIVERSE:
        raise ValueError(f"universe must be an int in 0..{LAST_UNIVERSE}, not {universe!r}")
    return universe


def checked_address(address: object) -> int:
    if isinstance(address, bool) or not isinstance(address, int) or not 1 <= address <= SLOTS:
        raise ValueError(f"address must be an int in 1..{SLOTS}, not {address!r}")
    return address


def placements(name: str, fixture: Fixture, count: int, universe: int, address: int,
               wrap: bool) -> list[PatchedFixture]:
    """`count` fixtures side by side from `address`; with `wrap`, one that does
    not fit in the universe starts the next universe at address 1."""
    per_universe = SLOTS // fixture.channels
    first = (SLOTS - address + 1) // fixture.channels
    if wrap and count > first and universe + -(-(count - first) // per_universe) > LAST_UNIVERSE:
        raise ValueError(f"{count} fixtures of {fixture.channels} channels from universe {universe} "
                         f"address {address} run past universe {LAST_UNIVERSE}")
    if not wrap:
        count = min(count, first + 1)  # the first that does not fit is enough for the patch to refuse
    out = []
    for index in range(count):
        if wrap and address + fixture.channels - 1 > SLOTS and fixture.channels <= SLOTS:
            universe, address = universe + 1, 1
            checked_universe(universe)
        out.append(PatchedFixture(f"{name}[{index}]", fixture, universe, address, name, index))
        address += fixture.channels
    return out


class Patch:
    """Which fixture owns each slot of each universe."""

    def __init__(self) -> None:
        self.fixtures: list[PatchedFixture] = []
        self._owners: dict[int, np.ndarray] = {}  # universe -> (512,) int32, fixture index + 1

    def add(self, fixtures: list[PatchedFixture]) -> None:
        """Place `fixtures`, all or none."""
        self.commit(*self.checked(fixtures))

    def commit(self, placed: list[PatchedFixture], owners: dict[int, np.ndarray]) -> None:
        """Take on a patch that `checked` made."""
        self.fixtures, self._owners = placed, owners

    def checked(self, fixtures: list[PatchedFixture]) -> tuple[list[PatchedFixture], dict[int, np.ndarray]]:
        """The patch with `fixtures` added, without changing this one; a
        ValueError naming both fixtures and the slots when they do not fit."""
        owners = {universe: slots.copy() for universe, slots in self._owners.items()}
        placed = list(self.fixtures)
        for patched in fixtures:
            if patched.last > SLOTS:
                raise ValueError(f"{patched.name} needs slots {patched.address}-{patched.last} of "
                                 f"universe {patched.universe}, past slot {SLOTS}")
            slots = owners.setdefault(patched.universe, np.zeros(SLOTS, dtype=np.int32))
            taken = slots[patched.address - 1:patched.last]
            if taken.any():
                other = placed[int(taken[taken != 0][0]) - 1]
                low, high = max(other.address, patched.address), min(other.last, patched.last)
                raise ValueError(f"patch conflict: {patched.describe()} and {other.describe()} "
                                 f"share slots {low}-{high} of universe {patched.universe}")
            placed.append(patched)
            taken[:] = len(placed)
        return placed, owners

    @property
    def universes(self) -> list[int]:
        return sorted(self._owners)
