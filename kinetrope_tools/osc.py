"""Drive a show over OSC: kinetrope motions sent live from a beat clock.

    python -m kinetrope_tools.osc bounce circle --bpm 128 --to 127.0.0.1:9000

Every frame, one message per motion goes to ``<prefix>/<motion>`` with the
arguments (pip as int32, x, y, z as float32): the pip the clock is at and
the motion's position there. Frames keep a steady rate; a frame that is due
while the previous one is still being sent is dropped rather than sent late.
Without --frames or --seconds it runs until stopped (Ctrl-C or SIGTERM), or
until the clock passes the last 32-bit pip (half a year at 120 bpm).

A send that fails (a cable pulled, a receiver restarted) does not stop the
show: failures are counted, reported on stderr at most once a second, and
the next frame goes out as usual.
"""

from __future__ import annotations

import argparse
import math
import signal
import socket
import sys
import time
from collections.abc import Callable, Iterator, Sequence
from contextlib import contextmanager
from dataclasses import dataclass, field
from types import FrameType
from typing import Protocol

from kinetrope_tools._extras import require

require("pythonosc", "python-osc", "osc", "kinetrope_tools.osc")

import kinetrope  # noqa: E402
from pythonosc.osc_message import OscMessage  # noqa: E402
from pythonosc.osc_message_builder import OscMessageBuilder  # noqa: E402

from kinetrope_tools._command_line import OneLineParser, plural, positive_int, positive_number  # noqa: E402
from kinetrope_tools._loop import builtin_entries, builtin_names, unknown_name  # noqa: E402
from kinetrope_tools._pips import FIRST_PIP, LAST_PIP  # noqa: E402
from kinetrope_tools.tempo import BeatClock, seconds_per_pip  # noqa: E402

DEFAULT_TARGET = "127.0.0.1:9000"
NANOSECONDS = 10**9


def parse_target(text: str) -> tuple[str, int]:
    """HOST:PORT (an IPv6 host in brackets: [::1]:9000)."""
    host, separator, port = text.rpartition(":")
    if not separator or not host or not port.isdigit() or not 0 < int(port) < 65536:
        raise argparse.ArgumentTypeError(f"not HOST:PORT: {text!r}")
    return host.removeprefix("[").removesuffix("]"), int(port)


def tempo(text: str) -> float:
    """A bpm at which a pip lasts a usable time."""
    bpm = positive_number()(text)
    try:
        seconds_per_pip(bpm)
    except ValueError:
        raise argparse.ArgumentTypeError(f"outside the usable tempo range: {text!r}") from None
    return bpm


# The longest wait between frames the nanosecond clock can count.
LONGEST_FRAME_NS = 2**62


def frame_rate(text: str) -> float:
    """Frames a second, slow or fast, as long as a frame's time can be counted
    in nanoseconds."""
    fps = positive_number()(text)
    if NANOSECONDS / fps >= LONGEST_FRAME_NS:
        raise argparse.ArgumentTypeError(f"too slow to count in nanoseconds: {text!r}")
    return fps


def parser() -> argparse.ArgumentParser:
    command = OneLineParser(
        prog="python -m kinetrope_tools.osc", description=(__doc__ or "").splitlines()[0]
    )
    command.add_argument("motions", nargs="+", metavar="MOTION", help="built-in motion names")
    command.add_argument("--bpm", type=tempo, default=120.0, help="tempo (default 120)")
    command.add_argument("--fps", type=frame_rate, default=60.0, help="frames a second (default 60)")
    command.add_argument("--to", type=parse_target, default=parse_target(DEFAULT_TARGET), metavar="HOST:PORT",
                         help=f"where to send (default {DEFAULT_TARGET})")
    command.add_argument("--prefix", default="/kinetrope", help="address prefix (default /kinetrope)")
    length = command.add_mutually_exclusive_group()
    length.add_argument("--frames", type=positive_int, help="stop after this many frames")
    length.add_argument("--seconds", type=positive_number(), help="stop after this many seconds")
    return command


def motion_message(address: str, pip: int, offset: kinetrope.Offset3) -> OscMessage:
    builder = OscMessageBuilder(address)
    builder.add_arg(pip, OscMessageBuilder.ARG_TYPE_INT)
    for value in offset.as_tuple():
        builder.add_arg(value, OscMessageBuilder.ARG_TYPE_FLOAT)
    return builder.build()


class Client(Protocol):
    def send(self, message: OscMessage) -> None: ...


class Sender:
    """A UDP socket connected to the receiver: the address is resolved and
    its route found once, before the show, and the system reports a
    receiver that is gone as an error on a later send."""

    def __init__(self, host: str, port: int) -> None:
        family, kind, protocol, _, address = socket.getaddrinfo(host, port, type=socket.SOCK_DGRAM)[0]
        self.socket = socket.socket(family, kind, protocol)
        try:
            self.socket.connect(address)
        except OSError:
            self.socket.close()
            raise

    def send(self, message: OscMessage) -> None:
        self.socket.send(message.dgram)

    def close(self) -> None:
        self.socket.close()


@dataclass
class SendErrors:
    """Failed sends: all counted, told on stderr at most once a second."""

    total: int = 0
    unreported: int = 0
    last: str = ""
    reported_ns: int | None = None
    lines: list[str] = field(default_factory=list)

    def note(self, error: OSError) -> None:
        self.total += 1
        self.unreported += 1
        self.last = error.strerror or str(error)

    def report(self, now_ns: int) -> None:
        if not self.unreported or (self.reported_ns is not None and now_ns - self.reported_ns < NANOSECONDS):
            return
        line = f"kinetrope osc: {plural(self.unreported, 'send')} failed ({self.last}); the show goes on"
        self.lines.append(line)
        print(line, file=sys.stderr, flush=True)
        self.unreported, self.reported_ns = 0, now_ns


@dataclass(frozen=True)
class Show:
    """What to send, and for how long: ``frames`` or ``seconds``, or
    neither for a run that goes on until stopped."""

    motions: Sequence[str]
    prefix: str
    fps: float
    frames: int | None = None
    seconds: float | None = None

    def send_frame(self, client: Client, pip: int, errors: SendErrors) -> None:
        """Every motion's message; one that fails is counted and the rest go."""
        for motion in self.motions:
            try:
                client.send(motion_message(f"{self.prefix}/{motion}", pip, kinetrope.sample(motion, pip)))
            except OSError as error:
                errors.note(error)

    def due_ns(self, frame: int) -> int:
        return round(frame * NANOSECONDS / self.fps)

    def over(self, sent: int, next_due_ns: int) -> bool:
        if self.frames is not None:
            return sent >= self.frames
        if self.seconds is not None:
            return next_due_ns >= self.seconds * NANOSECONDS
        return False


def run(
    show: Show,
    client: Client,
    clock: BeatClock,
    time_ns: Callable[[], int] = time.monotonic_ns,
    sleep: Callable[[float], object] = time.sleep,
    errors: SendErrors | None = None,
) -> int:
    """Sends frames until the show is over or stopped; returns the number
    sent. Failed sends are counted in ``errors``."""
    errors = SendErrors() if errors is None else errors
    start = time_ns()
    sent, frame = 0, 0
    try:
        while not show.over(sent, show.due_ns(frame)):
            wait = start + show.due_ns(frame) - time_ns()
            if wait > 0:
                sleep(wait / NANOSECONDS)
            pip = clock.pip()
            if not FIRST_PIP <= pip <= LAST_PIP:
                raise OverflowError(f"the beat clock is at pip {pip}, past the 32-bit pips of the motions")
            show.send_frame(client, pip, errors)
            sent += 1
            errors.report(time_ns())
            # The next frame whose time has not yet passed.
            elapsed = time_ns() - start
            frame = max(frame + 1, math.floor(elapsed * show.fps / NANOSECONDS) + 1)
    except KeyboardInterrupt:
        pass  # Ctrl-C or SIGTERM: the show ends here
    return sent


def interrupt(signum: int, frame: FrameType | None) -> None:
    raise KeyboardInterrupt


@contextmanager
def stopped_by_signals() -> Iterator[None]:
    """SIGINT and SIGTERM end the show at any point of a frame. SIGINT is
    taken over even where it was ignored, as it is in a background job of
    a script: Ctrl-C and the service manager must always be heard."""
    previous = {number: signal.signal(number, interrupt) for number in (signal.SIGINT, signal.SIGTERM)}
    try:
        yield
    finally:
        for number, handler in previous.items():
            signal.signal(number, handler)


def refused_motion(motions: Sequence[str]) -> str | None:
    """Why the first name that is not a built-in motion is refused."""
    entries = builtin_entries()
    for motion in motions:
        try:
            motion.encode("utf-8")
        except UnicodeEncodeError:
            shown = motion.encode("utf-8", "surrogateescape").decode("utf-8", "backslashreplace")
            return f"motion name '{shown}' is not UTF-8 text"
        if motion not in entries:
            return str(unknown_name(motion, builtin_names()))
    return None


def connected(host: str, port: int) -> Sender | str:
    """A sender to HOST:PORT, or why there can be none."""
    try:
        return Sender(host, port)
    except socket.gaierror as error:
        return f"--to {host}:{port}: cannot resolve {host!r} ({error.strerror})"
    except (OSError, UnicodeError) as error:
        return f"--to {host}:{port}: cannot send there ({getattr(error, 'strerror', None) or error})"


def main(argv: Sequence[str] | None = None) -> int:
    command = parser()
    args = command.parse_args(argv)
    if not args.prefix.startswith("/"):
        command.error(f"--prefix must start with '/': {args.prefix!r}")
    problem = refused_motion(args.motions)
    if problem is not None:
        print(f"error: {problem}", file=sys.stderr)
        return 2
    show = Show(args.motions, args.prefix.rstrip("/"), args.fps, args.frames, args.seconds)
    host, port = args.to
    sender = connected(host, port)
    if isinstance(sender, str):
        print(f"error: {sender}", file=sys.stderr)
        return 2
    errors, sent = SendErrors(), 0
    try:
        with stopped_by_signals():
            sent = run(show, sender, BeatClock(args.bpm), errors=errors)
    except KeyboardInterrupt:
        pass  # a signal just as the show ended
    except OverflowError as error:  # after months of running at an ordinary tempo
        print(f"error: {error}", file=sys.stderr)
        return 1
    finally:
        sender.close()
    failed = f" ({plural(errors.total, 'send')} failed)" if errors.total else ""
    print(f"sent {plural(sent, 'frame')} of {plural(len(show.motions), 'motion')} to {host}:{port}{failed}",
          file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
