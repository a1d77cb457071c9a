"""The preview's frame handling measured, and the screenshots in docs/.

A rig (by default sixteen 16-bit moving heads and a 64-pixel bar, like
examples/show.toml; any show file with --show) is played at --fps for
--seconds into a PreviewOutput watched by one, then by three pages of one
headless Chromium. Reported per run: frames each page received per second
and how many it was not sent (dropped for it) or missed, the frames' lateness
(frame driver's statistics), what handing a frame to the preview costs the
driver's thread, and what taking one frame back through the profiles costs
the server. The rig is played as a show plays it: the live clock, the frame
driver and the show's status line, whose readouts the page shows.
Figures, not a test: nothing here fails.

    python benchmarks/preview.py [--seconds 5] [--fps 44] [--pages 1 3] [--show SHOW.toml]
    python benchmarks/preview.py --screenshots docs/
"""

from __future__ import annotations

import argparse
import os
import sys
import time
from pathlib import Path
from typing import Any

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT))  # this checkout's kinetrope_tools first

from kinetrope_tools.live import FrameDriver, InternalSource, LiveClock  # noqa: E402
from kinetrope_tools.preview import PreviewOutput  # noqa: E402
from kinetrope_tools._headless import Chromium  # noqa: E402
from kinetrope_tools.preview.scene import FrameEncoder, place  # noqa: E402
from kinetrope_tools.rig import Fixture, Rig  # noqa: E402
from kinetrope_tools.show.osc_output import ShowFrame  # noqa: E402
from kinetrope_tools.show.runner import StatusLine  # noqa: E402

PIPS_PER_BEAT = 64
BPM = 128.0
HEAD = Fixture("Moving head", ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", ("shutter", 255),
                               "red", "green", "blue", "speed"])
PIXEL = Fixture("Pixel", ["red", "green", "blue"])


def example_rig() -> Rig:
    """Sixteen heads turning a circle a sixteenth apart, a 64-pixel bar rippling."""
    rig = Rig()
    rig.group("heads", HEAD, 16, universe=1, address=1, motion="circle", phase_span=1.0, size=0.8,
              pan_swing=60, tilt_swing=30, dimmer=1.0)
    rig.group("bar", PIXEL, 64, universe=2, address=1, motion="bounce", phase_span=0.25,
              red="x", blue=("x", 0.0, 2.0), green=0.0)
    return rig


def show_rig(path: Path) -> Rig:
    from kinetrope_tools.show.build import build_show
    from kinetrope_tools.show.schema import read

    return build_show(read(path), None).rig


def fan_rig() -> Rig:
    """Sixteen heads turned a quarter round (pan held there), tilting sideways
    in a fan that sways: each head a thirty-second of the loop behind the last;
    a pixel bar under them following the sway."""
    turned = Fixture("Turned head", HEAD.layout, home=(360.0, 135.0))
    rig = Rig()
    rig.group("fan", turned, 16, universe=1, address=1, motion="sway", phase_span=0.5, pan=None,
              tilt="x", tilt_swing=62, dimmer=1.0, red=1.0, green=("x", -1.0, 3.0), blue=("x", 1.0, -1.0))
    rig.group("floor bar", PIXEL, 48, universe=2, address=1, motion="sway", phase_span=0.5,
              red=("x", -1.0, 1.0), green=0.1, blue=("x", 1.0, -1.0))
    return rig


def chase_rig() -> Rig:
    """Four pixel bars chasing: a bounce rippling along each bar, spread over
    one loop on the first bar and a quarter loop more on each next one."""
    rig = Rig()
    colours: list[dict[str, Any]] = [
        dict(red="x", green=0.0, blue=("x", 0.0, 3.0)), dict(red=0.0, green="x", blue=("x", 0.0, 2.0)),
        dict(red="x", green=("x", -1.0, 3.0), blue=0.0), dict(red="x", green="x", blue="x"),
    ]
    for bar, colour in enumerate(colours):
        rig.group(f"bar {bar + 1}", PIXEL, 48, universe=bar + 1, address=1, motion="bounce",
                  phase_span=1.0 + bar * 0.25, **colour)
    return rig


class Timed:
    """An output that times ``send`` of the output it wraps."""

    def __init__(self, output: PreviewOutput) -> None:
        self.output = output
        self.costs: list[float] = []

    def send(self, frame: Any) -> bool:
        before = time.perf_counter()
        sent = self.output.send(frame)
        self.costs.append(time.perf_counter() - before)
        return sent


def play(rig: Rig, output: PreviewOutput, fps: float, seconds: float, start_pip: float = 0.0,
         bpm: float = BPM) -> tuple[FrameDriver, Timed]:
    """Plays the rig into the preview as a show does (the live clock, the frame
    driver and the show's status line), from ``start_pip`` for ``seconds``."""
    clock = LiveClock(bpm)
    clock.start(start_pip)
    source = InternalSource(clock)
    status = StatusLine(clock, source, [output.status])

    def render(position: float) -> ShowFrame:
        frame = ShowFrame(rig.frame(position))
        frame.position = position
        return frame

    timed = Timed(output)
    driver = FrameDriver(fps, render, [timed], clock, home=False, on_frame=status)
    status.attach(driver)
    driver.run(seconds)
    return driver, timed


def percentile(values: list[float], share: float) -> float:
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(len(ordered) * share))]


PAGE_STATE = "kinetropePreview.state()"


def measure(rig: Rig, pages: int, fps: float, seconds: float) -> dict[str, Any]:
    """Frames received per second and dropped, per page, with ``pages`` pages watching."""
    with PreviewOutput(rig) as output, Chromium() as browser:
        tabs = [browser.open(output.url) for _ in range(pages)]
        for tab in tabs:
            tab.wait_until("window.kinetropePreview && kinetropePreview.state().connected", 30)
        play(rig, output, fps, 1.0)  # warm up: pages drawing, caches full
        before = [tab.evaluate(PAGE_STATE) for tab in tabs]
        served_before = output.pages()
        sent_before = output.frames
        started = time.monotonic()
        driver, timed = play(rig, output, fps, seconds, start_pip=10_000.0)
        elapsed = time.monotonic() - started
        time.sleep(0.3)  # the last frames arrive
        after = [tab.evaluate(PAGE_STATE) for tab in tabs]
        served_after = output.pages()
        sent = output.frames - sent_before
    stats = driver.stats()
    return {
        "pages": pages,
        "sent": sent,
        "offered_fps": sent / elapsed,
        "received_fps": [(a["received"] - b["received"]) / elapsed for a, b in zip(after, before)],
        "missed": [a["missed"] - b["missed"] for a, b in zip(after, before)],
        "dropped": [a["dropped"] - b["dropped"] for a, b in zip(served_after, served_before)],
        "driver": stats,
        "send_p50_us": percentile(timed.costs, 0.5) * 1e6,
        "send_p99_us": percentile(timed.costs, 0.99) * 1e6,
    }


def encode_cost(rig: Rig, frames: int = 400) -> tuple[float, float]:
    """Microseconds to take a frame back through the profiles: every frame
    new, and the same frame again (unchanged fixtures are not decoded)."""
    encoder = FrameEncoder(rig, place(rig))
    played = [rig.frame(i * 7.3) for i in range(frames)]
    start = time.perf_counter()
    for number, frame in enumerate(played):
        encoder.encode(number, frame)
    moving = (time.perf_counter() - start) / frames
    start = time.perf_counter()
    for number in range(frames):
        encoder.encode(number, played[-1])
    still = (time.perf_counter() - start) / frames
    return moving * 1e6, still * 1e6


def screenshot(rig: Rig, path: Path, seconds: float, position: float, size: tuple[int, int]) -> None:
    """The page after playing the rig a moment, stopped at ``position`` (pips)."""
    with PreviewOutput(rig) as output, Chromium(size=size) as browser:
        tab = browser.open(output.url)
        tab.wait_until("window.kinetropePreview && kinetropePreview.state().connected", 30)
        play(rig, output, 44.0, seconds, start_pip=position - seconds * BPM / 60 * PIPS_PER_BEAT)
        frame = ShowFrame(rig.frame(position))
        frame.position = position
        output.send(frame)
        tab.wait_until(f"kinetropePreview.state().drawnNumber === {output.frames}", 10)
        tab.screenshot(path)
    print(f"wrote {path}")


def main() -> None:
    parser = argparse.ArgumentParser(description=(__doc__ or "").splitlines()[0])
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--fps", type=float, default=44.0)
    parser.add_argument("--pages", type=int, nargs="+", default=[1, 3])
    parser.add_argument("--show", type=Path, help="a show file whose rig to play")
    parser.add_argument("--screenshots", type=Path, metavar="DIR", help="write preview-fan.png and preview-chase.png")
    args = parser.parse_args()

    if args.screenshots:
        args.screenshots.mkdir(parents=True, exist_ok=True)
        # The sway at its lowest for the first head, so the fan opens from -1 to +1 across the heads.
        screenshot(fan_rig(), args.screenshots / "preview-fan.png", 1.5, 10 * 128 + 96, (1280, 720))
        screenshot(chase_rig(), args.screenshots / "preview-chase.png", 1.5, 6 * 64 + 40, (1280, 330))
        return

    rig = show_rig(args.show) if args.show else example_rig()
    moving, still = encode_cost(rig)
    print(f"rig: {len(rig.patch)} fixtures in universes {rig.universes}")
    print(f"one frame back through the profiles: {moving:.0f} us (every fixture changed), "
          f"{still:.0f} us (nothing changed)")
    for pages in args.pages:
        result = measure(rig, pages, args.fps, args.seconds)
        print(f"\n{pages} page{'s' if pages > 1 else ''}: {result['sent']} frames offered at "
              f"{result['offered_fps']:.1f} fps over {args.seconds:g} s")
        for index, (fps, missed) in enumerate(zip(result["received_fps"], result["missed"]), start=1):
            print(f"  page {index}: received {fps:.1f} frames/s, missed {missed}")
        print(f"  server: frames dropped for each page {', '.join(map(str, result['dropped']))}")
        print(f"  frame driver: {result['driver']}; send() to the preview p50 {result['send_p50_us']:.0f} us, "
              f"p99 {result['send_p99_us']:.0f} us")
    print(f"\n(load average {' '.join(f'{x:.2f}' for x in os.getloadavg())})")


if __name__ == "__main__":
    main()
