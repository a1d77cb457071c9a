"""The patch: fixtures placed at a universe and a start address, a universe
being 512 slots (addresses 1..512). Overlaps and fixtures past slot 512 are
refused, naming both fixtures and the slots."""

from __future__ import annotations

from typing import NamedTuple

import numpy as np

from kinetrope_tools.rig.profiles import Fixture

SLOTS = 512
LAST_UNIVERSE = 63999


class PatchedFixture(NamedTuple):
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
        self.fixtures, self._owners = placed, owners

    @property
    def universes(self) -> list[int]:
        return sorted(self._owners)
