"""Fixture profiles from Python, from our TOML format and from real .qxf definitions."""

import subprocess
from pathlib import Path

import pytest

from kinetrope_tools.rig import Fixture

QXF = Path("/usr/share/qlcplus/fixtures")


def installed_definitions():
    try:
        listing = subprocess.run(["dpkg", "-L", "qlcplus-data"], capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return []
    return [Path(line) for line in listing.split() if line.endswith(".qxf")]


needs_library = pytest.mark.skipif(not QXF.is_dir(), reason="qlcplus-data (the fixture library) is not installed")


@pytest.mark.parametrize("layout, options, message", [
    ([], {}, "1 to 512 channels"),
    (["pan", "pan"], {}, "'pan' appears 2 times"),
    (["pan_fine"], {}, "'pan_fine' without 'pan'"),
    (["laser"], {}, "unknown role 'laser'"),
    ([("dimmer", 256)], {}, "0..255"),
    ([{"role": "dimmer", "level": 3}], {}, "'role' and 'value'"),
    (["pan"], {"pan_range": 0}, "more than 0 degrees"),
    (["pan"], {"tilt_range": float("nan")}, "finite"),
    (["pan"], {"home": (600, 10)}, "outside pan 0..540"),
    (["pan"], {"home": (10,)}, "home must be (pan, tilt)"),
    (["pan"], {"defaults": {"shutter": -1}}, "default shutter"),
    (["pan"], {"defaults": {"zoom": 1}}, "unknown role 'zoom'"),
    (["pan"], {"swap": 1}, "swap must be true or false"),
])
def test_bad_profiles_are_refused_by_name(layout, options, message):
    with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(")", r"\)")):
        Fixture("Spot", layout, **options)


def test_toml_profile_reads_like_the_python_one(tmp_path):
    path = tmp_path / "spot.toml"
    path.write_text('name = "Spot"\n'
                    'channels = ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", "shutter",\n'
                    '            { role = "constant", value = 32 }]\n'
                    "pan_range = 540\ntilt_range = 270\nhome = [200, 100]\n"
                    "defaults = { shutter = 255 }\n")
    spot = Fixture.from_toml(path)
    same = Fixture("Spot", ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", ("shutter", 255), ("constant", 32)],
                   home=(200, 100))
    assert (spot.layout, spot.home, spot.channels) == (same.layout, same.home, 7)


@pytest.mark.parametrize("text, message", [
    ('name = "x"\nchannels = [', "not a TOML file"),
    ('channels = ["pan"]', "missing key 'name'"),
    ('name = "x"\nchannels = ["pan"]\nzoom = 3', "unknown key 'zoom'"),
    ('name = "x"\nchannels = "pan"', "channels must be a list"),
    ('name = "x"\nchannels = ["pan", "tilt", "pan"]', "'pan' appears 2 times"),
])
def test_bad_toml_profiles_name_the_file(tmp_path, text, message):
    path = tmp_path / "bad.toml"
    path.write_text(text)
    with pytest.raises(ValueError, match=message) as caught:
        Fixture.from_toml(path)
    assert str(path) in str(caught.value)


# A dozen real definitions covering the variations: 16-bit pan/tilt by preset,
# by group and byte (older files), 8-bit pan/tilt, colour by <Colour>, fine
# colour channels, master dimmer, a shutter resting open, channel defaults,
# physical ranges per fixture and per mode, a multi-head bar, modes by name.
REAL = [
    ("Martin/Martin-MAC-250-Wash.qxf", None, 13, (540, 270),
     {0: ("shutter", 20), 1: ("dimmer", 0), 7: ("pan", 0), 8: ("pan_fine", 0), 10: ("tilt_fine", 0)}),
    ("Martin/Martin-MAC-250-Wash.qxf", "16 Ex (16 Bit Extended)", 19, (540, 270),
     {2: ("dimmer_fine", 0), 13: ("pan", 0), 16: ("tilt_fine", 0)}),
    ("Martin/Martin-MAC500.qxf", "DMX1", 12, (440, 306), {10: ("pan", 0), 11: ("tilt", 0)}),
    ("Martin/Martin-MAC500.qxf", "DMX2", 14, (440, 306), {11: ("pan_fine", 0), 13: ("tilt_fine", 0)}),
    ("Lanta/Lanta-Orion-Link-V2.qxf", "4 Channel", 4, (540, 270),
     {0: ("red", 0), 1: ("green", 0), 2: ("blue", 0), 3: ("dimmer", 0)}),
    ("Cameo/Cameo-F2-T-PO.qxf", "2 Channel", 2, (540, 270), {0: ("dimmer", 0), 1: ("dimmer_fine", 0)}),
    ("GLP/GLP-YPOC250Pro.qxf", None, 16, (530, 280), {0: ("pan", 0), 8: ("shutter", 240), 9: ("dimmer", 0)}),
    ("GLP/GLP-Impression-X4.qxf", "Extended", 21, (623, 295),
     {0: ("pan", 128), 2: ("tilt", 128), 5: ("red_fine", 0), 10: ("white", 0), 14: ("dimmer_fine", 0)}),
    ("GLP/GLP-Impression.qxf", "Compressed", 10, (660, 300), {5: ("red", 0), 8: ("shutter", 240)}),
    ("Litecraft/Litecraft-PowerBar-4.qxf", "6 channel mode", 6, (540, 270),
     {3: ("white", 0), 4: ("dimmer", 0), 5: ("shutter", 0)}),
    ("Stairville/Stairville-MH-X60th-LED-Spot.qxf", None, None, None, {}),
    ("SGM/SGM-Idea-Spot-250.qxf", None, None, None, {}),
    ("Coemar/Coemar-LEDko-FullSpectrum-6.qxf", None, None, None, {}),
]


@needs_library
@pytest.mark.parametrize("file, mode, channels, ranges, roles", REAL)
def test_real_definitions(file, mode, channels, ranges, roles):
    fixture = Fixture.from_qxf(QXF / file, mode=mode)
    if channels is not None:
        assert fixture.channels == channels
        assert (fixture.pan_range, fixture.tilt_range) == ranges
    assert {offset: tuple(fixture.layout[offset]) for offset in roles} == roles
    found = [channel.role for channel in fixture.layout]
    # group-and-byte files (no presets) give 16-bit pan and tilt, and colour by <Colour>
    if file.startswith(("Stairville", "SGM")):
        assert {"pan", "pan_fine", "tilt", "tilt_fine"} <= set(found)
    if file.startswith("Coemar"):
        assert {"red", "green", "blue"} <= set(found)


@needs_library
def test_an_unknown_mode_lists_the_modes():
    with pytest.raises(ValueError, match=r"no mode named 'DMX9'; modes: DMX1, DMX2"):
        Fixture.from_qxf(QXF / "Martin/Martin-MAC500.qxf", mode="DMX9")


GOOD_CHANNEL = '<Channel Name="Dim" Preset="IntensityDimmer"/>'
GOOD_MODE = '<Mode Name="M"><Channel Number="0">Dim</Channel></Mode>'


def definition(body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<FixtureDefinition xmlns="http://www.qlcplus.org/FixtureDefinition">'
            f"<Manufacturer>Acme</Manufacturer>{body}</FixtureDefinition>")


@pytest.mark.parametrize("text, element", [
    ("<FixtureDefinition><Model>X", "<FixtureDefinition>"),
    ("\xff\xfe not xml at all", "<FixtureDefinition>"),
    ('<?xml version="1.0"?><Fixture/>', "<FixtureDefinition>"),
    (definition(GOOD_CHANNEL + GOOD_MODE), "<Model>"),
    (definition("<Model>X</Model>" + GOOD_CHANNEL), "<Mode>"),
    (definition("<Model>X</Model>" + GOOD_CHANNEL + '<Mode Name="M"/>'), '<Mode Name="M">'),
    (definition("<Model>X</Model>" + GOOD_CHANNEL + '<Mode Name="M"><Channel Number="0">Zoom</Channel></Mode>'),
     '<Mode Name="M"> <Channel Number="0">'),
    (definition("<Model>X</Model>" + GOOD_CHANNEL + '<Mode Name="M"><Channel Number="one">Dim</Channel></Mode>'),
     '<Mode Name="M"> <Channel Number>'),
    (definition("<Model>X</Model>" + GOOD_CHANNEL + '<Mode Name="M"><Channel Number="1">Dim</Channel></Mode>'),
     '<Mode Name="M">'),
    (definition("<Model>X</Model>" + GOOD_CHANNEL.replace("/>", ' Default="300"/>') + GOOD_MODE),
     '<Channel Name="Dim">'),
    (definition("<Model>X</Model>" + '<Channel Name="Dim"><Group Byte="7">Pan</Group></Channel>' + GOOD_MODE),
     '<Channel Name="Dim"> <Group>'),
    (definition("<Model>X</Model>" + GOOD_CHANNEL + GOOD_MODE
                + '<Physical><Focus PanMax="-5" TiltMax="1"/></Physical>'), "<Focus PanMax>"),
])
def test_malformed_definitions_name_file_and_element(tmp_path, text, element):
    path = tmp_path / "bad.qxf"
    path.write_bytes(text.encode("latin-1"))
    with pytest.raises(ValueError) as caught:
        Fixture.from_qxf(path)
    assert str(caught.value).startswith(f"{path}: {element}")


def test_a_good_small_definition_reads(tmp_path):
    path = tmp_path / "dim.qxf"
    path.write_text(definition("<Model>Dim 1</Model>" + GOOD_CHANNEL + GOOD_MODE))
    fixture = Fixture.from_qxf(path)
    assert (fixture.name, fixture.channels, fixture.layout[0].role) == ("Acme Dim 1 (M)", 1, "dimmer")


@needs_library
def test_every_installed_definition_loads_or_is_refused_by_name():
    files = installed_definitions()
    assert len(files) > 1000
    loaded = 0
    for path in files:
        try:
            Fixture.from_qxf(path)
        except ValueError as error:
            assert str(error).startswith(f"{path}: <"), error
        else:
            loaded += 1
    assert loaded >= 0.95 * len(files)
