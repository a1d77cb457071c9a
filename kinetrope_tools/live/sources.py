"""What sets a live clock's tempo and phase: an internal tempo, tap tempo,
and (in their own modules, behind extras) Ableton Link and MIDI beat clock.

Every source has a ``name`` for status lines and an ``offset``: how far, in
pips, the clock was from the source the last time the source looked (what
the clock still has to make up by slewing, or 0.0 when there is nothing to
follow). Sources that hold a connection or a thread join with ``open()`` or
on entering a ``with`` block and leave with ``close()``.
"""

from __future__ import annotations

import math
import statistics
import threading
from collections import deque
from types import TracebackType
from collections.abc import Callable
from typing import SupportsFloat

from kinetrope_tools.live.clock import LiveClock
from kinetrope_tools.tempo import PIPS_PER_BEAT, SECONDS_PER_MINUTE, _finite, seconds_per_pip

# A difference between a source and the clock larger than this (a 32nd note)
# is not drift to slew away but a different place (a session joined or
# re-formed, a song relocated): the clock jumps there. Following a tempo
# change never puts the clock this far off.
DEFAULT_JUMP_BEYOND = PIPS_PER_BEAT / 8


def nearest(position: float, target: float, period: float) -> float:
    """``target`` moved by whole ``period``s to lie nearest ``position``."""
    return target + period * round((position - target) / period)


class Source:
    """The shared shape of a clock source: a name, an offset, open and close."""

    name = "source"

    def __init__(self, clock: LiveClock) -> None:
        self.clock = clock
        self.offset = 0.0

    def open(self) -> Source:
        return self

    def close(self) -> None:
        """Stops following; the clock runs on at its last tempo."""

    def __enter__(self) -> Source:
        return self.open()

    def __exit__(
        self, kind: type[BaseException] | None, error: BaseException | None, trace: TracebackType | None
    ) -> None:
        self.close()

    def steer(self, target: float, now: float, jump_beyond: float) -> None:
        """Moves the clock towards ``target`` (its position at ``now``): a
        slewed correction, or a jump where the two have moved further apart
        than ``jump_beyond`` pips since the last correction (what the clock
        is still making up is no surprise). Records the difference as the
        offset."""
        error = target - self.clock.position(now)
        self.offset = error
        if abs(error - self.clock.correcting(now)) > jump_beyond:
            self.clock.seek(target, now)
        else:
            self.clock.correct(target, now)

    def __repr__(self) -> str:
        return f"<{type(self).__name__} {self.name!r} offset {self.offset:+.3f} pips>"


class ListeningSource(Source):
    """A source that follows its master from a thread of its own, which
    runs until ``_leaving`` is set."""

    def __init__(self, clock: LiveClock) -> None:
        super().__init__(clock)
        self._thread: threading.Thread | None = None
        self._leaving = threading.Event()

    def _listen_in_thread(self, listen: Callable[[], None], name: str) -> None:
        self._leaving.clear()
        self._thread = threading.Thread(target=listen, name=name, daemon=True)
        self._thread.start()

    def _stop_listening(self) -> None:
        if self._thread is not None:
            self._leaving.set()
            self._thread.join()
            self._thread = None


class InternalSource(Source):
    """The clock's own tempo, set by hand: nothing to follow."""

    name = "internal"

    def __init__(self, clock: LiveClock, bpm: SupportsFloat | None = None) -> None:
        super().__init__(clock)
        if bpm is not None:
            clock.set_bpm(bpm)

    def set_bpm(self, bpm: SupportsFloat) -> None:
        self.clock.set_bpm(bpm)


class TapTempo(Source):
    """Tempo from taps on the beat: the median gap of the last ``taps`` taps
    sets the tempo, and each tap pulls the nearest beat towards itself (by
    slewing, however far it is: a tap is a gesture, and the show should
    glide, not jump). A pause longer than ``pause`` seconds starts counting
    afresh, so one late tap never drags the tempo."""

    name = "tap"

    def __init__(self, clock: LiveClock, *, taps: int = 8, pause: SupportsFloat = 2.0) -> None:
        super().__init__(clock)
        if isinstance(taps, bool) or not isinstance(taps, int) or taps < 2:
            raise ValueError(f"taps must be an int of at least 2, not {taps!r}")
        gap = _finite(pause, "pause")
        if gap <= 0.0:
            raise ValueError(f"pause must be positive, not {gap!r}")
        self.pause = gap
        self._taps: deque[float] = deque(maxlen=taps)

    @property
    def bpm(self) -> float | None:
        """The tempo the taps so far give, or None before the second tap."""
        if len(self._taps) < 2:
            return None
        taps = list(self._taps)
        gap = statistics.median(b - a for a, b in zip(taps, taps[1:]))
        return SECONDS_PER_MINUTE / gap if gap > 0.0 else None

    def tap(self, now: float | None = None) -> float | None:
        """Takes a tap at ``now``; returns the tempo it gives (None while
        there is none yet). The clock follows from the second tap on."""
        t = self.clock.now() if now is None else float(now)
        if self._taps and not 0.0 < t - self._taps[-1] <= self.pause:
            self._taps.clear()
        self._taps.append(t)
        bpm = self.bpm
        if bpm is None:
            return None
        try:
            seconds_per_pip(bpm)
        except ValueError:
            return None
        self.clock.set_bpm(bpm, t)
        here = self.clock.position(t)
        self.steer(nearest(here, 0.0, PIPS_PER_BEAT), t, math.inf)
        return bpm
