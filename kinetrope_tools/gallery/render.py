"""Rendering many sheets or pictures, spread over worker processes."""

from __future__ import annotations

import dataclasses
import multiprocessing
import os
import time
from pathlib import Path
from typing import Callable, Iterable, Sequence

import numpy as np

from .motions import Motion, group_by_family, sample_table

MAX_PANELS = 32  # larger families are split over several sheets


@dataclasses.dataclass(frozen=True)
class SheetJob:
    title: str
    stem: Path
    motions: tuple[Motion, ...]
    formats: tuple[str, ...]
    dpi: int | None = None  # None: the renderer's default


@dataclasses.dataclass(frozen=True)
class JobResult:
    files: list[Path]
    notes: dict[str, list[str]]
    motions: int


def sheet_jobs(motions: Iterable[Motion], folder: Path, formats: Sequence[str], dpi: int | None = None) -> list[SheetJob]:
    """One job per family, or per page of a family longer than ``MAX_PANELS``."""
    jobs = []
    for family, members in group_by_family(motions).items():
        pages = [members[i : i + MAX_PANELS] for i in range(0, len(members), MAX_PANELS)]
        for number, page in enumerate(pages, start=1):
            suffix = f"-{number}" if len(pages) > 1 else ""
            title = f"{family}{suffix}: {len(page)} motion{'s' if len(page) != 1 else ''}"
            jobs.append(SheetJob(title, folder / f"{family}{suffix}", tuple(page), tuple(formats), dpi))
    return jobs


def run_sheet_job(job: SheetJob) -> JobResult:
    from .sheets import SheetLayout, render_sheet

    tables = [sample_table(m.name, m.period) for m in job.motions]
    layout = SheetLayout(dpi=job.dpi) if job.dpi else SheetLayout()
    files, notes = render_sheet(job.title, job.motions, tables, job.stem, job.formats, layout)
    return JobResult(files, notes, len(job.motions))


def run_motion_job(job: SheetJob) -> JobResult:
    from .sheets import render_motion

    files = []
    for motion in job.motions:
        table = sample_table(motion.name, motion.period)
        files += render_motion(motion, table, job.stem / motion.name, job.formats, **({"dpi": job.dpi} if job.dpi else {}))
    return JobResult(files, {}, len(job.motions))


def motion_jobs(
    motions: Iterable[Motion], folder: Path, formats: Sequence[str], dpi: int | None = None, per_job: int = 8
) -> list[SheetJob]:
    motions = list(motions)
    return [
        SheetJob("", folder, tuple(motions[i : i + per_job]), tuple(formats), dpi)
        for i in range(0, len(motions), per_job)
    ]


def run_jobs(worker: Callable[[SheetJob], JobResult], jobs: Sequence[SheetJob], processes: int) -> list[JobResult]:
    """Run jobs in up to ``processes`` worker processes, the biggest first."""
    ordered = sorted(jobs, key=lambda job: -sum(m.period * m.dims for m in job.motions))
    if processes <= 1 or len(ordered) <= 1:
        return [worker(job) for job in ordered]
    with multiprocessing.get_context("fork").Pool(min(processes, len(ordered))) as pool:
        return list(pool.imap_unordered(worker, ordered))


def sample_chunk(motions: Sequence[Motion]) -> list[np.ndarray]:
    return [sample_table(m.name, m.period) for m in motions]


def sample_tables(motions: Sequence[Motion], processes: int, per_chunk: int = 64) -> list[np.ndarray]:
    """Every motion's loop table, sampled in up to ``processes`` worker processes."""
    chunks = [motions[i : i + per_chunk] for i in range(0, len(motions), per_chunk)]
    if processes <= 1 or len(chunks) <= 1:
        return [table for chunk in chunks for table in sample_chunk(chunk)]
    with multiprocessing.get_context("fork").Pool(min(processes, len(chunks))) as pool:
        return [table for chunk in pool.map(sample_chunk, chunks) for table in chunk]


def default_processes() -> int:
    return len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else (os.cpu_count() or 1)


@dataclasses.dataclass(frozen=True)
class Timing:
    motions: int
    seconds: float

    @property
    def per_motion_ms(self) -> float:
        return 1000 * self.seconds / max(self.motions, 1)


def timed(action: Callable[[], list[JobResult]]) -> tuple[list[JobResult], Timing]:
    start = time.perf_counter()
    results = action()
    return results, Timing(sum(r.motions for r in results), time.perf_counter() - start)
