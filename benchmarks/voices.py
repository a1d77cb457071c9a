"""Time Voice.render per point over a long timeline and print the figures.

Budget: at most 40 ns per point over 1,000,000 points, whatever the options.
Each case is timed in several rounds; the best round is reported, as
processor time of this process (what the work costs, even on a busy machine)
and as wall time. For scale, the same timeline through kinetrope_tools.render
(whole pips, no options) is timed too. Figures, not a test: nothing fails.

    python benchmarks/voices.py [--points N] [--rounds R] [--json out.json]
"""

from __future__ import annotations

import argparse
import json
import time
from collections.abc import Callable
from dataclasses import asdict, dataclass
from typing import Any

import numpy as np
import numpy.typing as npt

from kinetrope_tools import Voice, render

BUDGET_NS = 40.0
FRAME_PIPS = 120 / 60 * 64 / 60  # one frame at 60 fps and 120 BPM


@dataclass(frozen=True)
class Case:
    label: str
    motion: str
    options: dict[str, Any]
    fractional: bool  # pips at 60 fps (fractional) rather than whole


CASES = [
    Case("defaults, whole pips", "helix", {}, False),
    Case("defaults, 60 fps", "helix", {}, True),
    Case("cubic, 60 fps", "helix", {"interpolation": "cubic"}, True),
    Case("everything, whole pips", "helix", {"phase": 0.3, "rate": 0.75, "size": 0.8, "rotation": 30.0,
                                            "offset": (0.1, -0.1, 0.0), "reverse": True,
                                            "interpolation": "cubic"}, False),
    Case("everything, 60 fps", "helix", {"phase": 0.3, "rate": 0.75, "size": 0.8, "rotation": 30.0,
                                        "offset": (0.1, -0.1, 0.0), "reverse": True,
                                        "interpolation": "cubic"}, True),
    Case("table pattern, cubic, 60 fps", "lfo_breathe", {"interpolation": "cubic", "rotation": 45.0}, True),
]


@dataclass(frozen=True)
class Figure:
    label: str
    cpu_ns_per_point: float
    wall_ns_per_point: float


def timeline(points: int, fractional: bool) -> npt.NDArray[Any]:
    if fractional:
        return np.arange(points) * FRAME_PIPS
    return np.arange(points, dtype=np.int64)


def best_of(rounds: int, work: Callable[[], object], points: int) -> tuple[float, float]:
    """The best round's processor and wall time, in ns per point."""
    cpu, wall = [], []
    for _ in range(rounds):
        cpu_start, wall_start = time.process_time_ns(), time.perf_counter_ns()
        work()
        cpu.append(time.process_time_ns() - cpu_start)
        wall.append(time.perf_counter_ns() - wall_start)
    return min(cpu) / points, min(wall) / points


def measure(case: Case, points: int, rounds: int) -> Figure:
    voice, pips = Voice(case.motion, **case.options), timeline(points, case.fractional)
    voice.render(pips[:1000])  # warm up
    cpu, wall = best_of(rounds, lambda: voice.render(pips), points)
    return Figure(f"{case.motion}: {case.label}", cpu, wall)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--json", help="also write the figures to this file")
    arguments = parser.parse_args()
    figures = [measure(case, arguments.points, arguments.rounds) for case in CASES]
    whole = timeline(arguments.points, False)
    figures.append(Figure("helix: kinetrope_tools.render, for scale",
                          *best_of(arguments.rounds, lambda: render("helix", whole), arguments.points)))
    print(f"Voice.render over {arguments.points:,} points, best of {arguments.rounds} rounds "
          f"(budget {BUDGET_NS:g} ns per point)")
    print(f"{'case':48} {'cpu ns/pt':>10} {'wall ns/pt':>11}")
    for figure in figures:
        over = " over budget" if figure.cpu_ns_per_point > BUDGET_NS else ""
        print(f"{figure.label:48} {figure.cpu_ns_per_point:10.1f} {figure.wall_ns_per_point:11.1f}{over}")
    if arguments.json:
        with open(arguments.json, "w", encoding="utf-8") as out:
            json.dump([asdict(figure) for figure in figures], out, indent=2)


if __name__ == "__main__":
    main()
