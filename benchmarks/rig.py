"""What a rig frame costs: 1,024 fixtures with 16-bit pan and tilt (four
channels each, eight full universes) in one group chasing a circle.

Prints, per frame, the group's points, the mapping to DMX values, the packing
into the universes and the whole `Rig.frame`; then the ArtDmx packets of a
frame, and the frame of the guide's rig (16 heads, a 64-pixel bar). Budget: a
whole frame at most 400 us, points at most 150 us, in CPU time, the least of
several rounds. Figures, not a test:
nothing here fails. Fractional positions, as a 44 Hz show at 128 BPM asks.

    python benchmarks/rig.py [--frames 2000]
"""

from __future__ import annotations

import argparse
import time
from collections.abc import Callable

from kinetrope_tools.rig import Fixture, Rig
from kinetrope_tools.rig.senders import artdmx

PIPS_PER_FRAME = 128 / 60 * 64 / 44


def per_call(work: Callable[[float], object], frames: int, rounds: int = 7) -> float:
    """The least over rounds of the mean CPU time per call, in microseconds
    (CPU time, so that other work on a shared machine counts less)."""
    means = []
    for _ in range(rounds):
        start = time.process_time()
        for frame in range(frames):
            work(frame * PIPS_PER_FRAME)
        means.append((time.process_time() - start) / frames * 1e6)
    return min(means)


def big_rig() -> Rig:
    head = Fixture("Head", ["pan", "pan_fine", "tilt", "tilt_fine"])
    rig = Rig()
    rig.group("heads", head, 1024, universe=1, address=1, motion="circle", wrap=True, pan_swing=120,
              tilt_swing=60, interpolation="cubic")
    return rig


def guide_rig() -> Rig:
    head = Fixture("Head", ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", ("shutter", 255)])
    pixel = Fixture("Pixel", ["red", "green", "blue"])
    rig = Rig()
    rig.group("heads", head, 16, universe=1, address=1, motion="circle", dimmer=1.0)
    rig.group("bar", pixel, 64, universe=2, address=1, motion="single_stroke_roll", red=("y", 0.0, -0.72))
    return rig


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--frames", type=int, default=2000)
    frames = parser.parse_args().frames
    rig = big_rig()
    group = rig.groups["heads"]
    assert len(rig.universes) == 8 and len(rig.patch) == 1024
    points = group.points(100.5)
    values = group.mapping.dmx_bytes(points)

    def pack(_: float) -> None:
        buffer = rig._base.copy()
        buffer[group._moving] = values
        rig._split(buffer)

    figures = {
        "points, 1,024 fixtures": per_call(group.points, frames),
        "mapping to DMX bytes": per_call(lambda _: group.mapping.dmx_bytes(points), frames),
        "packing 8 universes": per_call(pack, frames),
        "whole frame (Rig.frame)": per_call(rig.frame, frames),
    }
    frame = rig.frame(100.5)
    figures["ArtDmx packets of a frame"] = per_call(
        lambda _: [artdmx(1, universe, data) for universe, data in frame.items()], frames)
    figures["guide rig frame (16 heads, 64 pixels)"] = per_call(guide_rig().frame, frames)
    for what, micros in figures.items():
        print(f"{what:<40} {micros:8.1f} us")
    print(f"{'budget: whole frame':<40} {400.0:8.1f} us")


if __name__ == "__main__":
    main()
