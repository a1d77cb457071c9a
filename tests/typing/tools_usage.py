"""Typed use of kinetrope_tools, as a user's program would write it.

Type-checked with mypy --strict from a folder outside the repository, where
only the installed packages are found, and also run as a script.
"""

from typing import assert_type

import numpy as np
import numpy.typing as npt

import kinetrope
from kinetrope_tools import BeatClock, TempoMap, render


def timelines() -> float:
    pattern = kinetrope.SampledPattern("wave", "", [(0.5, 0.0, 0.0), (0.0, 0.5, 0.0)])
    library = kinetrope.PatternLibrary([pattern])
    recording = kinetrope.SampledRecording("take", ["x", "y"], [[0.0, 0.5]], 120.0)
    arrays = [
        render("bounce", range(256)),
        render(b"helix", [0, 1, 2]),
        render(pattern, np.arange(8, dtype=np.int16)),
        render(library, iter([0, 1]), name="wave"),
        render(recording, [0]),
    ]
    for rows in arrays:
        assert_type(rows, npt.NDArray[np.float64])
    return sum(float(rows.sum()) for rows in arrays)


def tempo() -> int:
    tempo_map = TempoMap(120.0, beat_zero_seconds=0.5, changes=[(256, 90.0)])
    pips = tempo_map.pips_at(np.linspace(0.0, 10.0, 5))
    assert_type(pips, npt.NDArray[np.int32])
    seconds: float = tempo_map.seconds_at(tempo_map.pip_at(3.0) + 1)
    clock = BeatClock(128.0, start_pip=-64, time_ns=lambda: 0)
    clock.set_bpm(100.0)
    clock.seek(0)
    assert seconds > 0
    return clock.pip() + int(pips[-1])


if __name__ == "__main__":
    assert timelines() != 0.0
    assert tempo() > 0
