"""A live clock: a fractional position in pips at any instant, a tempo that
changes without a jump, and phase corrections made by running a little
faster or slower for a while rather than by jumping."""

from __future__ import annotations

import math
import threading
import time
from collections.abc import Callable
from dataclasses import dataclass
from typing import SupportsFloat

from kinetrope_tools.tempo import PIPS_PER_BEAT, SECONDS_PER_MINUTE, _finite, seconds_per_pip

Now = Callable[[], float]

DEFAULT_MAX_SLEW = 0.05


def pips_per_second(bpm: float) -> float:
    return bpm * PIPS_PER_BEAT / SECONDS_PER_MINUTE


def bar_and_beat(position: float, beats_per_bar: int = 4) -> tuple[int, int]:
    """The bar and the beat in it that ``position`` falls in, both counted
    from 1 as a musician counts them: pip 0 starts bar 1, beat 1."""
    beat = math.floor(position / PIPS_PER_BEAT)
    bar, in_bar = divmod(beat, beats_per_bar)
    return bar + 1, in_bar + 1


@dataclass(frozen=True, slots=True)
class _Run:
    """The clock between two changes: from ``position`` at ``since`` it moves
    at ``rate`` pips a second, plus ``slew`` pips a second until ``slew_ends``
    seconds after ``since``, which makes up a correction of ``slew *
    slew_ends`` pips. Swapped whole, so a reader on another thread never sees
    half a change."""

    since: float
    position: float
    bpm: float
    running: bool
    slew: float = 0.0
    slew_ends: float = 0.0

    @property
    def rate(self) -> float:
        return pips_per_second(self.bpm) if self.running else 0.0

    def at(self, now: float) -> float:
        elapsed = now - self.since
        return self.position + self.rate * elapsed + self.slew * min(elapsed, self.slew_ends)

    def pending(self, now: float) -> float:
        """The part of the correction not yet made at ``now``."""
        return self.slew * max(self.slew_ends - max(now - self.since, 0.0), 0.0)


class LiveClock:
    """A position in pips, a float, at any instant of a monotonic clock.

    ``position(now)`` is where the clock is at ``now`` (seconds of ``time``,
    ``time.monotonic`` unless a test passes its own); it runs at ``bpm`` from
    ``start_pip`` when made (held there when ``running`` is False).

    ``set_bpm`` changes the tempo from now on, without a jump. ``correct``
    moves the clock towards where a sync source says it should be by running
    at most ``max_slew`` (a share of the tempo, 5% by default) faster or
    slower until the difference is made up, so the position never jumps and
    never runs backwards; ``seek`` jumps on purpose, for cues. ``stop`` holds
    the position, ``resume`` runs on from it, ``start`` runs from a pip (0 by
    default). Safe to read from one thread while another steers it.
    """

    def __init__(
        self,
        bpm: SupportsFloat = 120.0,
        *,
        start_pip: SupportsFloat = 0.0,
        running: bool = True,
        beats_per_bar: int = 4,
        max_slew: SupportsFloat = DEFAULT_MAX_SLEW,
        time: Now = time.monotonic,
    ) -> None:
        seconds_per_pip(bpm)
        slew = _finite(max_slew, "max_slew")
        if not 0.0 < slew < 1.0:
            raise ValueError(f"max_slew must be above 0 and below 1, not {slew!r}")
        if isinstance(beats_per_bar, bool) or not isinstance(beats_per_bar, int) or beats_per_bar < 1:
            raise ValueError(f"beats_per_bar must be a positive int, not {beats_per_bar!r}")
        self._time = time
        self._lock = threading.Lock()
        self.max_slew = slew
        self.beats_per_bar = beats_per_bar
        self._run = _Run(time(), _finite(start_pip, "start_pip"), float(bpm), bool(running))

    # Reading

    def now(self) -> float:
        return self._time()

    def position(self, now: float | None = None) -> float:
        """The position in pips at ``now`` (the current instant by default)."""
        run = self._run
        return run.at(self._time() if now is None else now)

    @property
    def bpm(self) -> float:
        return self._run.bpm

    @property
    def running(self) -> bool:
        return self._run.running

    def correcting(self, now: float | None = None) -> float:
        """The part of the last correction still to be made up, in pips."""
        return self._run.pending(self._time() if now is None else now)

    def bar_and_beat(self, now: float | None = None) -> tuple[int, int]:
        """The bar and beat (both from 1) the clock is in at ``now``."""
        return bar_and_beat(self.position(now), self.beats_per_bar)

    # Changing

    def _change(self, now: float | None, bpm: float | None = None, running: bool | None = None) -> None:
        """Starts a new run at ``now`` from the position the clock has then,
        at a new tempo or running again, keeping any correction pending."""
        t = self._time() if now is None else float(now)
        run = self._run
        start = _Run(t, run.at(t), run.bpm if bpm is None else bpm, run.running if running is None else running)
        self._run = self._slewing(start, run.pending(t))

    def _slewing(self, run: _Run, error: float) -> _Run:
        """``run`` making up ``error`` pips at the largest speed change allowed."""
        speed = self.max_slew * run.rate
        if error == 0.0 or speed == 0.0:
            return run
        slew = math.copysign(speed, error)
        return _Run(run.since, run.position, run.bpm, run.running, slew, error / slew)

    def set_bpm(self, bpm: SupportsFloat, now: float | None = None) -> None:
        """Runs on at ``bpm`` from the position at ``now``, without a jump."""
        seconds_per_pip(bpm)
        with self._lock:
            self._change(now, bpm=float(bpm))

    def seek(self, pip: SupportsFloat, now: float | None = None) -> None:
        """Jumps to ``pip`` at ``now`` and runs on from there (a cue)."""
        target = _finite(pip, "pip")
        with self._lock:
            t = self._time() if now is None else float(now)
            run = self._run
            self._run = _Run(t, target, run.bpm, run.running)

    def correct(self, target: SupportsFloat, now: float | None = None) -> float:
        """Steers towards ``target``, where the clock should be at ``now``:
        from then on it runs up to ``max_slew`` faster or slower until it has
        made up the difference, which it returns in pips. A held clock
        cannot slew and is left where it is."""
        goal = _finite(target, "target")
        with self._lock:
            t = self._time() if now is None else float(now)
            run = self._run
            start = _Run(t, run.at(t), run.bpm, run.running)
            error = goal - start.position
            self._run = self._slewing(start, error)
            return error

    def stop(self, now: float | None = None) -> None:
        """Holds the position reached at ``now``; a pending correction is dropped."""
        with self._lock:
            t = self._time() if now is None else float(now)
            run = self._run
            self._run = _Run(t, run.at(t), run.bpm, False)

    def resume(self, now: float | None = None) -> None:
        """Runs on from the held position (a no-op while running)."""
        with self._lock:
            if not self._run.running:
                self._change(now, running=True)

    def start(self, pip: SupportsFloat = 0.0, now: float | None = None) -> None:
        """Runs from ``pip`` (0 by default) at ``now``."""
        target = _finite(pip, "pip")
        with self._lock:
            t = self._time() if now is None else float(now)
            self._run = _Run(t, target, self._run.bpm, True)

    def __repr__(self) -> str:
        state = "running" if self.running else "held"
        return f"LiveClock({self.bpm!r}, {state} at {self.position():.3f})"
