"""The motions to draw: catalogue rows grouped into packs and families, and
their sampled tables.

Grouping rules (they only read the catalogue, so new packs are picked up as
they land):

* Pack. The fifteen computed rudiments (the first fifteen catalogue rows) form
  the pack ``computed``. A registry pattern's pack follows from its registry
  position, counted from 1 (catalogue row = 15 + position), by the ranges in
  ``PACK_RANGES``; a position past the last range falls in ``other``.
* Family. The computed rudiments form the family ``computed``. A registry
  name ``beat_<groove>_<motion>`` belongs to the family ``beat_<groove>`` (the
  name without its last ``_<motion>`` word), so one family shows one groove
  under every motion. Every other registry name belongs to the family named
  by its first word: ``lfo_breathe`` to ``lfo``, ``wave_pinched`` to ``wave``.
"""

from __future__ import annotations

import dataclasses
from typing import Any, Iterable, Mapping, Sequence

import numpy as np

import kinetrope

from kinetrope_tools import render

PIPS_PER_BEAT = kinetrope.PIPS_PER_BEAT
COMPUTED_COUNT = 15
COMPUTED = "computed"
OTHER_PACK = "other"

# (pack, first registry position, last registry position), positions from 1.
PACK_RANGES: tuple[tuple[str, int, int], ...] = (
    ("initial", 1, 28),
    ("expansion", 29, 52),
    ("atlas", 53, 308),
    ("continuum", 309, 628),
    ("club", 629, 772),
    ("dancefloor", 773, 1716),
)
PACKS: tuple[str, ...] = (COMPUTED,) + tuple(name for name, _, _ in PACK_RANGES) + (OTHER_PACK,)
BEAT_PREFIX = "beat_"


@dataclasses.dataclass(frozen=True)
class Motion:
    """One catalogue row with its place in the gallery."""

    row: int  # catalogue index, from 0
    name: str
    description: str
    period: int
    dims: int
    pack: str
    family: str


def pack_of(row: int) -> str:
    """The pack of catalogue row ``row`` (counted from 0)."""
    if row < COMPUTED_COUNT:
        return COMPUTED
    position = row - COMPUTED_COUNT + 1
    for pack, first, last in PACK_RANGES:
        if first <= position <= last:
            return pack
    return OTHER_PACK


def family_of(name: str, row: int) -> str:
    """The family of the motion ``name`` at catalogue row ``row``."""
    if row < COMPUTED_COUNT:
        return COMPUTED
    if name.startswith(BEAT_PREFIX) and name.count("_") >= 2:
        return name.rsplit("_", 1)[0]
    return name.split("_", 1)[0]


def motions_from_rows(rows: Sequence[Mapping[str, Any]]) -> list[Motion]:
    """Catalogue dicts (as ``kinetrope.catalogue()`` returns them) as motions."""
    return [
        Motion(
            row=index,
            name=entry["name"],
            description=entry["description"],
            period=int(entry["period_pips"]),
            dims=int(entry["dimensions"]),
            pack=pack_of(index),
            family=family_of(entry["name"], index),
        )
        for index, entry in enumerate(rows)
    ]


def load_motions() -> list[Motion]:
    """Every built-in motion of the installed module, in catalogue order."""
    return motions_from_rows(kinetrope.catalogue())


def select(
    motions: Iterable[Motion],
    names: Sequence[str] = (),
    packs: Sequence[str] = (),
    families: Sequence[str] = (),
    dims: Sequence[int] = (),
) -> list[Motion]:
    """The motions that pass every given filter (an empty filter passes all).

    Unknown names raise ``KeyError`` so a typo is not silently ignored.
    """
    motions = list(motions)
    if names:
        known = {m.name for m in motions}
        missing = [n for n in names if n not in known]
        if missing:
            raise KeyError("not in the catalogue: " + ", ".join(missing))
    wanted_names, wanted_packs, wanted_families = set(names), set(packs), set(families)
    wanted_dims = set(dims)
    return [
        m
        for m in motions
        if (not wanted_names or m.name in wanted_names)
        and (not wanted_packs or m.pack in wanted_packs)
        and (not wanted_families or m.family in wanted_families)
        and (not wanted_dims or m.dims in wanted_dims)
    ]


def group_by_family(motions: Iterable[Motion]) -> dict[str, list[Motion]]:
    """Families in order of first appearance, members in catalogue order."""
    groups: dict[str, list[Motion]] = {}
    for motion in motions:
        groups.setdefault(motion.family, []).append(motion)
    return groups


def sample_table(name: str, period: int) -> np.ndarray:
    """One loop of a motion: a (period, 3) array, row i = offset at pip i."""
    return render(name, range(period))
