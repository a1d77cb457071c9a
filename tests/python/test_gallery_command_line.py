"""The gallery's command line: refusals are one line and exit 2, and what it
prints reads right for one item or a small page."""

import json
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

pytest.importorskip("matplotlib", reason="matplotlib is not installed")

CHECKOUT = dict(os.environ, PYTHONPATH=str(Path(__file__).resolve().parents[2]))


def gallery(*args, cwd):
    return subprocess.run([sys.executable, "-m", "kinetrope_tools.gallery", *map(str, args)], cwd=cwd,
                          capture_output=True, text=True, timeout=300, env=CHECKOUT)


@pytest.mark.parametrize("args, message", [
    (["sheets", "circle", "--dpi", "-5"], "argument --dpi: must be positive: '-5'"),
    (["sheets", "circle", "--dpi", "0"], "argument --dpi: must be positive: '0'"),
    (["motion", "circle", "--jobs", "0"], "argument --jobs: must be positive: '0'"),
    (["page", "circle", "--jobs", "-3"], "argument --jobs: must be positive: '-3'"),
    (["sheets", "circle", "--dpi", "1.5"], "argument --dpi: not a whole number: '1.5'"),
    (["sheets", "circle", "--out", "/proc/nope"], "error: --out /proc/nope: cannot make the folder"),
    (["motion", "circle", "--out", "/proc/nope/deeper"], "error: --out /proc/nope/deeper: cannot make the folder"),
    (["sheets", "--from", "missing.json", "--out", "/proc/nope"], "error: --out /proc/nope: cannot make"),
    (["sheets", "no_such_motion"], "no_such_motion"),
])
def test_each_refusal_is_one_line_and_exit_2(tmp_path, args, message):
    done = gallery(*args, cwd=tmp_path)
    assert done.returncode == 2
    assert len(done.stderr.splitlines()) == 1 and message in done.stderr and "Traceback" not in done.stderr
    assert list(tmp_path.iterdir()) == []


def test_help_describes_the_command_in_whole_sentences(tmp_path):
    done = gallery("--help", cwd=tmp_path)
    description = " ".join(done.stdout.split("\n\n")[1].split())
    assert description.endswith("single-motion pictures and a self-contained preview page.")


def test_one_picture_and_a_small_page_are_told_as_such(tmp_path):
    done = gallery("motion", "circle", "--format", "png", "--out", tmp_path, cwd=tmp_path)
    assert done.returncode == 0 and done.stdout.startswith(f"1 picture in {tmp_path / 'motions'}:"), done.stdout
    done = gallery("page", "circle", "--out", tmp_path, cwd=tmp_path)
    size = (tmp_path / "index.html").stat().st_size
    assert size < 1_000_000 and done.stdout == f"page with 1 motion: {tmp_path / 'index.html'} ({size / 1e3:.0f} KB)\n"


def test_the_page_draws_a_motion_along_one_axis_against_time(tmp_path):
    done = gallery("page", "circle", "sway", "env_lift_hold_drop", "helix", "--out", tmp_path, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    text = (tmp_path / "index.html").read_text(encoding="utf-8")
    data = json.loads(re.search(r'<script id="motion-data" type="application/json">(.*?)</script>', text, re.S)[1])
    assert {m["name"]: m["timeAxis"] for m in data["motions"]} == {
        "circle": None, "sway": 0, "env_lift_hold_drop": 1, "helix": None}
