"""How long the full catalogue's contact sheets take to draw.

    python -m kinetrope_tools.gallery.bench [--jobs N] [--out DIR]

Two measurements:

1. the real catalogue as it is installed now (sampling and drawing, both
   formats, the same worker pool as ``python -m kinetrope_tools.gallery sheets``);
2. a stand-in catalogue of 1,731 motions shaped like the full built-in one
   (fifteen computed rudiments, then 1,716 patterns in families of sixteen
   with the packs' mix of periods and axes), drawn from smooth synthetic
   curves; the module's sampling cost for the same number of pips, measured
   on the motions that exist, is added.
"""

from __future__ import annotations

import argparse
import dataclasses
import tempfile
import time
from collections.abc import Sequence
from pathlib import Path

import numpy as np

from kinetrope_tools._command_line import positive_int

from . import motions as catalogue
from .render import JobResult, SheetJob, default_processes, run_jobs, run_sheet_job, sheet_jobs, timed

FULL_CATALOGUE = 1731
FAMILY_SIZE = 16
# (patterns, period in pips, axes): the six packs' sizes with their usual loops.
PATTERN_SHAPES = (
    (26, 256, 2), (26, 512, 2),  # initial and expansion
    (128, 512, 2), (128, 1024, 3),  # atlas
    (64, 512, 3), (256, 1024, 3),  # continuum
    (1000, 512, 3), (88, 1024, 3),  # club and dancefloor
)


def stand_in_motions() -> list[catalogue.Motion]:
    """1,716 synthetic patterns in families of sixteen, after the computed rudiments."""
    shapes = [(period, dims) for count, period, dims in PATTERN_SHAPES for _ in range(count)]
    return [
        catalogue.Motion(
            row=catalogue.COMPUTED_COUNT + index,
            name=f"stand_in_{index:04d}",
            description="synthetic",
            period=period,
            dims=dims,
            pack="other",
            family=f"stand_in_{index // FAMILY_SIZE:03d}",
        )
        for index, (period, dims) in enumerate(shapes)
    ]


def stand_in_table(motion: catalogue.Motion) -> np.ndarray:
    """A smooth closed loop with a few harmonics per declared axis."""
    theta = np.arange(motion.period) * (2 * np.pi / motion.period)
    table = np.zeros((motion.period, 3))
    for axis in range(motion.dims):
        k = 1 + (motion.row + axis) % 5
        table[:, axis] = 0.6 * np.sin(k * theta + axis) + 0.2 * np.cos((2 * k + 1) * theta)
    return table


def run_stand_in_job(job: SheetJob) -> JobResult:
    from .sheets import render_sheet

    files, notes = render_sheet(job.title, job.motions, [stand_in_table(m) for m in job.motions], job.stem, job.formats)
    return JobResult(files, notes, len(job.motions))


def sampling_rate(motions: list[catalogue.Motion], pips: int = 200_000) -> float:
    """Pips per second that ``kinetrope.sample`` delivers through ``sample_table``."""
    per_motion = max(1, pips // max(len(motions), 1))
    start = time.perf_counter()
    for motion in motions:
        catalogue.sample_table(motion.name, per_motion)
    return per_motion * len(motions) / (time.perf_counter() - start)


@dataclasses.dataclass
class Estimate:
    drawing: float
    sampling: float

    @property
    def total(self) -> float:
        return self.drawing + self.sampling


def main(argv: Sequence[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="python -m kinetrope_tools.gallery.bench", description=__doc__.splitlines()[0])
    parser.add_argument("--jobs", type=positive_int, default=default_processes())
    parser.add_argument("--out", type=Path, default=None, help="where to draw (default: a temporary folder)")
    args = parser.parse_args(argv)
    out = args.out or Path(tempfile.mkdtemp(prefix="gallery-bench-"))
    formats = ("png", "svg")

    real = catalogue.load_motions()
    (out / "real").mkdir(parents=True, exist_ok=True)
    _, real_timing = timed(lambda: run_jobs(run_sheet_job, sheet_jobs(real, out / "real", formats), args.jobs))
    print(f"installed catalogue: {real_timing.motions} motions in {real_timing.seconds:.2f} s "
          f"({real_timing.per_motion_ms:.0f} ms a motion with {args.jobs} workers)")

    stand_ins = stand_in_motions()
    (out / "stand_in").mkdir(parents=True, exist_ok=True)
    jobs = sheet_jobs(stand_ins, out / "stand_in", formats)
    _, drawn = timed(lambda: run_jobs(run_stand_in_job, jobs, args.jobs))
    pips = sum(m.period for m in stand_ins)
    rate = sampling_rate(real)
    estimate = Estimate(drawing=drawn.seconds * FULL_CATALOGUE / drawn.motions, sampling=pips / rate / max(args.jobs, 1))
    print(f"stand-in catalogue: {drawn.motions} motions ({pips:,} pips) on {len(jobs)} sheets drawn in "
          f"{drawn.seconds:.1f} s ({drawn.per_motion_ms:.1f} ms a motion with {args.jobs} workers)")
    print(f"sampling: {rate / 1e6:.2f} M pips/s a worker, {estimate.sampling:.1f} s for those pips")
    print(f"estimate for {FULL_CATALOGUE} motions: {estimate.total:.0f} s (output in {out})")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
