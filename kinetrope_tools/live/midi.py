"""Following MIDI beat clock (extra ``midi``, through ``mido``).

A MIDI clock sends 24 ticks a beat, and Start, Stop, Continue and Song
Position to move the transport. The ticks arrive with the jitter of the
cable, the driver and the scheduler, so the source fits a line through the
recent ticks (their arrival instants against their count): its slope is the
tempo, and the clock is steered, by slewing, towards where the line says
the music is. A tempo change shows as ticks arriving persistently early or
late against the line; the fit then starts again from the last few ticks.
"""

from __future__ import annotations

import math
import select
import time
from collections import deque
from typing import Any

from kinetrope_tools._extras import require

require("mido", "mido", "midi", "kinetrope_tools.live.MidiClockSource")

import mido  # type: ignore[import-untyped, unused-ignore]  # noqa: E402

from kinetrope_tools.live.clock import LiveClock  # noqa: E402
from kinetrope_tools.live.priority import realtime_priority  # noqa: E402
from kinetrope_tools.live.sources import DEFAULT_JUMP_BEYOND, ListeningSource  # noqa: E402
from kinetrope_tools.tempo import PIPS_PER_BEAT, _finite, seconds_per_pip  # noqa: E402

TICKS_PER_BEAT = 24
PIPS_PER_TICK = PIPS_PER_BEAT / TICKS_PER_BEAT
# Song Position counts 16th notes: six ticks each.
PIPS_PER_SIXTEENTH = 6 * PIPS_PER_TICK
# Ticks this far off the line, on the same side this many times running and
# each further off by this much more than the last, mean the tempo has
# changed (by 4% or more; smaller changes the line follows as it moves on).
# A busy scheduler makes ticks late too, but seldom later and later so
# steadily.
OFF_THE_LINE = 0.0015
OFF_TIMES = 3
GROWTH = 0.0008
# Ticks kept after a tempo change: those that showed it, and the one before.
KEPT_ON_CHANGE = OFF_TIMES + 1
# Ticks further apart than this (under 5 BPM) are not one clock running:
# the line starts again.
LONGEST_TICK = 0.5
# How often a port is looked at for new messages when it cannot be waited
# on; and the longest wait on one that can (so closing is prompt).
LOOK_EVERY = 0.0005
LONGEST_WAIT = 0.05


class TickLine:
    """A line through the arrival instants of recent ticks against their
    count, t = start + interval * n. A tick can only arrive late (held up in
    a queue, or by a busy scheduler), never early, so the line is fitted
    (least squares) through the earlier half of the ticks and set through
    the earliest: those nearest to when the ticks were sent."""

    def __init__(self, window: int) -> None:
        self.ticks: deque[tuple[int, float]] = deque(maxlen=window)
        self.start = self.interval = math.nan
        self._clear_watch()

    def _clear_watch(self) -> None:
        self._watch: tuple[float, float] | None = None
        self._miss = 0.0
        self._off = 0

    def clear(self) -> None:
        self.ticks.clear()
        self.start = self.interval = math.nan
        self._clear_watch()

    @property
    def ready(self) -> bool:
        return not math.isnan(self.interval)

    def at(self, n: float) -> float:
        return self.start + self.interval * n

    def add(self, n: int, t: float) -> None:
        """Adds tick ``n`` that arrived at ``t``. Ticks further and further
        off the line on one side, measured against the line as it was when
        the first of them came, mean a new tempo: the line starts again from
        the newest (a stall makes ticks late too, but then each queued tick
        is less late than the one before)."""
        if self.ticks and t - self.ticks[-1][1] > LONGEST_TICK:
            self.clear()
        if self.ready:
            self._watch_for_change(n, t)
        self.ticks.append((n, t))
        self._fit()

    def _watch_for_change(self, n: int, t: float) -> None:
        start, interval = self._watch or (self.start, self.interval)
        miss = t - (start + interval * n)
        growing = miss * self._miss > 0.0 and abs(miss) >= abs(self._miss) + GROWTH
        if abs(miss) <= OFF_THE_LINE or (self._off and not growing):
            self._clear_watch()
            if abs(miss) <= OFF_THE_LINE:
                return
        if not self._off:
            self._watch = (self.start, self.interval)
        self._off += 1
        self._miss = miss
        if self._off >= OFF_TIMES:
            kept = list(self.ticks)[-(KEPT_ON_CHANGE - 1) :]
            self.ticks.clear()
            self.ticks.extend(kept)
            self._clear_watch()

    def _fit(self) -> None:
        if len(self.ticks) < 2:
            return
        n0, t0 = self.ticks[-1]
        points = [(n - n0, t - t0) for n, t in self.ticks]
        slope = _slope(points)
        if len(points) >= 8 and slope > 0.0:
            residuals = sorted(t - slope * n for n, t in points)
            middle = residuals[len(residuals) // 2]
            slope = _slope([(n, t) for n, t in points if t - slope * n <= middle])
        if not slope > 0.0:
            return
        self.interval = slope
        self.start = t0 + min(t - slope * n for n, t in points) - slope * n0


def _slope(points: list[tuple[int, float]]) -> float:
    count = len(points)
    mean_n = sum(n for n, _ in points) / count
    mean_t = sum(t for _, t in points) / count
    spread = sum((n - mean_n) ** 2 for n, _ in points)
    if spread == 0.0:
        return math.nan
    return sum((n - mean_n) * (t - mean_t) for n, t in points) / spread


class MidiClockSource(ListeningSource):
    """The clock follows the MIDI beat clock arriving on ``port``: a mido
    input port, the name of one, or None for the default input. A port
    given open stays open on ``close()``; one opened by name is closed.

    Start holds the clock at pip 0 and the first tick after it sets it
    running; Stop holds it; Continue runs on from where it stopped (or from
    the last Song Position) at the next tick. ``window`` is how many recent
    ticks the tempo is taken from (96, four beats, by default).
    ``realtime`` runs the reader at a real-time priority where the system
    allows it, so a busy machine does not make ticks seem late.
    """

    name = "midi"

    def __init__(
        self,
        clock: LiveClock,
        port: Any = None,
        *,
        window: int = 4 * TICKS_PER_BEAT,
        jump_beyond: float = DEFAULT_JUMP_BEYOND,
        realtime: bool = False,
    ) -> None:
        super().__init__(clock)
        if isinstance(window, bool) or not isinstance(window, int) or window < KEPT_ON_CHANGE:
            raise ValueError(f"window must be an int of at least {KEPT_ON_CHANGE}, not {window!r}")
        self.jump_beyond = _finite(jump_beyond, "jump_beyond")
        self.realtime = realtime
        self._port = port
        self._owns_port = port is None or isinstance(port, str)
        self.line = TickLine(window)
        self.playing = False
        self._waiting = False
        self._next = 0.0
        self._count = 0

    @property
    def bpm(self) -> float | None:
        """The tempo the ticks give, or None before there are two."""
        if not self.line.ready:
            return None
        return 60.0 / (self.line.interval * TICKS_PER_BEAT)

    def open(self) -> MidiClockSource:
        if self._thread is None:
            if self._owns_port and not hasattr(self._port, "poll"):
                self._port = mido.open_input(self._port)
            self._listen_in_thread(self._listen, "kinetrope-midi-clock")
        return self

    def close(self) -> None:
        self._stop_listening()
        if self._owns_port and hasattr(self._port, "close"):
            self._port.close()

    def _listen(self) -> None:
        if self.realtime:
            realtime_priority()  # for this thread alone, which ends with the source
        port = self._port
        while not self._leaving.is_set():
            try:
                message = port.poll()
            except OSError:  # the connection broke: as good as closed
                break
            if message is not None:
                self.handle(message, self.clock.now())
            elif getattr(port, "closed", False):  # the master went away; the clock runs on
                break
            else:
                _wait_for_input(port)

    def handle(self, message: mido.Message, now: float) -> None:
        """Acts on one message that arrived at ``now``."""
        kind = message.type
        if kind == "clock":
            self._tick(now)
        elif kind == "start":
            self._next = 0.0
            self._play(now)
            self.clock.seek(0.0, now)
        elif kind == "continue":
            self._play(now)
        elif kind == "stop":
            self.playing = self._waiting = False
            self.clock.stop(now)
        elif kind == "songpos" and not self.playing:
            self._next = message.pos * PIPS_PER_SIXTEENTH
            self.clock.seek(self._next, now)

    def _play(self, now: float) -> None:
        """Holds the clock until the first tick, which starts it."""
        self.playing = self._waiting = True
        self.clock.stop(now)

    def _tick(self, now: float) -> None:
        self._count += 1
        self.line.add(self._count, now)
        bpm = self.bpm
        if bpm is not None and math.isfinite(bpm) and _usable(bpm):
            self.clock.set_bpm(bpm, now)
        if not self.playing:
            return
        here = self._next
        self._next += PIPS_PER_TICK
        if self._waiting:
            self._waiting = False
            self.clock.start(here, now)
            return
        if self.line.ready:
            since = (now - self.line.at(self._count)) / self.line.interval
            self.steer(here + since * PIPS_PER_TICK, now, self.jump_beyond)


def _usable(bpm: float) -> bool:
    try:
        seconds_per_pip(bpm)
    except ValueError:
        return False
    return True


def _sockets_of(port: Any) -> list[Any]:
    """The sockets a mido socket port (a connection, or a server with its
    connections) reads from, so the reader can sleep until one has data:
    the instant a tick is read is then the instant it came in."""
    sockets = [getattr(connection, "_socket", None) for connection in getattr(port, "ports", ())]
    sockets.append(getattr(port, "_socket", None))
    return [s for s in sockets if s is not None and callable(getattr(s, "fileno", None))]


def _wait_for_input(port: Any) -> None:
    """Waits until ``port`` may have a message: on its sockets where it has
    any, otherwise a short sleep before looking again."""
    sockets = _sockets_of(port)
    if not sockets:
        time.sleep(LOOK_EVERY)
        return
    try:
        select.select(sockets, [], [], LONGEST_WAIT)
    except (OSError, ValueError):  # closed under us: look again shortly
        time.sleep(LOOK_EVERY)
