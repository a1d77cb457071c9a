"""The gallery drawing the user's own patterns."""

import json
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import pytest

import kinetrope
from kinetrope_tools import pattern_from_keyframes, save

pytest.importorskip("matplotlib", reason="matplotlib is not installed")

from kinetrope_tools.gallery.__main__ import main  # noqa: E402
from kinetrope_tools.gallery.saved import contact_sheet  # noqa: E402

REPO = Path(__file__).resolve().parents[2]


def loop(name, z=0.0):
    return pattern_from_keyframes(name, "a test loop", 96, [(0, (0, 0, 0)), (32, (1, -0.5, z)), (64, (-1, 0.5, 0))])


@pytest.fixture
def saved(tmp_path):
    path = tmp_path / "show.json"
    recording = kinetrope.SampledRecording("take", ["a"], [[0.5]], 120.0)
    save(path, [loop("flat_nod"), recording, loop("deep_nod", z=0.5)])
    return path


def test_a_contact_sheet_of_given_patterns(tmp_path):
    written = contact_sheet([loop("one"), loop("two", z=-1.0)], tmp_path / "mine", title="my loops")
    assert written == [tmp_path / "mine.png", tmp_path / "mine.svg"]
    svg = written[1].read_text(encoding="utf-8")
    ElementTree.fromstring(svg)
    assert ">one<" in svg and ">two<" in svg and "my loops: 2 patterns" in svg
    assert "96 pips · 1.5 beats · xyz" in svg and "96 pips · 1.5 beats · xy<" in svg


def test_many_patterns_spread_over_numbered_sheets(tmp_path):
    written = contact_sheet([loop(f"p{i}") for i in range(33)], tmp_path / "many", formats=["png"])
    assert written == [tmp_path / "many-1.png", tmp_path / "many-2.png"]


def test_from_file_draws_its_patterns_as_a_python_module(saved, tmp_path):
    result = subprocess.run(
        [sys.executable, "-m", "kinetrope_tools.gallery", "--from", saved, "--out", tmp_path / "out", "--format", "svg"],
        cwd=REPO, capture_output=True, text=True, timeout=300,
    )
    assert result.returncode == 0, result.stderr
    assert "1 recording left out" in result.stderr
    svg = (tmp_path / "out" / "sheets" / "show.svg").read_text(encoding="utf-8")
    assert ">flat_nod<" in svg and ">deep_nod<" in svg


def test_from_file_lists_and_selects_its_patterns(saved, capsys):
    assert main(["list", "--from", str(saved), "--json", "--dims", "3"]) == 0
    listed = json.loads(capsys.readouterr().out)
    assert listed == [{"name": "deep_nod", "description": "a test loop", "period_pips": 96, "dimensions": 3}]


@pytest.mark.parametrize(
    ("args", "message"),
    [
        (["list", "no_such"], "not in .*show.json: no_such"),
        (["page"], "--from works with sheets, motion, list, not page"),
        (["list", "--pack", "initial"], "--pack and --family select built-in motions"),
    ],
)
def test_from_file_refuses_what_it_cannot_draw(saved, capsys, args, message):
    assert main([*args, "--from", str(saved)]) == 2
    assert re.search(message, capsys.readouterr().err)


def test_from_a_bad_file_fails_with_its_reason(tmp_path, capsys):
    bad = tmp_path / "bad.json"
    bad.write_text('{"format": "kinetrope-motions", "version": 9, "items": []}', encoding="utf-8")
    assert main(["--from", str(bad)]) == 2
    assert "format version 9" in capsys.readouterr().err
