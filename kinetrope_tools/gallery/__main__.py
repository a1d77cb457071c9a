"""Draw kinetrope motions: contact sheets per family, single-motion pictures
and a self-contained preview page.

    python -m kinetrope_tools.gallery all                      # every sheet and the page, into build/gallery
    python -m kinetrope_tools.gallery sheets --pack initial    # one pack's family sheets
    python -m kinetrope_tools.gallery motion helix lfo_flower  # larger pictures of two motions
    python -m kinetrope_tools.gallery page --family computed   # a page with only the computed rudiments
    python -m kinetrope_tools.gallery list --json              # the grouping, as JSON
    python -m kinetrope_tools.gallery --from motions.json      # sheets of the patterns saved in a file
"""

from __future__ import annotations

import argparse
import json
import sys
from pathlib import Path
from typing import Sequence

from kinetrope_tools._command_line import OneLineParser, file_size, plural, positive_int

from . import motions as catalogue
from .motions import Motion
from .render import JobResult, Timing, default_processes, motion_jobs, run_jobs, run_motion_job, run_sheet_job, sheet_jobs, timed

DEFAULT_OUT = Path("build/gallery")
FORMATS = ("png", "svg")


def first_paragraph(text: str | None) -> str:
    return " ".join((text or "").split("\n\n")[0].split())


def parser() -> argparse.ArgumentParser:
    common = OneLineParser(add_help=False)
    chosen = common.add_argument_group("selection (filters combine; none selects every motion)")
    chosen.add_argument("names", nargs="*", help="catalogue names")
    chosen.add_argument("--pack", action="append", default=[], choices=catalogue.PACKS, help="repeatable")
    chosen.add_argument("--family", action="append", default=[], help="family name, e.g. lfo or beat_four_floor; repeatable")
    chosen.add_argument("--dims", action="append", default=[], type=int, choices=(1, 2, 3), help="repeatable")
    common.add_argument("--from", dest="source", type=Path, metavar="FILE",
                        help="draw the patterns saved in FILE (kinetrope_tools.save) instead of the catalogue's")
    common.add_argument("--out", type=Path, default=DEFAULT_OUT, help=f"output folder (default {DEFAULT_OUT})")
    common.add_argument("--format", action="append", choices=FORMATS, help="picture format, repeatable (default png and svg)")
    common.add_argument("--dpi", type=positive_int, default=None,
                        help="picture resolution (default 100 for sheets, 110 for motions)")
    common.add_argument("--jobs", type=positive_int, default=default_processes(),
                        help="worker processes (default: one per core)")

    top = OneLineParser(prog="python -m kinetrope_tools.gallery", description=first_paragraph(__doc__))
    commands = top.add_subparsers(dest="command", required=True)
    commands.add_parser("sheets", parents=[common], help="one contact sheet per family into OUT/sheets")
    commands.add_parser("motion", parents=[common], help="one larger picture per motion into OUT/motions")
    page = commands.add_parser("page", parents=[common], help="the preview page OUT/index.html")
    page.add_argument("--page-name", default="index.html")
    everything = commands.add_parser("all", parents=[common], help="the contact sheets and the page (no single-motion pictures)")
    everything.add_argument("--page-name", default="index.html")
    listing = commands.add_parser("list", parents=[common], help="print the selected motions with pack and family")
    listing.add_argument("--json", action="store_true")
    return top


def report_sheets(results: list[JobResult], timing: Timing, out: Path) -> None:
    noted = {name: notes for result in results for name, notes in result.notes.items() if notes}
    sheets = sum(1 for r in results for f in r.files if f.suffix == ".png") or len(results)
    print(f"{plural(timing.motions, 'motion')} on {plural(sheets, 'sheet')} in {out}: {timing.seconds:.1f} s "
          f"({timing.per_motion_ms:.0f} ms a motion)")
    for name, notes in sorted(noted.items()):
        print(f"  {name}: {'; '.join(notes)}")


def make_sheets(chosen: list[Motion], args: argparse.Namespace) -> None:
    folder = args.out / "sheets"
    folder.mkdir(parents=True, exist_ok=True)
    jobs = sheet_jobs(chosen, folder, args.format or FORMATS, args.dpi)
    results, timing = timed(lambda: run_jobs(run_sheet_job, jobs, args.jobs))
    report_sheets(results, timing, folder)


def make_motion_pictures(chosen: list[Motion], args: argparse.Namespace) -> None:
    folder = args.out / "motions"
    folder.mkdir(parents=True, exist_ok=True)
    results, timing = timed(lambda: run_jobs(run_motion_job, motion_jobs(chosen, folder, args.format or FORMATS, args.dpi), args.jobs))
    print(f"{plural(timing.motions, 'picture')} in {folder}: {timing.seconds:.1f} s")


def make_page(chosen: list[Motion], args: argparse.Namespace) -> None:
    from .page import write_page
    from .render import sample_tables

    tables = sample_tables(chosen, args.jobs)
    target = write_page(chosen, tables, args.out / args.page_name)
    print(f"page with {plural(len(chosen), 'motion')}: {target} ({file_size(target.stat().st_size)})")


def list_motions(chosen: list[Motion], as_json: bool) -> None:
    if as_json:
        json.dump([{"name": m.name, "pack": m.pack, "family": m.family, "period_pips": m.period,
                    "dimensions": m.dims} for m in chosen], sys.stdout, indent=1)
        print()
        return
    for family, members in catalogue.group_by_family(chosen).items():
        packs = sorted({m.pack for m in members}, key=catalogue.PACKS.index)
        print(f"{family:<24} {len(members):>3}  {', '.join(packs)}")


def out_folder_made(out: Path) -> bool:
    """Makes the output folder, or says on one line why it cannot be made."""
    try:
        out.mkdir(parents=True, exist_ok=True)
    except OSError as error:
        print(f"error: --out {out}: cannot make the folder ({error.strerror})", file=sys.stderr)
        return False
    return True


def with_default_command(argv: list[str]) -> list[str]:
    """``--from FILE`` without a command draws the file's contact sheets."""
    return ["sheets", *argv] if argv and argv[0].startswith("--from") else argv


def main(argv: Sequence[str] | None = None) -> int:
    args = parser().parse_args(with_default_command(sys.argv[1:] if argv is None else list(argv)))
    if args.source is not None:
        from .saved import draw_saved

        if args.command != "list" and not out_folder_made(args.out):
            return 2
        try:
            return draw_saved(args)
        except OSError as error:
            print(f"error: {error}", file=sys.stderr)
            return 1
    try:
        chosen = catalogue.select(catalogue.load_motions(), args.names, args.pack, args.family, args.dims)
    except KeyError as error:
        print(f"error: {error.args[0]}", file=sys.stderr)
        return 2
    if not chosen:
        print("error: no motion matches the selection", file=sys.stderr)
        return 2
    if args.command == "list":
        list_motions(chosen, args.json)
        return 0
    if not out_folder_made(args.out):
        return 2
    try:
        if args.command in ("sheets", "all"):
            make_sheets(chosen, args)
        if args.command == "motion":
            make_motion_pictures(chosen, args)
        if args.command in ("page", "all"):
            make_page(chosen, args)
    except OSError as error:
        print(f"error: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
