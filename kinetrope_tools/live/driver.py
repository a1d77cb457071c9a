"""The frame driver: renders the clock's position into a frame at a fixed
rate and hands it to every output, on time.

Each frame has a slot (the driver's start plus a whole number of frame
periods). The driver sleeps until shortly before the slot and waits the rest
in short steps, so frames leave within a fraction of a millisecond of their
slot on an ordinary machine. A frame whose slot passed a whole period ago is
never rendered (dropped, and counted); one rendered after its slot is late
(counted when later than ``late_after``). A failed send is counted and
reported on stderr at most once a second; the show goes on. SIGINT and
SIGTERM end the run after a last frame: the rig's home positions unless
told otherwise.
"""

from __future__ import annotations

import math
import signal
import sys
import threading
import time
from collections.abc import Callable, Iterable, Mapping
from dataclasses import dataclass
from types import FrameType
from typing import Any, Protocol, SupportsFloat, TextIO

import numpy as np

from kinetrope_tools.live.clock import LiveClock
from kinetrope_tools.live.priority import realtime_priority, restore_priority
from kinetrope_tools.tempo import _finite

Frame = Mapping[int, bytes]
Home = Frame | Callable[[], Frame] | None

# How long before its slot a frame stops sleeping long: enough to cover the
# scheduler's lateness in waking a long sleeper. Then a short sleep takes it
# to within SPIN of the slot (a short sleep overshoots less), and it spins
# the rest.
SLEEP_MARGIN = 0.002
SPIN = 0.0001

# How many recent lateness figures the percentiles are taken over.
LATENESS_WINDOW = 4096
REPORT_EVERY = 1.0


class Output(Protocol):
    def send(self, frame: Frame) -> bool: ...


@dataclass(frozen=True)
class FrameStats:
    """Frames sent, late and dropped, failed sends, and the lateness of the
    recent frames after their slots (p50 and p99, in seconds)."""

    frames: int
    late: int
    dropped: int
    send_errors: int
    jitter_p50: float
    jitter_p99: float

    def __str__(self) -> str:
        return (
            f"{self.frames} frames, {self.late} late, {self.dropped} dropped, {self.send_errors} send errors, "
            f"lateness p50 {self.jitter_p50 * 1e3:.2f} ms p99 {self.jitter_p99 * 1e3:.2f} ms"
        )


def _positive(value: object, what: str) -> float:
    number = _finite(value, what)
    if number <= 0.0:
        raise ValueError(f"{what} must be positive, not {number!r}")
    return number


def home_of(render: Callable[[float], Frame]) -> Home:
    """The home frame of the rig whose ``frame`` method ``render`` is, if any."""
    owner = getattr(render, "__self__", None)
    home = getattr(owner, "home_frame", None)
    return home if callable(home) else None


class FrameDriver:
    """Calls ``render(position)`` ``fps`` times a second with the clock's
    position at that instant and sends the frame to every output.

    ``home`` is the last frame sent when the run ends: a frame, a function
    returning one, or None for the home frame of the rig ``render`` belongs
    to (``rig.frame``), if it has one; False sends no last frame.
    ``on_frame(position)`` is called after each frame (a status line, say).
    ``realtime`` asks the system to run the driver's thread at a real-time
    priority while it runs, so other work cannot hold frames up (where the
    system allows it: root or CAP_SYS_NICE; otherwise it runs as it is).
    ``time`` and ``sleep`` are the clock and the wait it uses (a test may
    pass its own).
    """

    def __init__(
        self,
        fps: SupportsFloat,
        render: Callable[[float], Frame],
        outputs: Iterable[Output],
        clock: LiveClock,
        *,
        home: Home | bool = None,
        late_after: SupportsFloat = 0.002,
        on_frame: Callable[[float], None] | None = None,
        errors: TextIO | None = None,
        realtime: bool = False,
        time: Callable[[], float] = time.monotonic,
        sleep: Callable[[float], None] = time.sleep,
    ) -> None:
        self.fps = _positive(fps, "fps")
        self.period = 1.0 / self.fps
        self.render = render
        self.outputs = list(outputs)
        self.clock = clock
        self.home: Home = None if home is False else (home_of(render) if home is None or home is True else home)
        self.late_after = _finite(late_after, "late_after")
        self.on_frame = on_frame
        self.realtime = realtime
        self._errors = errors
        self._time = time
        self._sleep = sleep
        self._stopping = threading.Event()
        self.frames = self.late = self.dropped = self.send_errors = 0
        self.last_lateness = 0.0  # how long after its slot the last frame started, in seconds
        self._lateness = np.zeros(LATENESS_WINDOW)
        self._failures: dict[int, int] = {}
        self._reported = -math.inf

    # Control

    def stop(self) -> None:
        """Ends the run after the frame in progress (from any thread)."""
        self._stopping.set()

    @property
    def stopping(self) -> bool:
        return self._stopping.is_set()

    def stats(self) -> FrameStats:
        recent = self._lateness[: min(self.frames, LATENESS_WINDOW)]
        p50, p99 = np.percentile(recent, (50, 99)).tolist() if recent.size else (0.0, 0.0)
        return FrameStats(self.frames, self.late, self.dropped, self.send_errors, p50, p99)

    # Running

    def run(self, seconds: SupportsFloat | None = None, frames: int | None = None) -> FrameStats:
        """Runs until stopped (SIGINT, SIGTERM or ``stop()``), or for
        ``seconds`` or ``frames`` if given; then sends the last frame and
        returns the statistics."""
        until = math.inf if seconds is None else _finite(seconds, "seconds")
        count = math.inf if frames is None else frames
        previous = self._catch_signals()
        scheduling = realtime_priority() if self.realtime else None
        try:
            self._loop(until, count)
        finally:
            try:
                self._send_last_frame()
            finally:
                restore_priority(scheduling)
                self._restore_signals(previous)
        return self.stats()

    def _loop(self, seconds: float, count: float) -> None:
        start = self._time()
        slot = 0
        sent = 0
        while sent < count and not self._stopping.is_set():
            due = start + slot * self.period
            if due - start >= seconds:
                break
            now = self._wait_until(due)
            if self._stopping.is_set():
                break
            behind = now - due
            if behind >= self.period:
                missed = math.floor(behind / self.period)
                self.dropped += missed
                slot += missed
                continue
            self._frame(now, behind)
            sent += 1
            slot += 1

    def _wait_until(self, due: float) -> float:
        """Sleeps until just before ``due``, then briefly again, and spins
        the last instant; returns the instant it woke."""
        now = self._time()
        if due - now > SLEEP_MARGIN:
            self._sleep(due - now - SLEEP_MARGIN)
            now = self._time()
        while now < due and not self._stopping.is_set():
            if due - now > SPIN:
                self._sleep(due - now - SPIN)
            now = self._time()
        return now

    def _frame(self, now: float, behind: float) -> None:
        position = self.clock.position(now)
        frame = self.render(position)
        self._send(frame)
        self._lateness[self.frames % LATENESS_WINDOW] = behind
        self.last_lateness = behind
        self.frames += 1
        if behind > self.late_after:
            self.late += 1
        if self.on_frame is not None:
            self.on_frame(position)

    def _send(self, frame: Frame) -> None:
        for index, output in enumerate(self.outputs):
            try:
                ok = output.send(frame)
            except OSError:
                ok = False
            if not ok:
                self.send_errors += 1
                self._failures[index] = self._failures.get(index, 0) + 1
        if self._failures:
            self._report_failures()

    def _report_failures(self) -> None:
        now = self._time()
        if now - self._reported < REPORT_EVERY:
            return
        stream = self._errors if self._errors is not None else sys.stderr
        for index, count in self._failures.items():
            output = self.outputs[index]
            reason = getattr(output, "last_error", None)
            because = f": {reason}" if reason is not None else ""
            times = "once" if count == 1 else f"{count} times"
            print(f"kinetrope: sending to {_label(output)} failed {times}{because}", file=stream, flush=True)
        self._failures.clear()
        self._reported = now

    def _send_last_frame(self) -> None:
        if self.home is None:
            return
        frame = self.home() if callable(self.home) else self.home
        self._send(frame)

    # Signals

    def _catch_signals(self) -> dict[signal.Signals, Any] | None:
        """Makes SIGINT and SIGTERM stop the run (on the main thread, where
        Python can take signals). SIGINT stops it even where the process
        inherited it ignored, as a background job does."""
        if threading.current_thread() is not threading.main_thread():
            return None
        previous: dict[signal.Signals, Any] = {}
        for number in (signal.SIGINT, signal.SIGTERM):
            previous[number] = signal.signal(number, self._on_signal)
        return previous

    def _on_signal(self, number: int, frame: FrameType | None) -> None:
        self.stop()

    @staticmethod
    def _restore_signals(previous: dict[signal.Signals, Any] | None) -> None:
        for number, handler in (previous or {}).items():
            signal.signal(number, handler if handler is not None else signal.SIG_DFL)


def _label(output: object) -> str:
    name = getattr(output, "name", None)
    return str(name) if name else type(output).__name__

