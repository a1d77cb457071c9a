"""Saving motions to a file and loading them back."""

import json
import os
import re
import stat
import subprocess
import sys
from pathlib import Path

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import kinetrope
from kinetrope_tools import load, load_patterns, load_recordings, save
from support import bits

REPO = Path(__file__).resolve().parents[2]

names = st.from_regex(r"[a-z][a-z0-9_]{0,15}", fullmatch=True)
values = st.floats(min_value=-1.0, max_value=1.0)
patterns = st.builds(
    kinetrope.SampledPattern,
    names,
    st.text(max_size=30),
    st.lists(st.tuples(values, values, values), min_size=1, max_size=40),
)


@st.composite
def recordings(draw):
    axes = draw(st.lists(names, min_size=1, max_size=4, unique=True))
    rows = draw(st.lists(st.lists(values, min_size=len(axes), max_size=len(axes)), min_size=1, max_size=30))
    bpm = draw(st.floats(min_value=3.3376107877608025e-307, allow_infinity=False))
    beat_zero_seconds = draw(st.floats(allow_nan=False, allow_infinity=False))
    start_pip = draw(st.integers(-(2**31), 2**31 - 1 - len(rows)))
    return kinetrope.SampledRecording(draw(names), axes, rows, bpm, beat_zero_seconds, start_pip)


def contents(item):
    """Everything an item holds, doubles as their exact bits."""
    if isinstance(item, kinetrope.SampledPattern):
        table = [bits(*item.sample(pip).as_tuple()) for pip in range(item.period_pips)]
        return ("pattern", item.name, item.description, table)
    first = item.start_pip
    table = [bits(*item.sample(pip)) for pip in range(first, first + item.sample_count)]
    return ("recording", item.name, item.dimensions, bits(item.bpm, item.beat_zero_seconds), first, table)


@settings(max_examples=60, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(items=st.lists(st.one_of(patterns, recordings()), max_size=5))
def test_a_round_trip_keeps_every_item_bit_for_bit(tmp_path, items):
    path = tmp_path / "motions.json"
    save(path, items)
    assert [contents(item) for item in load(path)] == [contents(item) for item in items]


def test_a_library_is_saved_as_its_own_patterns(tmp_path):
    own = [kinetrope.SampledPattern("mine", "d", [(0.5, -0.0, 0.0)]), kinetrope.SampledPattern("also", "", [(0, 0, 1)] * 3)]
    library = kinetrope.PatternLibrary(own)
    save(tmp_path / "library.json", [library])
    assert [contents(p) for p in load(tmp_path / "library.json")] == [contents(p) for p in own]


def test_the_file_is_the_documented_json(tmp_path):
    path = tmp_path / "motions.json"
    save(path, [kinetrope.SampledPattern("nod", "a nod", [(0.1, -0.0, 1)])])
    document = json.loads(path.read_text(encoding="utf-8"))
    assert document == {
        "format": "kinetrope-motions",
        "version": 1,
        "items": [{"kind": "pattern", "name": "nod", "description": "a nod", "samples": [[0.1, -0.0, 1.0]]}],
    }


@pytest.fixture
def old_file(tmp_path):
    path = tmp_path / "motions.json"
    save(path, [kinetrope.SampledPattern("old", "", [(0, 0, 0)])])
    path.chmod(0o640)
    return path, path.read_bytes()


class TornStream:
    """A file stream that dies half way through writing."""

    def __init__(self, stream):
        self.stream = stream

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stream.close()

    def write(self, data):
        self.stream.write(data[: len(data) // 2])
        raise OSError("disk gone")


@pytest.mark.parametrize("failing", ["fdopen", "fsync", "replace"])
def test_a_save_that_fails_part_way_leaves_the_old_file_whole(old_file, monkeypatch, failing):
    path, before = old_file
    real = getattr(os, failing)

    def crash(*args, **kwargs):
        if failing == "fdopen":
            return TornStream(real(*args, **kwargs))
        raise OSError("disk gone")

    monkeypatch.setattr(os, failing, crash)
    with pytest.raises(OSError, match="disk gone"):
        save(path, [kinetrope.SampledPattern("new", "", [(1, 1, 1)] * 1000)])
    assert path.read_bytes() == before
    assert os.listdir(path.parent) == [path.name]


def test_a_save_refused_for_its_items_does_not_touch_the_file(old_file):
    path, before = old_file
    with pytest.raises(TypeError, match="item 1: cannot save a dict"):
        save(path, [kinetrope.SampledPattern("new", "", [(1, 1, 1)]), {"name": "x"}])
    with pytest.raises(TypeError, match="put a single item in a list"):
        save(path, kinetrope.SampledPattern("new", "", [(1, 1, 1)]))
    assert path.read_bytes() == before


def test_a_replaced_file_keeps_its_permissions(old_file):
    path, _ = old_file
    save(path, [])
    assert stat.S_IMODE(path.stat().st_mode) == 0o640 and load(path) == []


def test_a_description_that_is_not_text_cannot_be_saved(tmp_path):
    pattern = kinetrope.SampledPattern("raw", b"\xff", [(0, 0, 0)])
    with pytest.raises(ValueError, match="pattern 'raw': its description is not UTF-8"):
        save(tmp_path / "raw.json", [pattern])
    assert not (tmp_path / "raw.json").exists()


GOOD_PATTERN = '{"kind": "pattern", "name": "p", "description": "", "samples": [[0.0, 0.0, 0.0]]}'
GOOD_RECORDING = (
    '{"kind": "recording", "name": "r", "axes": ["a"], "bpm": 120.0, '
    '"beat_zero_seconds": 0.0, "start_pip": 0, "rows": [[0.5]]}'
)


def document(*items, version="1"):
    return '{"format": "kinetrope-motions", "version": ' + version + ', "items": [' + ", ".join(items) + "]}"


@pytest.mark.parametrize(
    ("text", "reason"),
    [
        (document(GOOD_PATTERN)[:-9], "not a complete JSON document"),
        ("", "not a complete JSON document"),
        ("[" * 100_000, "nested too deeply"),
        ('{"format": "something-else", "version": 1, "items": []}', "not a kinetrope-motions file"),
        (document(version="2"), "format version 2 is not one this reader knows"),
        (document(version="1.0"), "format version 1.0 is not one"),
        (document(GOOD_PATTERN, GOOD_PATTERN.replace("0.0]]", "1.5]]")), r"item 1 \(pattern 'p'\): Pattern samples must be finite"),
        (document(GOOD_PATTERN.replace('"p"', '"P"')), r"item 0 \(pattern 'P'\): Invalid pattern name"),
        (document(GOOD_PATTERN.replace("[[0.0, 0.0, 0.0]]", "[[0.0, 0.0]]")), '"samples" row 0 has 2 numbers, not 3'),
        (document(GOOD_PATTERN.replace("[[0.0, 0.0, 0.0]]", "[[0.0, NaN, 0.0]]")), "NaN is not a number this format allows"),
        (document(GOOD_PATTERN.replace('"description": ""', '"description": 7')), '"description" must be a string'),
        (document(GOOD_PATTERN.replace('"pattern"', '"sketch"')), r"item 0 \('p'\): unknown kind 'sketch'"),
        (document(GOOD_PATTERN.replace('"description": "", ', "")), "missing field 'description'"),
        (document(GOOD_PATTERN.replace('"p", ', '"p", "colour": "red", ')), "unknown field 'colour'"),
        (document(GOOD_PATTERN.replace('"p", ', '"p", "name": "q", ')), "the field 'name' appears twice"),
        (document(GOOD_RECORDING.replace("[[0.5]]", "[[0.5], [0.5, 0.5]]")), r"item 0 \(recording 'r'\): Ragged recording"),
        (document(GOOD_RECORDING.replace("120.0", "0")), "A finite positive BPM and beat origin are required"),
        (document(GOOD_RECORDING.replace('"start_pip": 0', '"start_pip": 2147483648')), "outside the signed 32-bit pip range"),
        (document(GOOD_RECORDING.replace('"start_pip": 0', '"start_pip": 0.0')), '"start_pip" must be a whole number'),
        (document(GOOD_RECORDING.replace('"start_pip": 0', '"start_pip": ' + "9" * 5000)),
         r"item 0 \(recording 'r'\): \"start_pip\": an integer of 5000 digits is beyond the largest double"),
        (document(GOOD_PATTERN.replace("[[0.0, 0.0, 0.0]]", "[[0.0, 1" + "0" * 5000 + ", 0.0]]")),
         r"item 0 \(pattern 'p'\): \"samples\[0\]\": an integer of 5001 digits"),
        (document(GOOD_RECORDING.replace("120.0", str(2**1024))), r"\"bpm\": the integer 1797\d+ has no exact double"),
        (document(GOOD_RECORDING.replace("120.0", str(2**1024 - 2**970))), r"\"bpm\": the integer \d+ has no exact"),
        (document(GOOD_RECORDING.replace("120.0", str(2**1000 + 1))), r"\"bpm\": the integer \d+ has no exact"),
        (document(GOOD_PATTERN.replace("[[0.0, 0.0, 0.0]]", "[[0.0, 1e-400, 0.0]]")),
         r"item 0 \(pattern 'p'\): \"samples\[0\]\": 1e-400 is too small for a double"),
        (document(GOOD_RECORDING.replace("0.0, \"start", "-0.0001e-320, \"start")),
         r"\"beat_zero_seconds\": -0.0001e-320 is too small"),
        (document(GOOD_RECORDING.replace("120.0", "1e400")), r"\"bpm\": 1e400 is beyond the largest double"),
        (document(GOOD_RECORDING.replace("120.0", "[1e400]")), r"\"bpm\" must be a number, not \[.?1e400.?\]"),
        (document(GOOD_PATTERN.replace('"p"', '"\\ud800"')), r"\"name\" holds a lone surrogate \(\\ud800\)"),
        (document(GOOD_RECORDING.replace('["a"]', '["a\\udfff"]')), r"item 0 \(recording 'r'\): \"axes\[0\]\" holds a lone"),
    ],
)
def test_a_bad_file_is_refused_naming_path_item_and_reason(tmp_path, text, reason):
    path = tmp_path / "bad.json"
    path.write_text(text, encoding="utf-8")
    with pytest.raises(ValueError, match=f"^{re.escape(str(path))}: .*{reason}"):
        load(path)


def test_a_file_that_is_not_utf8_is_refused(tmp_path):
    path = tmp_path / "latin.json"
    path.write_bytes(document(GOOD_PATTERN.replace('""', '"caf\xe9"')).encode("latin-1"))
    with pytest.raises(ValueError, match="not UTF-8 text"):
        load(path)


def test_saving_through_a_link_replaces_the_file_it_points_to(old_file):
    path, _ = old_file
    link = path.with_name("link.json")
    link.symlink_to(path.name)
    save(link, [])
    assert link.is_symlink() and load(path) == []


@pytest.mark.parametrize("text", ["0e-400", "-0.0", "0.000E+5", "5e-324", "1.7976931348623157e308", str(2**1023),
                                  str(2**1024 - 2**971), str(-(2**1024 - 2**971))])
def test_every_exact_double_loads(tmp_path, text):
    path = tmp_path / "exact.json"
    path.write_text(document(GOOD_RECORDING.replace("0.0, \"start", text + ', "start')), encoding="utf-8")
    [recording] = load(path)
    assert recording.beat_zero_seconds == float(text)


@pytest.fixture(params=["fifo", "folder", "link to a fifo", "link to a folder"])
def not_a_file(request, tmp_path):
    fifo, folder = tmp_path / "fifo", tmp_path / "folder"
    os.mkfifo(fifo)
    folder.mkdir()
    kind = request.param
    if kind.startswith("link"):
        link = tmp_path / "link.json"
        link.symlink_to(fifo if kind.endswith("fifo") else folder)
        return link
    return fifo if kind == "fifo" else folder


def test_save_replaces_nothing_but_a_regular_file(not_a_file):
    target = os.path.realpath(not_a_file)
    kind = stat.S_IFMT(os.stat(target).st_mode)
    with pytest.raises(ValueError, match=f"^{re.escape(str(not_a_file))}: not a regular file"):
        save(not_a_file, [])
    assert stat.S_IFMT(os.stat(target).st_mode) == kind
    assert sorted(p.name for p in not_a_file.parent.iterdir() if p.name.endswith(".tmp")) == []


@pytest.mark.parametrize("name", ["m" * 241 + ".json", "m" * 250 + ".json", "m" * 255, "é" * 127 + "j",
                                  "€" * 85, "x.json"])
def test_every_legal_name_can_be_saved(tmp_path, name):
    pattern = kinetrope.SampledPattern("p", "", [(0.5, 0.0, 0.0)])
    save(tmp_path / name, [pattern])
    save(tmp_path / name, [pattern, pattern])  # and replaced
    assert len(load_patterns(tmp_path / name)) == 2
    assert [p.name for p in tmp_path.iterdir()] == [name]


def test_a_save_into_a_missing_folder_names_the_path_given(tmp_path):
    target = tmp_path / "missing" / "x.json"
    with pytest.raises(FileNotFoundError) as caught:
        save(target, [])
    assert caught.value.filename == str(target)


def test_typed_loads_pick_their_kind_in_order(tmp_path):
    path = tmp_path / "mixed.json"
    path.write_text(document(GOOD_RECORDING, GOOD_PATTERN, GOOD_RECORDING.replace('"r"', '"s"')), encoding="utf-8")
    assert [item.name for item in load(path)] == ["r", "p", "s"]
    assert [item.name for item in load_patterns(path)] == ["p"]
    assert [item.name for item in load_recordings(path)] == ["r", "s"]
    bad = tmp_path / "bad.json"
    bad.write_text(document(GOOD_PATTERN, GOOD_RECORDING.replace("120.0", "1e400")), encoding="utf-8")
    for typed in (load_patterns, load_recordings):
        with pytest.raises(ValueError, match=r"item 1 \(recording 'r'\)"):
            typed(bad)


def test_the_reference_save_and_load_example_type_checks(tmp_path):
    pytest.importorskip("mypy")
    text = (REPO / "docs" / "api.md").read_text(encoding="utf-8")
    section = text[text.index("### `save(path, items)`"):]
    block = section[section.index("```python\n") + 10:section.index("```\n", section.index("```python\n") + 10)]
    stubs = tmp_path / "stubs"
    stubs.mkdir()
    (stubs / "kinetrope.pyi").write_bytes((REPO / "python" / "kinetrope.pyi").read_bytes())
    program = tmp_path / "example.py"
    program.write_text("import kinetrope\n"
                       "square = kinetrope.SampledPattern('sq', '', [(0.0, 0.0, 0.0)])\n"
                       "fader = kinetrope.SampledRecording('f', ['level'], [[0.0]], 120.0, 0.0, 0)\n" + block,
                       encoding="utf-8")
    env = dict(os.environ, MYPYPATH=f"{stubs}{os.pathsep}{REPO}")
    # A cache kept beside the test folders of every run: NumPy's types are read once, not each time.
    cache = tmp_path.parents[1] / "kinetrope-mypy-cache"
    result = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-error-summary", "--cache-dir",
                             str(cache), str(program)], capture_output=True, text=True, env=env,
                            cwd=tmp_path, timeout=300)
    assert result.returncode == 0, result.stdout + result.stderr
