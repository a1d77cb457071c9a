"""Time a fixture group's points per frame and print the figures.

Budget: at most 150 us a frame for the points of a group of 1,024 fixtures
(one vectorised Group.points call). For comparison, the same points one
fixture at a time through each member's Voice.at. Frames step through a
timeline at 44 fps and 128 BPM (fractional pips, the usual case). Each case is
timed over many frames in several rounds; the best round is reported, as
processor time of this process and as wall time, in us per frame. Figures,
not a test: nothing fails.

    python benchmarks/groups.py [--fixtures N] [--frames F] [--rounds R] [--json out.json]
"""

from __future__ import annotations

import argparse
import json
import time
from collections.abc import Callable
from dataclasses import asdict, dataclass
from typing import Any

from kinetrope_tools.rig.groups import Group

BUDGET_US = 150.0
FRAME_PIPS = 128 / 60 * 64 / 44  # one frame at 44 fps and 128 BPM


@dataclass(frozen=True)
class Case:
    label: str
    motion: str
    options: dict[str, Any]


CASES = [
    Case("spread over the loop", "circle", {}),
    Case("wings, blocks, cubic", "helix", {"wings": 2, "blocks": 4, "interpolation": "cubic"}),
    Case("ping-pong, per-axis size, base", "figure_eight", {"ends": "pingpong", "size": (0.8, 0.4, 1.0),
                                                           "base": (0.1, 0.2, 0.0), "cycles_per_bar": 1}),
    Case("serial single shots, fades", "circle", {"serial": 4.0, "ends": "once", "fade_in": 64.0,
                                                   "stop": 1e6, "fade_out": 64.0}),
    Case("dimmer LFO", "sine", {"phase_degrees": 90.0, "beats_per_cycle": 2}),
]


@dataclass(frozen=True)
class Figure:
    label: str
    cpu_us_per_frame: float
    wall_us_per_frame: float


def best_of(rounds: int, frames: int, work: Callable[[float], object]) -> tuple[float, float]:
    """The best round's processor and wall time, in us per frame."""
    cpu, wall = [], []
    positions = [frame * FRAME_PIPS + 1e5 for frame in range(frames)]
    for _ in range(rounds):
        cpu_start, wall_start = time.process_time_ns(), time.perf_counter_ns()
        for position in positions:
            work(position)
        cpu.append(time.process_time_ns() - cpu_start)
        wall.append(time.perf_counter_ns() - wall_start)
    return min(cpu) / frames / 1000, min(wall) / frames / 1000


def per_fixture(group: Group) -> Callable[[float], object]:
    voices = group.voices

    def points(position: float) -> object:
        return [voice.at(position) for voice in voices]
    return points


def measure(case: Case, fixtures: int, frames: int, rounds: int) -> list[Figure]:
    group = Group(case.motion, fixtures, **case.options)
    group.points(0.5)  # warm up
    label = f"{case.motion}: {case.label}"
    return [Figure(f"{label}, Group.points", *best_of(rounds, frames, group.points)),
            Figure(f"{label}, Voice.at each", *best_of(max(1, rounds // 3), max(1, frames // 10),
                                                       per_fixture(group)))]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--fixtures", type=int, default=1024)
    parser.add_argument("--frames", type=int, default=2000)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--json", help="also write the figures to this file")
    arguments = parser.parse_args()
    figures = [figure for case in CASES
               for figure in measure(case, arguments.fixtures, arguments.frames, arguments.rounds)]
    print(f"Points of a group of {arguments.fixtures:,} fixtures per frame, best of {arguments.rounds} rounds "
          f"(budget {BUDGET_US:g} us a frame for Group.points)")
    print(f"{'case':64} {'cpu us':>9} {'wall us':>9}")
    for figure in figures:
        over = " over budget" if "Group" in figure.label and figure.cpu_us_per_frame > BUDGET_US else ""
        print(f"{figure.label:64} {figure.cpu_us_per_frame:9.1f} {figure.wall_us_per_frame:9.1f}{over}")
    if arguments.json:
        with open(arguments.json, "w", encoding="utf-8") as out:
            json.dump([asdict(figure) for figure in figures], out, indent=2)


if __name__ == "__main__":
    main()
