"""Playing a built show: the clock and the source it follows, the frame
driver, taps from the keyboard, and the status line."""

from __future__ import annotations

import contextlib
import os
import select
import sys
import threading
from collections.abc import Callable, Iterator, Sequence
from typing import Any, TextIO

from kinetrope_tools.show.build import Show
from kinetrope_tools.show.schema import ClockSpec, ShowFileError

TAP_KEYS = b" \nt"
STATUS_EVERY = 0.25  # seconds between status updates


@contextlib.contextmanager
def clock_and_source(spec: ClockSpec) -> Iterator[tuple[Any, Any]]:
    """The live clock and the source steering it, open and following until
    the block ends; a source that cannot start (its library missing, no
    such MIDI input) is a ShowFileError at the key that chose it."""
    from kinetrope_tools.live import InternalSource, LiveClock, Source, TapTempo

    # A MIDI clock's show waits for the master's Start.
    clock = LiveClock(spec.bpm, beats_per_bar=spec.beats_per_bar, running=spec.source != "midi")
    source: Source
    with contextlib.ExitStack() as stack:
        try:
            if spec.source == "tap":
                source = TapTempo(clock)
            elif spec.source == "link":
                from kinetrope_tools.live import LinkSource

                source = LinkSource(clock, quantum=spec.quantum)
            elif spec.source == "midi":
                source = midi_source(clock, spec, stack)
            else:
                source = InternalSource(clock)
            stack.enter_context(source)
        except (ImportError, OSError, ValueError) as error:
            raise source_error(spec, error) from None
        yield clock, source


def midi_source(clock: Any, spec: ClockSpec, stack: contextlib.ExitStack) -> Any:
    """A MIDI clock source on the named input, or on a mido socket port
    (``socket = "HOST:PORT"``), which is closed with the show."""
    from kinetrope_tools.live import MidiClockSource

    if spec.socket is None:
        return MidiClockSource(clock, spec.port)
    import mido.sockets  # type: ignore[import-untyped]

    host, port = spec.socket
    return MidiClockSource(clock, stack.enter_context(mido.sockets.connect(host, port)))


def source_error(spec: ClockSpec, error: BaseException) -> ShowFileError:
    missing_extra = isinstance(error, ImportError) and error.name in ("aalink", "mido")
    if spec.source != "midi" or missing_extra:
        return ShowFileError(("clock", "source"), str(error))
    if spec.socket is not None:
        return ShowFileError(("clock", "socket"), f"cannot connect to the MIDI socket {spec.socket_text}: {error}")
    return ShowFileError(("clock", "port"), f"cannot open the MIDI input {spec.port!r}: {error}")


@contextlib.contextmanager
def taps_from(stream: TextIO, tap: Callable[[], object]) -> Iterator[None]:
    """Taps the tempo on every space, Enter or 't' read from ``stream``
    (keys one by one when it is a terminal), on a thread of its own."""
    try:
        descriptor = stream.fileno()
    except (AttributeError, OSError, ValueError):
        yield
        return
    done = threading.Event()
    restore: Callable[[], None] = lambda: None
    if os.isatty(descriptor):
        import termios
        import tty

        saved = termios.tcgetattr(descriptor)
        tty.setcbreak(descriptor)
        restore = lambda: termios.tcsetattr(descriptor, termios.TCSADRAIN, saved)  # noqa: E731

    def read() -> None:
        while not done.is_set():
            ready, _, _ = select.select([descriptor], [], [], 0.1)
            if not ready:
                continue
            data = os.read(descriptor, 64)
            if not data:
                return
            for key in data:
                if key in TAP_KEYS:
                    tap()

    reader = threading.Thread(target=read, name="tap keys", daemon=True)
    reader.start()
    try:
        yield
    finally:
        done.set()
        reader.join(0.5)
        restore()


def status_info(clock: Any, source: Any, driver: Any, position: float) -> dict[str, Any]:
    from kinetrope_tools.live import bar_and_beat

    stats = driver.stats()
    bar, beat = bar_and_beat(position, clock.beats_per_bar)
    return {"bpm": clock.bpm, "bar": bar, "beat": beat, "position": position, "source": source.name,
            "peers": getattr(source, "peers", None), "offset": float(source.offset), "frames": stats.frames,
            "late": stats.late,
            "dropped": stats.dropped, "jitter_p50": stats.jitter_p50, "jitter_p99": stats.jitter_p99,
            "send_errors": stats.send_errors}


def status_text(info: dict[str, Any]) -> str:
    """``128.0 BPM  bar 3 beat 2  link offset +0.012 pip  1234 frames ...``"""
    peers = f" ({info['peers']} peers)" if info.get("peers") is not None else ""
    return (f"{info['bpm']:6.1f} BPM  bar {info['bar']:>4} beat {info['beat']}  "
            f"{info['source']}{peers} offset {info['offset']:+.3f} pip  "
            f"{info['frames']} frames, {info['late']} late, {info['dropped']} dropped, "
            f"lateness p50 {info['jitter_p50'] * 1e3:.2f} ms p99 {info['jitter_p99'] * 1e3:.2f} ms  "
            f"send errors {info['send_errors']}")


class StatusLine:
    """Calls ``show(info)`` for the status a few times a second, from the
    frame driver's ``on_frame``."""

    def __init__(self, clock: Any, source: Any, listeners: Sequence[Callable[[dict[str, Any]], object]]) -> None:
        self.clock, self.source, self.listeners = clock, source, list(listeners)
        self.driver: Any = None
        self.every = 1
        self.count = 0

    def attach(self, driver: Any) -> None:
        self.driver = driver
        self.every = max(1, round(driver.fps * STATUS_EVERY))

    def __call__(self, position: float) -> None:
        self.count += 1
        if self.count % self.every or self.driver is None or not self.listeners:
            return
        info = status_info(self.clock, self.source, self.driver, position)
        for listener in self.listeners:
            listener(info)


@contextlib.contextmanager
def terminal_status(stream: TextIO) -> Iterator[Callable[[dict[str, Any]], object] | None]:
    """A one-line live status on ``stream`` through rich when it is a
    terminal and rich is installed (the 'show' extra); else nothing."""
    if not stream.isatty():
        yield None
        return
    try:
        from rich.console import Console
        from rich.live import Live
        from rich.text import Text
    except ImportError:
        print("kinetrope: the status line needs rich, which the 'show' extra installs", file=stream)
        yield None
        return
    console = Console(file=stream)
    with Live(Text(""), console=console, auto_refresh=False, transient=False,
              redirect_stdout=False, redirect_stderr=stream is sys.stderr) as live:
        yield lambda info: live.update(Text(status_text(info), no_wrap=True, overflow="ellipsis"), refresh=True)


def play(show: Show, clock: Any, source: Any, outputs: Sequence[Any], seconds: float | None, *,
         stream: TextIO = sys.stderr, keys: TextIO = sys.stdin) -> Any:
    """Runs the show until stopped (or for ``seconds``); the frame statistics."""
    from kinetrope_tools.live import FrameDriver

    with terminal_status(stream) as show_status, contextlib.ExitStack() as stack:
        listeners = [show_status] if show_status is not None else []
        listeners += [output.status for output in outputs if callable(getattr(output, "status", None))]
        status = StatusLine(clock, source, listeners)
        driver = FrameDriver(show.spec.fps, show.frame, outputs, clock, home=show.home_frame,
                             on_frame=status, errors=stream)
        status.attach(driver)
        if show.spec.clock.source == "tap":
            stack.enter_context(taps_from(keys, source.tap))
        return driver.run(seconds)
