"""A share of the patch by universe, for a rig split across show processes.

Each process runs the same show file with its own ``--universes``: every
group that has a fixture in the share is built whole (a spread depends on
the whole group), and only the share's universes are sent. All processes
follow one Link session, so they stay in phase without talking to each
other.
"""

from __future__ import annotations

import re

RANGE = re.compile(r"(\d+)(?:-(\d+))?")
LARGEST = 63999


def parse_universes(text: str) -> frozenset[int]:
    """``1-8``, ``3`` or ``1-4,9-12``: the universes named, or ValueError."""
    universes: set[int] = set()
    for part in text.split(","):
        match = RANGE.fullmatch(part.strip())
        if match is None:
            raise ValueError(f"not a universe or a range like 1-8: {part.strip()!r}")
        first = int(match.group(1))
        last = int(match.group(2) or first)
        if last < first:
            raise ValueError(f"a range runs upwards, not {first}-{last}")
        if last > LARGEST:
            raise ValueError(f"universes go up to {LARGEST}, not {last}")
        universes.update(range(first, last + 1))
    return frozenset(universes)


def spans(universes: frozenset[int] | list[int]) -> str:
    """The universes as ranges again: ``1-4,9``."""
    runs: list[list[int]] = []
    for universe in sorted(universes):
        if runs and runs[-1][1] == universe - 1:
            runs[-1][1] = universe
        else:
            runs.append([universe, universe])
    return ",".join(f"{first}" if first == last else f"{first}-{last}" for first, last in runs)
