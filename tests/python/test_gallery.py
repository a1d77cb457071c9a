"""The gallery tools: contact sheets, motion pictures and the preview page,
which is driven in headless Chromium over the DevTools protocol (through
--remote-debugging-pipe, so no port and no extra package is needed)."""

import base64
import json
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

import pytest

import kinetrope
from kinetrope_tools._headless import Chromium, find_chromium

FLOAT32_TOLERANCE = 1e-6


def run_gallery(*args, check=True):
    """Run the installed gallery command with this interpreter, away from the checkout."""
    return subprocess.run(
        [sys.executable, "-m", "kinetrope_tools.gallery", *map(str, args)],
        cwd=tempfile.gettempdir(), capture_output=True, text=True, check=check, timeout=300,
    )


@pytest.fixture(scope="module")
def matplotlib_installed():
    pytest.importorskip("matplotlib", reason="matplotlib is not installed")


@pytest.fixture(scope="module")
def numpy_installed():
    pytest.importorskip("numpy", reason="numpy is not installed")


@pytest.fixture(scope="module")
def page(numpy_installed, tmp_path_factory):
    out = tmp_path_factory.mktemp("page")
    run_gallery("page", "--out", out)
    return out / "index.html"


def embedded_data(page_path):
    text = page_path.read_text(encoding="utf-8")
    match = re.search(r'<script id="motion-data" type="application/json">(.*?)</script>', text, re.S)
    return json.loads(match.group(1))


# ---- grouping -----------------------------------------------------------------


def test_list_covers_the_catalogue_in_order_with_packs_and_families(numpy_installed):
    listed = json.loads(run_gallery("list", "--json").stdout)
    rows = kinetrope.catalogue()
    assert [m["name"] for m in listed] == [r["name"] for r in rows]
    assert [(m["period_pips"], m["dimensions"]) for m in listed] == [(r["period_pips"], r["dimensions"]) for r in rows]
    for motion in listed[:15]:
        assert (motion["pack"], motion["family"]) == ("computed", "computed")
    for motion in listed[15:]:
        assert motion["name"].startswith(motion["family"] + "_")
        assert motion["pack"] != "computed"


# (name, catalogue row from 0, pack, family): registry position = row - 14.
GROUPING_CASES = [
    ("bounce", 0, "computed", "computed"),
    ("five_stroke_roll", 14, "computed", "computed"),
    ("lfo_breathe", 15, "initial", "lfo"),
    ("groove_b_grid", 42, "initial", "groove"),
    ("lfo_twin_swell", 43, "expansion", "lfo"),
    ("rhythm_three_four_five", 66, "expansion", "rhythm"),
    ("wave_pinched", 67, "atlas", "wave"),
    ("ribbon_1_2_slim", 323, "continuum", "ribbon"),
    ("burst_5_6_2", 642, "continuum", "burst"),
    ("beat_four_floor_bounce", 643, "club", "beat_four_floor"),
    ("beat_four_floor_surge", 787, "dancefloor", "beat_four_floor"),
    ("beat_dembow_push_ricochet", 1730, "dancefloor", "beat_dembow_push"),
    ("beat_solo", 1731, "other", "beat"),
]


@pytest.fixture(scope="module")
def grouping(numpy_installed):
    """Pack and family of each case, from the gallery's own rule, in one process."""
    script = (
        "import json, sys\n"
        "from kinetrope_tools.gallery.motions import family_of, pack_of\n"
        "cases = json.loads(sys.argv[1])\n"
        "print(json.dumps([[pack_of(row), family_of(name, row)] for name, row in cases]))\n"
    )
    cases = json.dumps([[name, row] for name, row, _, _ in GROUPING_CASES])
    result = subprocess.run([sys.executable, "-c", script, cases], cwd=tempfile.gettempdir(), capture_output=True, text=True, check=True)
    return dict(zip((case[0] for case in GROUPING_CASES), map(tuple, json.loads(result.stdout))))


@pytest.mark.parametrize("name, row, pack, family", GROUPING_CASES)
def test_grouping_rule(grouping, name, row, pack, family):
    assert grouping[name] == (pack, family)


@pytest.mark.parametrize(
    "args, expected",
    [
        (["--pack", "computed", "--dims", "3"], ["helix"]),
        (["--family", "computed", "--dims", "1"], ["bounce", "sway"]),
        (["flam", "bounce"], ["bounce", "flam"]),  # catalogue order, not argument order
    ],
)
def test_selection_filters_combine(numpy_installed, args, expected):
    listed = json.loads(run_gallery("list", "--json", *args).stdout)
    assert [m["name"] for m in listed] == expected


@pytest.mark.parametrize(
    "args, message",
    [(["no_such_motion"], "not in the catalogue: no_such_motion"), (["--family", "nothing_here"], "no motion matches")],
)
def test_bad_selection_fails_with_a_message(numpy_installed, args, message):
    result = run_gallery("list", *args, check=False)
    assert result.returncode == 2
    assert message in result.stderr


# ---- pictures -------------------------------------------------------------------


def test_family_sheet_is_written_as_png_and_svg(matplotlib_installed, tmp_path):
    result = run_gallery("sheets", "--family", "computed", "--out", tmp_path)
    png, svg = tmp_path / "sheets" / "computed.png", tmp_path / "sheets" / "computed.svg"
    assert png.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    width, height = struct.unpack(">II", png.read_bytes()[16:24])
    assert width > 600 and height > 900  # four columns, four rows of panels
    svg_text = svg.read_text(encoding="utf-8")
    ElementTree.fromstring(svg_text)
    for name in ("bounce", "helix", "five_stroke_roll"):
        assert f">{name}<" in svg_text  # panel titles stay text
    assert "15 motions" in result.stdout


def test_motion_pictures_only_in_the_requested_format(matplotlib_installed, tmp_path):
    run_gallery("motion", "helix", "sway", "--format", "png", "--out", tmp_path, "--jobs", 1)
    written = sorted(p.name for p in (tmp_path / "motions").iterdir())
    assert written == ["helix.png", "sway.png"]
    assert all((tmp_path / "motions" / name).stat().st_size > 10_000 for name in written)


# ---- the page's embedded data ------------------------------------------------------


def test_page_embeds_every_motion_with_its_table(page):
    data = embedded_data(page)
    rows = kinetrope.catalogue()
    assert [(m["name"], m["description"], m["period"], m["dims"]) for m in data["motions"]] == [
        (r["name"], r["description"], r["period_pips"], r["dimensions"]) for r in rows
    ]
    raw = base64.b64decode(data["values"])
    values = struct.unpack(f"<{len(raw) // 4}f", raw)
    assert len(values) == sum(m["period"] * m["dims"] for m in data["motions"])
    for motion in data["motions"]:
        for pip in {0, 1, motion["period"] // 3, motion["period"] - 1}:
            start = motion["offset"] + pip * motion["dims"]
            stored = values[start : start + motion["dims"]]
            expected = kinetrope.sample(motion["name"], pip).as_tuple()[: motion["dims"]]
            assert stored == pytest.approx(expected, abs=FLOAT32_TOLERANCE), (motion["name"], pip)


def test_page_text_cannot_close_its_script_element(page):
    text = page.read_text(encoding="utf-8")
    data_block = text.split('<script id="motion-data" type="application/json">', 1)[1].split("</script>", 1)[0]
    assert "</" not in data_block


# ---- the page in headless Chromium ------------------------------------------------------


@pytest.fixture
def browser():
    if find_chromium() is None:
        pytest.skip("chromium is not installed (apt-get install chromium)")
    with Chromium() as chromium:
        yield chromium


def assert_dots_at(tab, names, pip):
    """Every named card's dot was drawn at ``pip`` where the module puts it."""
    for name in names:
        assert tab.evaluate(f"kinetropeGallery.dotPip({json.dumps(name)})") == pip
        drawn = tab.evaluate(f"kinetropeGallery.dotPosition({json.dumps(name)})")
        assert drawn == pytest.approx(kinetrope.sample(name, pip).as_tuple(), abs=FLOAT32_TOLERANCE), name


@pytest.mark.parametrize("motion, bpm, beats", [("helix", 150, 3), ("single_paradiddle", 96, 5)])
def test_page_plays_selected_motions_in_sync(page, browser, motion, bpm, beats):
    tab = browser.open(page.as_uri())
    tab.wait_until("window.kinetropeGallery !== undefined && kinetropeGallery.ready")

    tab.evaluate("document.getElementById('search').focus()")
    tab.call("Input.insertText", text=motion)
    assert motion in tab.evaluate("kinetropeGallery.shown()")
    assert tab.evaluate(f"!document.querySelector('#motion-list li[data-name=\"{motion}\"]').hidden")
    tab.evaluate(f"document.querySelector('#motion-list li[data-name=\"{motion}\"]').click()")
    selected = tab.evaluate("kinetropeGallery.selected()")
    assert motion in selected and len(selected) > 1  # plays beside the motions shown at start

    tab.evaluate(f"(t => {{ t.value = '{bpm}'; t.dispatchEvent(new Event('change')); }})(document.getElementById('tempo'))")
    assert tab.evaluate("kinetropeGallery.tempo()") == bpm
    assert tab.evaluate("kinetropeGallery.currentPip()") == 0

    # Virtual time makes "a known number of beats" exact: the clock only moves
    # by the budget granted, however slow the machine is.
    tab.call("Emulation.setVirtualTimePolicy", policy="pause")
    tab.evaluate("document.getElementById('play').click()")
    assert tab.evaluate("kinetropeGallery.isPlaying()")
    budget_ms = beats * 60000 / bpm
    assert budget_ms == int(budget_ms)  # the page counts elapsed time in whole milliseconds
    tab.call("Emulation.setVirtualTimePolicy", policy="advance", budget=budget_ms)
    browser.wait_for_event("Emulation.virtualTimeBudgetExpired")
    tab.evaluate("document.getElementById('play').click()")  # pause, which redraws at the clock's pip

    pip = beats * kinetrope.PIPS_PER_BEAT
    assert not tab.evaluate("kinetropeGallery.isPlaying()")
    assert tab.evaluate("kinetropeGallery.currentPip()") == pip
    assert_dots_at(tab, selected, pip)
    readout = tab.evaluate("document.getElementById('pip-readout').textContent")
    assert readout == f"pip {pip} · bar {beats // 4 + 1} · beat {beats % 4 + 1}"

    scrub_pip = 77
    tab.evaluate(f"(s => {{ s.value = '{scrub_pip}'; s.dispatchEvent(new Event('input')); }})(document.getElementById('scrubber'))")
    assert tab.evaluate("kinetropeGallery.currentPip()") == scrub_pip
    assert_dots_at(tab, selected, scrub_pip)


def test_page_hook_reads_any_pip_like_the_module(page, browser):
    tab = browser.open(page.as_uri())
    tab.wait_until("window.kinetropeGallery !== undefined && kinetropeGallery.ready")
    names = [row["name"] for row in kinetrope.catalogue()][:: max(1, len(kinetrope.catalogue()) // 40)]
    pips = [-1, 0, 63, 64, 1000, -2147483648, 2147483647]
    got = tab.evaluate(f"{json.dumps(names)}.map(n => {json.dumps(pips)}.map(p => kinetropeGallery.positionOf(n, p)))")
    for name, positions in zip(names, got):
        expected = [kinetrope.sample(name, pip).as_tuple() for pip in pips]
        assert positions == [pytest.approx(e, abs=FLOAT32_TOLERANCE) for e in expected], name
    assert tab.evaluate("kinetropeGallery.positionOf('no_such_motion', 0)") is None
