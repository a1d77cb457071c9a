"""Pictures of the user's own patterns: a contact sheet of any patterns, and
the gallery commands run over the patterns of a saved motions file
(``python -m kinetrope_tools.gallery --from FILE``)."""

from __future__ import annotations

import argparse
import json
import sys
from collections.abc import Iterable, Sequence
from pathlib import Path

import numpy as np
import numpy.typing as npt

import kinetrope
from kinetrope_tools import load, render
from kinetrope_tools._command_line import plural

from .motions import Motion
from .render import MAX_PANELS

USER = "user"  # the pack and family of every pattern drawn from outside the catalogue
FORMATS = ("png", "svg")
COMMANDS_FOR_SAVED = ("sheets", "motion", "list")


def dimensions_of(table: npt.NDArray[np.float64]) -> int:
    """How many leading axes a loop moves: 3 if z ever leaves 0, else 2 if y
    does, else 1."""
    if np.any(table[:, 2] != 0.0):
        return 3
    return 2 if np.any(table[:, 1] != 0.0) else 1


def motion_of(pattern: kinetrope.SampledPattern, row: int) -> tuple[Motion, npt.NDArray[np.float64]]:
    """A pattern as a gallery motion, with one loop of its samples."""
    table = render(pattern, range(pattern.period_pips))
    motion = Motion(row, pattern.name, pattern.description, pattern.period_pips, dimensions_of(table), USER, USER)
    return motion, table


def contact_sheet(
    patterns: Iterable[kinetrope.SampledPattern],
    stem: str | Path,
    *,
    title: str | None = None,
    formats: Sequence[str] = FORMATS,
    dpi: int | None = None,
) -> list[Path]:
    """Draws the patterns side by side, as the gallery draws a family: one
    file per format at ``stem`` with the format's suffix, or, past
    ``MAX_PANELS`` patterns, one sheet per page at ``stem-1``, ``stem-2``
    and so on. Returns the files written."""
    return [path for path, _ in contact_sheets(list(patterns), Path(stem), title, formats, dpi)]


def contact_sheets(
    patterns: list[kinetrope.SampledPattern],
    stem: Path,
    title: str | None,
    formats: Sequence[str],
    dpi: int | None,
) -> list[tuple[Path, dict[str, list[str]]]]:
    """Each file written, with the findings of the sheet it belongs to."""
    from .sheets import SheetLayout, render_sheet

    if not patterns:
        raise ValueError("a contact sheet needs at least one pattern")
    drawn = [motion_of(pattern, row) for row, pattern in enumerate(patterns)]
    pages = [drawn[i : i + MAX_PANELS] for i in range(0, len(drawn), MAX_PANELS)]
    layout = SheetLayout(dpi=dpi) if dpi else SheetLayout()
    written: list[tuple[Path, dict[str, list[str]]]] = []
    for number, page in enumerate(pages, start=1):
        page_stem = stem.with_name(f"{stem.name}-{number}") if len(pages) > 1 else stem
        heading = sheet_title(title or stem.name, len(page), number, len(pages))
        motions, tables = [motion for motion, _ in page], [table for _, table in page]
        files, notes = render_sheet(heading, motions, tables, page_stem, tuple(formats), layout)
        written += [(path, notes) for path in files]
    return written


def sheet_title(title: str, count: int, page: int, pages: int) -> str:
    numbered = f"{title}-{page}" if pages > 1 else title
    return f"{numbered}: {count} pattern{'s' if count != 1 else ''}"


# The command line


def saved_patterns(path: Path) -> tuple[list[kinetrope.SampledPattern], int]:
    """The patterns of a saved file, and how many recordings it also holds."""
    items = load(path)
    patterns = [item for item in items if isinstance(item, kinetrope.SampledPattern)]
    return patterns, len(items) - len(patterns)


def chosen_patterns(
    patterns: list[kinetrope.SampledPattern], names: Sequence[str], dims: Sequence[int], path: Path
) -> list[kinetrope.SampledPattern]:
    """The patterns named (all when none is), in file order, with one of the
    given axis counts (any when none is). A name not in the file is a
    KeyError."""
    known = {pattern.name for pattern in patterns}
    missing = [name for name in names if name not in known]
    if missing:
        raise KeyError(f"not in {path}: {', '.join(missing)}")
    wanted = set(names)
    picked = [pattern for pattern in patterns if not wanted or pattern.name in wanted]
    if dims:
        picked = [pattern for pattern in picked if motion_of(pattern, 0)[0].dims in dims]
    return picked


def draw_saved(args: argparse.Namespace) -> int:
    """Runs a gallery command over the patterns saved in ``args.source``;
    returns the exit status."""
    path = Path(args.source)
    if args.command not in COMMANDS_FOR_SAVED:
        return fail(f"--from works with {', '.join(COMMANDS_FOR_SAVED)}, not {args.command}")
    if args.pack or args.family:
        return fail("--pack and --family select built-in motions; with --from, pick patterns by name or --dims")
    try:
        patterns, recordings = saved_patterns(path)
        chosen = chosen_patterns(patterns, args.names, args.dims, path)
    except (OSError, ValueError) as error:
        return fail(str(error))
    except KeyError as error:
        return fail(str(error.args[0]))
    if recordings:
        note = f"{recordings} recording{'s' if recordings != 1 else ''} left out (only patterns are drawn)"
        print(f"{path}: {note}", file=sys.stderr)
    if not chosen:
        return fail(f"no pattern in {path} matches the selection")
    if args.command == "list":
        list_saved(chosen, args.json)
    elif args.command == "sheets":
        draw_sheets(chosen, path, args)
    else:
        draw_pictures(chosen, args)
    return 0


def fail(message: str) -> int:
    print(f"error: {message}", file=sys.stderr)
    return 2


def list_saved(patterns: list[kinetrope.SampledPattern], as_json: bool) -> None:
    motions = [motion_of(pattern, row)[0] for row, pattern in enumerate(patterns)]
    if as_json:
        rows = [
            {"name": m.name, "description": m.description, "period_pips": m.period, "dimensions": m.dims}
            for m in motions
        ]
        json.dump(rows, sys.stdout, indent=1)
        print()
        return
    for motion in motions:
        print(f"{motion.name:<24} {motion.period:>6} pips  {'xyz'[: motion.dims]}")


def draw_sheets(patterns: list[kinetrope.SampledPattern], path: Path, args: argparse.Namespace) -> None:
    folder = args.out / "sheets"
    folder.mkdir(parents=True, exist_ok=True)
    written = contact_sheets(patterns, folder / path.stem, None, args.format or FORMATS, args.dpi)
    noted = {name: notes for _, sheet in written for name, notes in sheet.items() if notes}
    files = len(written)
    print(f"{plural(len(patterns), 'pattern')} from {path} in {plural(files, 'file')} in {folder}")
    for name, notes in noted.items():
        print(f"  {name}: {'; '.join(notes)}")


def draw_pictures(patterns: list[kinetrope.SampledPattern], args: argparse.Namespace) -> None:
    from .sheets import render_motion

    folder = args.out / "motions"
    folder.mkdir(parents=True, exist_ok=True)
    for row, pattern in enumerate(patterns):
        motion, table = motion_of(pattern, row)
        resolution = {"dpi": args.dpi} if args.dpi else {}
        render_motion(motion, table, folder / motion.name, args.format or FORMATS, **resolution)
    print(f"{plural(len(patterns), 'picture')} in {folder}")
