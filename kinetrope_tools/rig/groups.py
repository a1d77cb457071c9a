"""Fixture groups: N voices of one motion, spread the way lighting consoles
spread an effect over fixtures, and their points computed in one vectorised
call.

Each fixture gets a step in the chase: its place in the line (or in `order`),
then wings (the line cut into parts, every other part mirrored), blocks
(consecutive fixtures sharing a step), grouping (every g-th fixture sharing a
step) and direction. Step k of m puts the fixture k / m of `phase_span` ahead
in the loop, and, with `serial`, starts it k * serial pips later.

A group's points at a position are, row for row and bit for bit, what each
member voice's own `at` answers: the member voices share one interpolation
table, and the arithmetic is the voices' own, run over arrays of the
members' starts, steps and shifts.
"""

from __future__ import annotations

from collections.abc import Iterator, Sequence
from typing import TYPE_CHECKING, Any

import numpy as np

from kinetrope_tools._loop import FloatArray, Name
from kinetrope_tools.voices import (
    Pip,
    Reading,
    Voice,
    fill_points,
    finish,
    finite_number,
    loop_position,
    scalar_pip,
    since_start,
    split_position,
    whole_indices,
)

if TYPE_CHECKING:
    import kinetrope

DIRECTIONS = ("forward", "backward")


def positive_int(option: str, value: object) -> int:
    if isinstance(value, bool) or not isinstance(value, int) or value < 1:
        raise ValueError(f"{option} must be a positive int, not {value!r}")
    return value


def checked_order(order: Sequence[int] | None, count: int) -> list[int]:
    """Each fixture's place in the line: `order` when given (a permutation of range(count))."""
    if order is None:
        return list(range(count))
    places = list(order)
    if sorted(places) != list(range(count)) or any(isinstance(place, bool) for place in places):
        raise ValueError(f"order must hold each of 0 .. {count - 1} once, not {places!r}")
    return places


def wing_steps(places: list[int], count: int, wings: int, mirror: bool) -> tuple[list[int], int]:
    """Each place's step within its wing, and the widest wing's width."""
    bounds = [wing * count // wings for wing in range(wings + 1)]
    steps = []
    for place in places:
        wing = next(index for index in range(wings) if place < bounds[index + 1])
        step, width = place - bounds[wing], bounds[wing + 1] - bounds[wing]
        steps.append(width - 1 - step if mirror and wing % 2 else step)
    return steps, max(bounds[index + 1] - bounds[index] for index in range(wings))


def chase_steps(count: int, *, order: Sequence[int] | None = None, wings: int = 1, mirror: bool = True,
                blocks: int = 1, grouping: int | None = None, direction: str = "forward") -> tuple[list[int], int]:
    """Each fixture's step in the chase, and the number of steps."""
    wings, blocks = positive_int("wings", wings), positive_int("blocks", blocks)
    if wings > count:
        raise ValueError(f"wings must be at most the number of fixtures ({count}), not {wings}")
    if direction not in DIRECTIONS:
        raise ValueError(f"direction must be 'forward' or 'backward', not {direction!r}")
    steps, width = wing_steps(checked_order(order, count), count, wings, bool(mirror))
    steps, width = [step // blocks for step in steps], -(-width // blocks)
    if grouping is not None:
        grouping = positive_int("grouping", grouping)
        steps, width = [step % grouping for step in steps], min(width, grouping)
    if direction == "backward":
        steps = [width - 1 - step for step in steps]
    return steps, width


def phase_share(phase_span: float | None, phase_degrees: float | None, serial: float | None) -> float:
    """The share of the loop the chase spreads over: by default the whole
    loop, or none when a serial delay spreads the fixtures instead."""
    if phase_span is not None and phase_degrees is not None:
        raise ValueError("give phase_span or phase_degrees, not both")
    if phase_degrees is not None:
        return finite_number("phase_degrees", phase_degrees) / 360.0
    if phase_span is not None:
        return finite_number("phase_span", phase_span)
    return 0.0 if serial is not None else 1.0


class Group:
    """`count` voices of one motion spread over a group of fixtures.

    Voice options (phase, rate, size, ends, fades, base...) apply to every
    member; the spread options say how the members differ:
    `phase_span` (share of the loop, default 1) or `phase_degrees`;
    `direction` "forward" or "backward"; `wings` (parts of the line, every
    other one mirrored unless `mirror=False`); `blocks` (consecutive fixtures
    moving together); `grouping` (every g-th fixture moving together);
    `serial` (pips between one step's start and the next); `order` (each
    fixture's place in the line).
    """

    __slots__ = ("_voices", "_reading", "_start", "_step", "_shift", "_once_low", "_once_high", "_stop",
                 "_whole", "_all_whole", "_any_whole", "_whole_start", "_whole_step", "_whole_shift")

    def __init__(self, motion: Name | kinetrope.SampledPattern | kinetrope.PatternLibrary, count: int, *,
                 name: Name | None = None, phase_span: float | None = None, phase_degrees: float | None = None, direction: str = "forward", wings: int = 1,
                 mirror: bool = True, blocks: int = 1, grouping: int | None = None, serial: float | None = None,
                 order: Sequence[int] | None = None, **voice_options: Any) -> None:
        count = positive_int("count", count)
        share = phase_share(phase_span, phase_degrees, serial)
        delay = 0.0 if serial is None else finite_number("serial", serial)
        steps, width = chase_steps(count, order=order, wings=wings, mirror=mirror, blocks=blocks,
                                   grouping=grouping, direction=direction)
        lead = Voice(motion, name=name, **voice_options)
        phase, start, stop = lead.options.phase, lead.options.start, lead.options.stop
        self._voices = tuple(lead.replace(phase=phase + step * share / width, start=start + step * delay,
                                    stop=None if stop is None else stop + step * delay)
                             for step in steps)
        self._gather([voice.reading for voice in self._voices])

    def _gather(self, readings: list[Reading]) -> None:
        """The members' numbers as arrays; everything else they share."""
        first = readings[0]
        assert all(reading.placed is first.placed for reading in readings)
        self._reading = first

        def column(field: str) -> FloatArray:
            return np.array([getattr(reading, field) for reading in readings], dtype=np.float64)

        self._start, self._step, self._shift = column("start"), column("step"), column("shift")
        self._once_low, self._once_high = column("once_low"), column("once_high")
        self._stop = None if first.stop is None else column("stop")
        whole = [reading.whole_step for reading in readings]
        self._whole = np.array([step is not None for step in whole])
        self._all_whole, self._any_whole = bool(self._whole.all()), bool(self._whole.any())
        self._whole_step = np.array([step or 0 for step in whole], dtype=np.int64)
        self._whole_start = np.array([int(reading.start) if step is not None else 0
                                      for step, reading in zip(whole, readings)], dtype=np.int64)
        self._whole_shift = np.array([int(reading.shift) if step is not None else 0
                                      for step, reading in zip(whole, readings)], dtype=np.int64)

    @property
    def voices(self) -> list[Voice]:
        """The member voices, fixture by fixture (a new list: the group's own stays as made)."""
        return list(self._voices)

    def __len__(self) -> int:
        return len(self._voices)

    def __iter__(self) -> Iterator[Voice]:
        return iter(self._voices)

    def points(self, position: Pip) -> FloatArray:
        """Every member's point at `position` (pips, an int or a float), shape
        (count, 3): row i is voices[i].at(position), bit for bit."""
        pip = scalar_pip(position)
        reading, out = self._reading, np.empty((len(self._voices), 3), dtype=np.float64)
        if isinstance(pip, int) and self._all_whole:
            index = whole_indices(reading.period, pip, self._whole_start, self._whole_step, self._whole_shift)
            fill_points(reading, index, None, out)
            finish(reading, out, None, pip, self._start, self._stop)
            return out
        d = since_start(pip, self._start)
        u, huge = loop_position(reading, d, self._step, self._shift, self._once_low, self._once_high)
        index, t = split_position(reading, u, huge)
        fill_points(reading, index, t, out)
        if isinstance(pip, int) and self._any_whole:
            self._whole_members_at(pip, out)
        finish(reading, out, d, pip, self._start, self._stop)
        return out

    def _whole_members_at(self, pip: int, out: FloatArray) -> None:
        """Members whose steps keep whole pips whole answer an int pip in
        integers, as their own `at` does."""
        members = self._whole
        index = whole_indices(self._reading.period, pip, self._whole_start[members], self._whole_step[members],
                              self._whole_shift[members])
        part = np.empty((len(index), 3), dtype=np.float64)
        fill_points(self._reading, index, None, part)
        out[members] = part

    def __repr__(self) -> str:
        return f"Group({self._voices[0]!r}, {len(self._voices)})"
