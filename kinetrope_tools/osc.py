"""Drive a show over OSC: kinetrope motions sent live from a beat clock.

    python -m kinetrope_tools.osc bounce circle --bpm 128 --to 127.0.0.1:9000

Every frame, one message per motion goes to ``<prefix>/<motion>`` with the
arguments (pip as int32, x, y, z as float32): the pip the clock is at and
the motion's position there. Frames keep a steady rate; a frame that is due
while the previous one is still being sent is dropped rather than sent late.
Without --frames or --seconds it runs until stopped (Ctrl-C).
"""

from __future__ import annotations

import argparse
import math
import sys
import time
from collections.abc import Callable, Sequence
from dataclasses import dataclass

from kinetrope_tools._extras import require

require("pythonosc", "python-osc", "osc", "kinetrope_tools.osc")

import kinetrope  # noqa: E402
from pythonosc.osc_message import OscMessage  # noqa: E402
from pythonosc.osc_message_builder import OscMessageBuilder  # noqa: E402
from pythonosc.udp_client import UDPClient  # noqa: E402

from kinetrope_tools.tempo import BeatClock  # noqa: E402

DEFAULT_TARGET = "127.0.0.1:9000"
NANOSECONDS = 10**9


def parse_target(text: str) -> tuple[str, int]:
    """HOST:PORT (an IPv6 host in brackets: [::1]:9000)."""
    host, separator, port = text.rpartition(":")
    if not separator or not host or not port.isdigit() or not 0 < int(port) < 65536:
        raise argparse.ArgumentTypeError(f"not HOST:PORT: {text!r}")
    return host.removeprefix("[").removesuffix("]"), int(port)


def positive(kind: Callable[[str], float]) -> Callable[[str], float]:
    def parse(text: str) -> float:
        try:
            value = kind(text)
        except ValueError:
            raise argparse.ArgumentTypeError(f"not a number: {text!r}") from None
        if not (math.isfinite(value) and value > 0):
            raise argparse.ArgumentTypeError(f"must be positive: {text!r}")
        return value

    return parse


def parser() -> argparse.ArgumentParser:
    command = argparse.ArgumentParser(
        prog="python -m kinetrope_tools.osc", description=(__doc__ or "").splitlines()[0]
    )
    command.add_argument("motions", nargs="+", metavar="MOTION", help="built-in motion names")
    command.add_argument("--bpm", type=positive(float), default=120.0, help="tempo (default 120)")
    command.add_argument("--fps", type=positive(float), default=60.0, help="frames a second (default 60)")
    command.add_argument("--to", type=parse_target, default=parse_target(DEFAULT_TARGET), metavar="HOST:PORT",
                         help=f"where to send (default {DEFAULT_TARGET})")
    command.add_argument("--prefix", default="/kinetrope", help="address prefix (default /kinetrope)")
    length = command.add_mutually_exclusive_group()
    length.add_argument("--frames", type=positive(int), help="stop after this many frames")
    length.add_argument("--seconds", type=positive(float), help="stop after this many seconds")
    return command


def motion_message(address: str, pip: int, offset: kinetrope.Offset3) -> OscMessage:
    builder = OscMessageBuilder(address)
    builder.add_arg(pip, OscMessageBuilder.ARG_TYPE_INT)
    for value in offset.as_tuple():
        builder.add_arg(value, OscMessageBuilder.ARG_TYPE_FLOAT)
    return builder.build()


@dataclass(frozen=True)
class Show:
    """What to send, and for how long: ``frames`` or ``seconds``, or
    neither for a run that goes on until stopped."""

    motions: Sequence[str]
    prefix: str
    fps: float
    frames: int | None = None
    seconds: float | None = None

    def send_frame(self, client: UDPClient, pip: int) -> None:
        for motion in self.motions:
            client.send(motion_message(f"{self.prefix}/{motion}", pip, kinetrope.sample(motion, pip)))

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
    client: UDPClient,
    clock: BeatClock,
    time_ns: Callable[[], int] = time.monotonic_ns,
    sleep: Callable[[float], object] = time.sleep,
) -> int:
    """Sends frames until the show is over; returns the number sent."""
    start = time_ns()
    sent, frame = 0, 0
    try:
        while not show.over(sent, show.due_ns(frame)):
            wait = start + show.due_ns(frame) - time_ns()
            if wait > 0:
                sleep(wait / NANOSECONDS)
            show.send_frame(client, clock.pip())
            sent += 1
            # The next frame whose time has not yet passed.
            elapsed = time_ns() - start
            frame = max(frame + 1, math.floor(elapsed * show.fps / NANOSECONDS) + 1)
    except KeyboardInterrupt:
        pass  # Ctrl-C: the show ends here
    return sent


def unknown_motion(motions: Sequence[str]) -> str | None:
    """The dispatcher's message for the first name it does not know."""
    for motion in motions:
        try:
            kinetrope.sample(motion, 0)
        except ValueError as error:
            return str(error)
    return None


def main(argv: Sequence[str] | None = None) -> int:
    command = parser()
    args = command.parse_args(argv)
    if not args.prefix.startswith("/"):
        command.error(f"--prefix must start with '/': {args.prefix!r}")
    problem = unknown_motion(args.motions)
    if problem is not None:
        print(f"error: {problem}", file=sys.stderr)
        return 2
    show = Show(args.motions, args.prefix.rstrip("/"), args.fps, args.frames, args.seconds)
    host, port = args.to
    sent = run(show, UDPClient(host, port), BeatClock(args.bpm))
    print(f"sent {sent} frames of {len(show.motions)} motions to {host}:{port}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
