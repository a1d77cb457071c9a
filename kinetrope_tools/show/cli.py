"""Run a show file: a rig playing motions to Art-Net, sACN, OSC or a preview.

    python -m kinetrope_tools.show SHOW.toml [--check] [--preview] [--seconds S] [--universes 1-8]

--check reads the file, builds the rig and prints the patch; nothing is
sent. A fault in the file or the arguments is one line on stderr (file,
line, key, reason) and exit status 2, before any output is opened. Ctrl-C
or SIGTERM ends the show after a last frame with every fixture at home.
"""

from __future__ import annotations

import argparse
import contextlib
import sys
from collections.abc import Sequence
from typing import Any, TextIO

from kinetrope_tools._command_line import OneLineParser, positive_number
from kinetrope_tools.show.build import ShareError, Show, build_show, open_output, open_preview
from kinetrope_tools.show.runner import clock_and_source, play
from kinetrope_tools.show.schema import OutputSpec, ShowFileError, ShowSpec, read
from kinetrope_tools.show.share import parse_universes, spans

PROG = "python -m kinetrope_tools.show"


def universes_argument(text: str) -> frozenset[int]:
    try:
        return parse_universes(text)
    except ValueError as error:
        raise argparse.ArgumentTypeError(str(error)) from None


def parser() -> argparse.ArgumentParser:
    command = OneLineParser(prog=PROG, description=(__doc__ or "").splitlines()[0])
    command.add_argument("show", metavar="SHOW.toml", help="the show file")
    command.add_argument("--check", action="store_true", help="check the file and print the patch; send nothing")
    command.add_argument("--preview", action="store_true", help="also serve a preview page in the browser")
    command.add_argument("--seconds", type=positive_number("seconds"), metavar="S", help="stop after S seconds")
    command.add_argument("--universes", type=universes_argument, metavar="1-8",
                         help="play only these universes of the patch (a rig split across processes)")
    return command


def output_label(spec: OutputSpec) -> str:
    kind = spec.type if spec.name == spec.type else f"{spec.name} ({spec.type})"
    port = f":{spec.port}" if spec.port else ""
    return f"{kind} to {spec.address}{port}"


def patch_table(show: Show) -> str:
    """A summary line, then one row per fixture: universe, addresses,
    fixture, profile, channels."""
    spec = show.spec
    patch = show.patch
    outputs = ", ".join(output_label(output) for output in spec.outputs.values())
    groups = sorted({patched.group for patched in patch})
    plural = "s" if len(groups) != 1 else ""
    lines = [f"{spec.path}: {len(patch)} fixtures in {len(groups)} group{plural} on universes {spans(show.universes)}"
             f" (of {spans(show.all_universes)}); {spec.fps:g} fps; clock {spec.clock.source} at "
             f"{spec.clock.bpm:g} BPM; outputs: {outputs or 'none'}"]
    rows = [("universe", "address", "fixture", "profile", "channels")]
    rows += [(str(patched.universe), f"{patched.address}-{patched.last}", patched.name, patched.fixture.name,
              str(patched.fixture.channels)) for patched in patch]
    widths = [max(len(row[column]) for row in rows) for column in range(len(rows[0]))]
    for row in rows:
        lines.append("  ".join(cell.rjust(width) if column in (0, 1, 4) else cell.ljust(width)
                               for column, (cell, width) in enumerate(zip(row, widths))).rstrip())
    return "\n".join(lines)


def open_outputs(show: Show, preview: bool) -> list[Any]:
    """Every output of the file (and a preview if asked), all or none."""
    opened: list[Any] = []
    try:
        for spec in show.spec.outputs.values():
            opened.append(open_output(spec, show))
        if preview:
            try:
                opened.append(open_preview(show.rig))
            except (ImportError, OSError) as error:
                raise ShowFileError((), f"--preview: {error}") from None
    except BaseException:
        for output in opened:
            close_quietly(output)
        raise
    return opened


def check_outputs(show: Show) -> None:
    """Makes every output but a preview (which would serve a page) and
    closes it again: its options are checked, and nothing is sent."""
    for spec in show.spec.outputs.values():
        if spec.type != "preview":
            open_output(spec, show).close()


def close_quietly(output: Any) -> None:
    with contextlib.suppress(Exception):
        output.close()


def fail(message: str, stream: TextIO) -> int:
    print(message, file=stream, flush=True)
    return 2


def main(argv: Sequence[str] | None = None, stream: TextIO | None = None) -> int:
    errors = stream if stream is not None else sys.stderr
    args = parser().parse_args(argv)
    spec: ShowSpec | None = None
    with contextlib.ExitStack() as stack:
        try:
            spec = read(args.show)
            show = build_show(spec, args.universes)
            if args.check:
                check_outputs(show)
                print(patch_table(show))
                return 0
            if not spec.outputs and not args.preview:
                raise ShowFileError(("outputs",), "no outputs: add an [outputs.artnet] table (or run with --preview)")
            clock, source = stack.enter_context(clock_and_source(spec.clock))
            outputs = open_outputs(show, args.preview)
        except ShowFileError as error:
            return fail(error.one_line(args.show, spec.text if spec is not None else ""), errors)
        except ShareError as error:
            return fail(f"{PROG}: error: {error}", errors)
        for output in outputs:
            stack.callback(close_quietly, output)
            url = getattr(output, "url", None)
            if url:
                print(f"preview: {url}", file=errors, flush=True)
        stats = play(show, clock, source, outputs, args.seconds, stream=errors)
    print(f"kinetrope: {stats}", file=errors, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
