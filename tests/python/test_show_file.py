"""Show files: every fault is one line naming the file, the line and the key,
with status 2 and nothing sent; a good file prints its patch."""

import io
import subprocess
import sys
from pathlib import Path

import pytest

from kinetrope_tools.show.cli import main
from kinetrope_tools.show.keylines import key_at, line_of
from kinetrope_tools.show.share import parse_universes, spans

ROOT = Path(__file__).resolve().parents[2]

GOOD = """\
fps = 44

[clock]
source = "internal"
bpm = 128

[profiles.head]
file = "head.toml"

[profiles.pixel]
channels = ["red", "green", "blue"]

[groups.heads]
profile = "head"
count = 4
universe = 1
address = 1
motion = "circle"
size = 0.8

[groups.bar]
profile = "pixel"
count = 8
universe = 2
motion = "bounce"
red = "x"
blue = ["x", 0, 1]

[outputs.artnet]
address = "127.0.0.1"

[outputs.desk]
type = "osc"
port = 9000
"""

HEAD = 'name = "Head"\nchannels = ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer"]\n'


def show_folder(tmp_path, text, head=HEAD):
    (tmp_path / "head.toml").write_text(head)
    path = tmp_path / "show.toml"
    path.write_text(text) if isinstance(text, str) else path.write_bytes(text)
    return path


def run(path, *extra):
    errors = io.StringIO()
    status = main([str(path), "--check", *extra], errors)
    return status, errors.getvalue()


# (old text, new text, key the message names, text on the line it names, words of the reason)
FAULTS = [
    ("count = 4", "count = 4 x", "groups.heads.count", "count = 4 x", "not TOML"),
    ('[groups.bar]', '[groups.bar', "", "[groups.bar", "not TOML"),
    ("fps = 44", "fps = 0", "fps", "fps = 0", "above 0"),
    ("fps = 44", 'fps = "fast"', "fps", "fps =", "must be a number"),
    ("fps = 44", "fps = 44\nbmp = 128", "bmp", "bmp", "unknown key"),
    ('source = "internal"', 'source = "wall"', "clock.source", "source =", "internal, tap, link, midi"),
    ("bpm = 128", "bpm = nan", "clock.bpm", "bpm = nan", "above 0"),
    ("bpm = 128", "bpm = true", "clock.bpm", "bpm = true", "must be a number"),
    ('source = "internal"', 'source = "midi"', "clock", "[clock]", "either port"),
    ('source = "internal"', 'source = "midi"\nport = "a"\nsocket = "b:1"', "clock", "[clock]", "either port"),
    ('source = "internal"', 'source = "midi"\nsocket = "b:x"', "clock.socket", "socket =", "HOST:PORT"),
    ("bpm = 128", 'bpm = 128\nsocket = "b:1"', "clock.socket", "socket =", "only a midi clock"),
    ("bpm = 128", 'bpm = 128\nport = "x"', "clock.port", "port = \"x\"", "only a midi clock"),
    ("bpm = 128", "bpm = 128\nquantum = 16", "clock.quantum", "quantum = 16", "only a link clock"),
    ('source = "internal"', 'source = "link"\nquantum = 0', "clock.quantum", "quantum = 0", "above 0"),
    ("bpm = 128", "bpm = 128\nbeats_per_bar = 0", "clock.beats_per_bar", "beats_per_bar", "from 1 to 64"),
    ('file = "head.toml"', 'file = "gone.toml"', "profiles.head.file", "gone.toml", "no such file"),
    ('file = "head.toml"', 'file = "head.json"', "profiles.head.file", "head.json", ".toml or .qxf"),
    ('file = "head.toml"', 'file = "head.toml"\nmode = "16 bit"', "profiles.head.mode", "mode =", ".qxf"),
    ('channels = ["red", "green", "blue"]', 'channels = ["red", "purple"]', "profiles.pixel",
     "[profiles.pixel]", "unknown role 'purple'"),
    ('channels = ["red", "green", "blue"]', 'channels = ["red"]\nspeed = 3', "profiles.pixel.speed",
     "speed = 3", "unknown key 'speed'"),
    ('profile = "head"', 'profile = "spot"', "groups.heads.profile", 'profile = "spot"', "no profile 'spot'"),
    ("count = 4", "count = 0", "groups.heads.count", "count = 0", "from 1 to"),
    ("count = 4", "count = true", "groups.heads.count", "count = true", "whole number"),
    ("count = 4", "count = 2.5", "groups.heads.count", "count = 2.5", "whole number"),
    ("count = 4", "", "groups.heads", "[groups.heads]", "missing key 'count'"),
    ("address = 1", "address = 513", "groups.heads.address", "address = 513", "from 1 to 512"),
    ("universe = 2", "universe = -1", "groups.bar.universe", "universe = -1", "from 0 to"),
    ('motion = "circle"', "motion = 5", "groups.heads.motion", "motion = 5", "must be a string"),
    ('motion = "circle"', 'motion = "no_such_motion"', "groups.heads.motion", 'motion = "no_such',
     "no_such_motion"),
    ("size = 0.8", "size = 0.8\nrate = 0", "groups.heads.rate", "rate = 0", "rate must not be zero"),
    ("size = 0.8", "size = 0.8\nspead = 1", "groups.heads.spead", "spead = 1", "unknown option 'spead'"),
    ("size = 0.8", 'size = 0.8\npan = "w"', "groups.heads.pan", 'pan = "w"', "pan must be"),
    ('red = "x"', 'red = "x"\nwhite = 0.5', "groups.bar.white", "white = 0.5", "no white channel"),
    ("universe = 2", "universe = 1\naddress = 20", "groups.bar", "[groups.bar]", "patch conflict"),
    ("count = 8", "count = 200", "groups.bar", "[groups.bar]", "past slot 512"),
    ("[outputs.desk]\ntype", "[outputs.desk]\nkind = 1\ntype", "outputs.desk.kind", "kind = 1", "unknown key"),
    ('type = "osc"', 'type = "dmx"', "outputs.desk.type", 'type = "dmx"', "artnet, sacn, osc, preview"),
    ("port = 9000", "port = 70000", "outputs.desk.port", "port = 70000", "from 1 to 65535"),
    ("port = 9000", 'port = 9000\nprefix = "desk"', "outputs.desk.prefix", "prefix =", "starts with '/'"),
    ('[outputs.desk]\ntype = "osc"', '[outputs.desk]\naddress = "x"', "outputs.desk", "[outputs.desk]",
     "missing key 'type'"),
    ('address = "127.0.0.1"', 'address = "127.0.0.1"\nttl = 3', "outputs.artnet.ttl", "ttl = 3",
     "unknown option 'ttl'"),
]


@pytest.mark.parametrize("old, new, key, line_text, reason", FAULTS, ids=[fault[1] for fault in FAULTS])
def test_a_fault_is_one_line_naming_file_line_and_key(tmp_path, old, new, key, line_text, reason):
    assert old in GOOD
    text = GOOD.replace(old, new, 1)
    path = show_folder(tmp_path, text)
    status, errors = run(path)
    line = next(number for number, content in enumerate(text.splitlines(), 1) if line_text in content)
    assert status == 2
    assert errors.count("\n") == 1 and errors.endswith("\n"), errors
    assert errors.startswith(f"{path}:{line}:"), errors
    assert (f": {key}: " in errors) if key else True, errors
    assert reason in errors, errors


@pytest.mark.parametrize("content, reason", [
    (None, "cannot read: No such file"),
    (b"fps = 44\n\xff\xfe", "not UTF-8"),
    ("fps = 44\n", "no profiles"),
    (GOOD.split("[groups.heads]")[0], "no groups"),
    ("[profiles]\nhead = 3\n" + GOOD.split("[profiles.head]")[1], "must be a table"),
])
def test_whole_file_faults(tmp_path, content, reason):
    path = show_folder(tmp_path, content) if content is not None else tmp_path / "missing.toml"
    status, errors = run(path)
    assert status == 2 and errors.count("\n") == 1 and errors.startswith(str(path)) and reason in errors, errors


@pytest.mark.parametrize("arguments, reason", [
    (["--universes", "8-1"], "a range runs upwards"),
    (["--universes", "1-x"], "not a universe or a range"),
    (["--universes", "5-7"], "nothing is patched there; the patch uses universes 1-2"),
    (["--seconds", "-1"], "positive number of seconds"),
    (["--seconds", "inf"], "positive number of seconds"),
    (["--frobnicate"], "unrecognized arguments"),
])
def test_bad_arguments_are_one_line_and_status_2(tmp_path, arguments, reason):
    path = show_folder(tmp_path, GOOD)
    errors = io.StringIO()
    try:
        status = main([str(path), "--check", *arguments], errors)
        text = errors.getvalue()
    except SystemExit as exit:
        status = exit.code
        text = ""
    if not text:  # argparse writes to sys.stderr itself
        result = subprocess.run([sys.executable, "-m", "kinetrope_tools.show", str(path), "--check", *arguments],
                                cwd=ROOT, capture_output=True, text=True, timeout=60)
        status, text = result.returncode, result.stderr
    assert status == 2 and text.count("\n") == 1 and reason in text, text


def test_check_prints_the_patch_of_the_share(tmp_path, capsys):
    path = show_folder(tmp_path, GOOD)
    assert main([str(path), "--check"]) == 0
    whole = capsys.readouterr().out.splitlines()
    assert whole[0].startswith(f"{path}: 12 fixtures in 2 groups on universes 1-2 (of 1-2); 44 fps; clock internal")
    assert whole[1].split() == ["universe", "address", "fixture", "profile", "channels"]
    assert [row.split() for row in whole[2:4]] == [["1", "1-5", "heads[0]", "Head", "5"],
                                                   ["1", "6-10", "heads[1]", "Head", "5"]]
    assert whole[-1].split() == ["2", "22-24", "bar[7]", "pixel", "3"]
    assert main([str(path), "--check", "--universes", "2-9"]) == 0
    share = capsys.readouterr().out.splitlines()
    assert "8 fixtures in 1 group on universes 2 (of 1-2)" in share[0]
    assert [row.split() for row in share[2:]] == [row.split() for row in whole[6:]]


def test_the_command_runs_as_a_module(tmp_path):
    path = show_folder(tmp_path, GOOD.replace("count = 4", "count = 0"))
    result = subprocess.run([sys.executable, "-m", "kinetrope_tools.show", str(path)], cwd=ROOT,
                            capture_output=True, text=True, timeout=60)
    assert result.returncode == 2 and result.stdout == ""
    assert result.stderr == f"{path}:15: groups.heads.count: must be from 1 to 65536, not 0\n"


@pytest.mark.parametrize("text, key, line", [
    ('a = 1\n[t]\nb = """\nc = 2\n"""\nd = [\n  1,\n]\n"e.f".g = 3\n[[arr]]\nx=1\n[[arr]]\ny = 2 # c\n',
     ("t", "e.f", "g"), 9),
    ("[t]\nb = '''\nc = 2\n'''\nc = 3\n", ("t", "c"), 5),
    ("[[arr]]\nx = 1\n[[arr]]\ny = 2\n", ("arr", 1, "y"), 4),
    ("[t]\nv = { a = 1 }\n", ("t", "v", "a"), 2),
    ("[t.u]\n", ("t", "u", "missing"), 1),
])
def test_key_lines_skip_strings_and_arrays(text, key, line):
    assert line_of(text, key) == line
    assert key_at(text, line)[:len(key) - 1] == key[:len(key) - 1]


@pytest.mark.parametrize("text, universes", [
    ("1-8", set(range(1, 9))), ("3", {3}), ("1-2, 5,7-8", {1, 2, 5, 7, 8}), ("0", {0}),
])
def test_universe_shares_round_trip(text, universes):
    assert parse_universes(text) == universes
    assert parse_universes(spans(universes)) == universes


QXF = Path("/usr/share/qlcplus/fixtures/Martin/Martin-MAC-250-Wash.qxf")


@pytest.mark.skipif(not QXF.is_file(), reason="qlcplus-data (the fixture library) is not installed")
@pytest.mark.parametrize("mode, status, found", [
    ("16 Ex (16 Bit Extended)", 0, "1-19  heads[0]"),
    (None, 0, "1-13  heads[0]"),
    ("nope", 2, ":9: profiles.head.mode: <Mode>: no mode named 'nope'; modes: 16 Bt"),
])
def test_a_qxf_profile_takes_its_mode_from_the_show(tmp_path, capsys, mode, status, found):
    profile = f'file = "{QXF}"' + (f'\nmode = "{mode}"' if mode else "")
    path = show_folder(tmp_path, GOOD.replace('file = "head.toml"', profile))
    errors = io.StringIO()
    assert main([str(path), "--check"], errors) == status
    assert found in (capsys.readouterr().out if status == 0 else errors.getvalue())
