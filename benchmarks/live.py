"""How well the frame driver keeps time: 44 frames a second from a live
clock at 128 BPM, rendering the guide's rig (16 heads, a 64-pixel bar) and a
rig of 1,024 heads, each frame handed to an output that drops it; at the
ordinary priority and at a real-time one (where the system allows it).

Prints, per rig, the lateness of frames after their slots (p50, p99, worst),
late and dropped frames, and the CPU time per frame: the whole driver
(waits, render, send) and the render alone. Figures, not a test: nothing
here fails. Lateness depends on the machine's load; run it on an idle one.

    python benchmarks/live.py [--seconds 10]

(from a checkout whose installed copy predates the live package, with
PYTHONPATH=. so that the checkout's kinetrope_tools is found.)
"""

from __future__ import annotations

import argparse
import time
from collections.abc import Callable, Mapping

import numpy as np
from rig import big_rig, guide_rig  # the rigs of benchmarks/rig.py

from kinetrope_tools.live import FrameDriver, LiveClock

FPS = 44


class Drop:
    """An output that takes a frame and does nothing with it."""

    def send(self, frame: Mapping[int, bytes]) -> bool:
        return True


def drive(render: Callable[[float], Mapping[int, bytes]], seconds: float, realtime: bool) -> dict[str, float]:
    lateness: list[float] = []
    driver = FrameDriver(FPS, render, [Drop()], LiveClock(128.0), home=False, realtime=realtime)
    driver.on_frame = lambda position: lateness.append(driver.last_lateness)
    cpu = time.process_time()
    stats = driver.run(seconds=seconds)
    cpu = time.process_time() - cpu
    late = np.array(lateness) * 1e3
    return {
        "frames": stats.frames,
        "late (> 2 ms)": stats.late,
        "dropped": stats.dropped,
        "lateness p50 ms": float(np.percentile(late, 50)),
        "lateness p99 ms": float(np.percentile(late, 99)),
        "lateness worst ms": float(late.max()),
        "CPU per frame us": cpu / max(stats.frames, 1) * 1e6,
    }


def render_cpu(render: Callable[[float], object], frames: int = 2000) -> float:
    """CPU time per render, in microseconds (the least of three rounds)."""
    step = 128 / 60 * 64 / FPS
    best = float("inf")
    for _ in range(3):
        start = time.process_time()
        for frame in range(frames):
            render(frame * step)
        best = min(best, (time.process_time() - start) / frames * 1e6)
    return best


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=10.0)
    seconds = parser.parse_args().seconds
    for name, rig in [("16 heads + 64 pixels", guide_rig()), ("1,024 heads", big_rig())]:
        render = render_cpu(rig.frame)
        for realtime in (False, True):
            figures = drive(rig.frame, seconds, realtime)
            figures["render alone CPU per frame us"] = render
            print(f"{name}, {FPS} Hz for {seconds:g} s{', real-time priority' if realtime else ''}:")
            for what, value in figures.items():
                print(f"  {what:32} {value:10.3f}" if isinstance(value, float) else f"  {what:32} {value:10d}")


if __name__ == "__main__":
    main()
