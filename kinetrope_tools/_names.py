"""The names closest to a name among many, quickly.

difflib ranks names by how they read, but comparing a name with every one of
a couple of thousand takes tens of milliseconds. The letters and letter pairs
(with the name's two ends marked) that two names share narrow the field to a
short list first; difflib ranks only that.
"""

from __future__ import annotations

import difflib
from collections.abc import Sequence

import numpy as np

CUTOFF = 0.6  # difflib's own default for a close match
SHORTLIST = 24


def features(name: str) -> set[str]:
    """The name's letters and its letter pairs, with ^ and $ marking its ends."""
    marked = f"^{name.lower()}$"
    return set(marked[1:-1]) | {marked[i:i + 2] for i in range(len(marked) - 1)}


class NameIndex:
    """Names with, for every letter and letter pair, the names that hold it."""

    def __init__(self, names: Sequence[str]) -> None:
        self.names = list(names)
        named_features = [features(name) for name in self.names]
        self.sizes = np.array([len(held) for held in named_features], dtype=np.float64)
        holders: dict[str, list[int]] = {}
        for position, held in enumerate(named_features):
            for feature in held:
                holders.setdefault(feature, []).append(position)
        self.holders = {feature: np.array(positions, dtype=np.intp) for feature, positions in holders.items()}

    def closest(self, name: str, n: int) -> list[str]:
        """Up to n names that read most like `name`, closest first."""
        wanted = features(name)
        hits = [self.holders[feature] for feature in wanted if feature in self.holders]
        if not hits:
            return []
        shared = np.bincount(np.concatenate(hits), minlength=len(self.names))
        overlap = 2.0 * shared / (len(wanted) + self.sizes)
        ranked = np.argsort(-overlap, kind="stable")[:max(SHORTLIST, n)]
        shortlist = [self.names[position] for position in ranked if shared[position]]
        return difflib.get_close_matches(name, shortlist, n=n, cutoff=CUTOFF)
