"""A plain fixture group used until the vectorised one is in this package:
voices spread over the loop, points read voice by voice."""

from __future__ import annotations

from typing import Any

import numpy as np

from kinetrope_tools.voices import Voice, spread


class Group:
    def __init__(self, motion: Any, count: int, **options: Any) -> None:
        self.voices: list[Voice] = spread(motion, count, **options)

    def __len__(self) -> int:
        return len(self.voices)

    def points(self, position: float) -> np.ndarray:
        return np.array([voice.at(position) for voice in self.voices], dtype=np.float64)
