"""Typed use of every name kinetrope binds.

Type-checked with mypy --strict against the installed stub, and also run as
a script, so the types it asserts are the ones the module really returns.
"""

from decimal import Decimal
from typing import assert_type

import kinetrope


class Beat:
    """A pip given by an object that converts itself with __index__."""

    def __init__(self, beats: int) -> None:
        self.beats = beats

    def __index__(self) -> int:
        return self.beats * kinetrope.PIPS_PER_BEAT


def rudiments() -> list[kinetrope.Offset3]:
    pip = Beat(1)
    return [
        kinetrope.bounce(pip), kinetrope.sway(1), kinetrope.circle(True), kinetrope.figure_eight(2),
        kinetrope.step_touch(3), kinetrope.box_step(4), kinetrope.helix(5), kinetrope.varn_background(6),
        kinetrope.single_stroke_roll(7), kinetrope.double_stroke_roll(8),
        kinetrope.multiple_bounce_roll(9), kinetrope.single_paradiddle(10), kinetrope.flam(11),
        kinetrope.drag(12), kinetrope.five_stroke_roll(13),
    ]


def offsets() -> None:
    at = kinetrope.sample("bounce", 17)
    assert_type(at.as_tuple(), tuple[float, float, float])
    x: float = at.x + at.y + at.z
    assert_type(kinetrope.sample(b"sway", pip_count=Beat(2)), kinetrope.Offset3)
    assert_type(kinetrope.sample(bytearray(b"circle"), 3), kinetrope.Offset3)
    assert x == x


def catalogue() -> int:
    periods = 0
    for row in kinetrope.catalogue():
        assert_type(row["name"], str)
        assert_type(row["description"], str)
        periods += row["period_pips"] * row["dimensions"]
    return periods


def patterns() -> None:
    wave = kinetrope.SampledPattern("wave_a", "A", [(0.5, 0.0, 0.0), [0, 1, -1]])
    assert_type(wave.name, str)
    assert_type(wave.description, str)
    assert_type(wave.period_pips, int)
    assert_type(wave.sample(pip_count=3), kinetrope.Offset3)
    library = kinetrope.PatternLibrary([wave])
    assert_type(library.sample("wave_a", 1), kinetrope.Offset3)
    assert_type(library.sample(b"bounce", Beat(1)), kinetrope.Offset3)
    assert len(library.catalogue()) == len(kinetrope.PatternLibrary().catalogue()) + 1


def recordings() -> None:
    take = kinetrope.SampledRecording("take_one", ["x", b"y"], [[0.5, -0.5], (1, 0)], 120,
                                      beat_zero_seconds=Decimal("0.25"), start_pip=-1)
    assert_type(take.name, str)
    assert_type(take.dimensions, list[str])
    assert_type(take.sample_count, int)
    assert_type(take.bpm, float)
    assert_type(take.beat_zero_seconds, float)
    assert_type(take.start_pip, int)
    assert_type(take.sample(pip=0), list[float])


def main() -> None:
    pips_per_beat: int = kinetrope.PIPS_PER_BEAT
    assert pips_per_beat == 64
    assert len(rudiments()) == 15
    offsets()
    assert catalogue() > 0
    patterns()
    recordings()


if __name__ == "__main__":
    main()
