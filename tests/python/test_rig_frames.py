"""Mapping points to DMX, the patch, and whole rig frames."""

import numpy as np
from hypothesis import given, settings
from hypothesis import strategies as st
import pytest

from kinetrope_tools import describe
from kinetrope_tools.rig import Fixture, Mapping, Rig
from kinetrope_tools.rig.mapping import fixture_slots, to_dmx

HEAD = Fixture("Head", ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", ("shutter", 255), ("constant", 7)])
HEAD8 = Fixture("Head8", ["pan", "tilt", "dimmer"], pan_range=360, tilt_range=180)
PIXEL = Fixture("Pixel", ["red", "green", "blue"])


@pytest.mark.parametrize("scaled, full, expected", [
    (0.5, 65535, 0), (1.5, 65535, 2), (2.5, 65535, 2), (32767.5, 65535, 32768),
    (65534.5, 65535, 65534), (65535.0, 65535, 65535), (65535.6, 65535, 65535),  # clamped, not wrapped to 0
    (70000.0, 65535, 65535), (-0.6, 65535, 0), (-3000.0, 65535, 0),
    (127.5, 255, 128), (126.5, 255, 126), (254.5, 255, 254), (255.4, 255, 255), (300.0, 255, 255),
])
def test_dmx_values_round_half_even_and_clamp_before_the_split(scaled, full, expected):
    value = to_dmx(np.array([scaled / full]), full)
    assert value.dtype == np.uint16 and int(value[0]) == expected
    if full == 65535:  # the bytes of the clamped value, never of a wrapped one
        slots = fixture_slots(HEAD, [(Mapping(HEAD).swings[0][0], value)])
        assert (slots[0], slots[1]) == (expected >> 8, expected & 0xFF)


def pan_tilt(fixture, point, **options):
    mapping = Mapping(fixture, **options)
    slots = fixture_slots(fixture, mapping.values(np.array([point], dtype=np.float64)) + mapping.held_values())
    state = fixture.decode(slots)
    return state.pan, state.tilt


@pytest.mark.parametrize("fixture, point, options, expected", [
    (HEAD, (0.0, 0.0, 0.0), {}, (270.0, 135.0)),
    (HEAD, (0.5, -0.25, 0.0), {"pan_swing": 90, "tilt_swing": 90}, (315.0, 112.5)),
    (HEAD, (0.5, -0.25, 0.0), {"pan_swing": 90, "tilt_swing": 90, "invert_pan": True}, (225.0, 112.5)),
    (HEAD, (0.5, -0.25, 0.0), {"pan_swing": 90, "tilt_swing": 90, "swap": True}, (247.5, 180.0)),
    (HEAD, (0.2, 0.4, -0.6), {"pan": "z", "tilt": None, "pan_swing": 100}, (210.0, 135.0)),
    (HEAD, (1.0, 1.0, 0.0), {"pan_swing": 1000, "tilt_swing": 1000}, (540.0, 270.0)),  # clamped to the range
    (HEAD, (-1.0, 1.0, 0.0), {"pan_swing": 90, "pan_limits": (200, 400), "tilt_limits": (100, 150)},
     (200.0, 150.0)),
    (HEAD8, (1.0, -1.0, 0.0), {"pan_swing": 90, "tilt_swing": 45}, (270.0, 45.0)),
    (Fixture("Hung", ["pan", "pan_fine", "tilt", "tilt_fine"], invert_pan=True, swap=True, home=(100, 50)),
     (0.5, -0.25, 0.0), {"pan_swing": 90, "tilt_swing": 90, "invert_pan": True}, (77.5, 95.0)),
])
def test_pan_and_tilt_in_degrees(fixture, point, options, expected):
    step = (fixture.pan_range / 255, fixture.tilt_range / 255) if fixture is HEAD8 else (0.01, 0.01)
    pan, tilt = pan_tilt(fixture, point, **options)
    assert abs(pan - expected[0]) <= step[0] and abs(tilt - expected[1]) <= step[1]


@pytest.mark.parametrize("options, point, expected", [
    ({"red": 1.0, "green": 0.5, "blue": 0.0}, (0.0, 0.0, 0.0), (255, 128, 0)),  # 127.5 rounds to even
    ({"red": ("x", -1.0, 1.0)}, (0.0, 0.0, 0.0), (128, 0, 0)),
    ({"red": ("x", -1.0, 1.0), "blue": ("y", 1.0, -1.0)}, (2.0, 0.5, 0.0), (255, 0, 64)),
    ({"green": ("z", 0.0, 0.5)}, (0.0, 0.0, -0.3), (0, 0, 0)),
])
def test_levels_through_explicit_ranges(options, point, expected):
    mapping = Mapping(PIXEL, **options)
    slots = fixture_slots(PIXEL, mapping.values(np.array([point])) + mapping.held_values())
    assert tuple(slots) == expected


@pytest.mark.parametrize("motion, axis, low, high", [
    ("circle", "x", None, None), ("step_touch", "y", None, None), ("saw", "x", -1.0, 1.0 - 2.0 / 256),
    ("square", "x", -1.0, 1.0),
])
def test_levels_follow_the_motions_own_range(motion, axis, low, high):
    if low is None:
        info = describe(motion)
        low, high = info.low["xyz".index(axis)], info.high["xyz".index(axis)]
    column = "xyz".index(axis)
    points = np.zeros((3, 3))
    points[:, column] = (low, (low + high) / 2, high)
    mapping = Mapping(PIXEL, motion, red=axis)
    assert mapping.values(points)[0][1].tolist() == [0, 128, 255]


@pytest.mark.parametrize("fixture, options, message", [
    (PIXEL, {"red": "z"}, "axis z of the motion holds"),
    (PIXEL, {"dimmer": 1.0}, "Pixel has no dimmer channel"),
    (PIXEL, {"red": 1.5}, "within 0..1"),
    (PIXEL, {"red": ("x", 1.0, 1.0)}, "must not be empty"),
    (PIXEL, {"red": "w"}, "'x', 'y', 'z' or None"),
    (HEAD, {"pan_limits": (300, 200)}, "low <= high"),
    (HEAD, {"tilt_swing": float("inf")}, "finite"),
])
def test_bad_mappings_are_refused(fixture, options, message):
    with pytest.raises(ValueError, match=message):
        Mapping(fixture, "circle", **options)


def reference_slots(group, position):
    """One fixture at a time, each from its own voice: what the vectorised frame must equal."""
    out = []
    for index, voice in enumerate(group.voices):
        point = np.array([voice.at(position)])
        out.append(bytes(fixture_slots(group.fixture, group.mapping.values(point) + group.mapping.held_values())))
    return out


@pytest.fixture
def rig():
    rig = Rig()
    rig.group("heads", HEAD, 16, universe=3, address=5, motion="circle", pan_swing=120, dimmer=("z", -1, 1),
              wings=2, blocks=2, interpolation="cubic")
    rig.group("bar", PIXEL, 64, universe=1, address=400, motion="circle", wrap=True, red="x", blue=0.25)
    return rig


@pytest.mark.parametrize("position", [0.0, 17.25, 1000.5, -333.125, 2.0**20 + 0.5])
def test_frames_equal_fixture_by_fixture_mapping(rig, position):
    frame = rig.frame(position)
    assert list(frame) == rig.universes == [1, 2, 3] and all(len(data) == 512 for data in frame.values())
    for group in rig.groups.values():
        expected = reference_slots(group, position)
        for patched, slots in zip(group.fixtures, expected):
            assert frame[patched.universe][patched.address - 1:patched.last] == slots, patched.name
    assert rig.frame(position) == frame  # the same position gives the same bytes
    untouched = bytearray(frame[3])
    for patched in rig.groups["heads"].fixtures:
        untouched[patched.address - 1:patched.last] = bytes(HEAD.channels)
    assert untouched == bytes(512)


def test_home_frame_holds_home_and_defaults(rig):
    home = rig.home_frame()
    for patched in rig.patch:
        state = patched.state(home)
        if patched.group == "heads":
            assert (round(state.pan, 2), round(state.tilt, 2)) == (270.0, 135.0)
            assert home[patched.universe][patched.address + 4:patched.last] == bytes([255, 7])
        else:
            assert state.color == (0.0, 0.0, 64 / 255)


def test_patch_wraps_into_the_next_universe_and_lists_every_fixture(rig):
    bar = [patched for patched in rig.patch if patched.group == "bar"]
    assert [(p.universe, p.address) for p in bar[35:39]] == [(1, 505), (1, 508), (2, 1), (2, 4)]
    assert [p.index for p in bar] == list(range(64)) and bar[3].name == "bar[3]"


@pytest.mark.parametrize("universe, address, count, message", [
    (3, 60, 1, r"patch conflict: more\[0\] \(universe 3, slots 60-66\) and heads\[7\] "
               r"\(universe 3, slots 54-60\) share slots 60-60 of universe 3"),
    (1, 450, 1, r"patch conflict: more\[0\] \(universe 1, slots 450-456\) and bar\[16\] .* share slots 450-450"),
    (4, 500, 2, r"more\[1\] needs slots 507-513 of universe 4, past slot 512"),
    (4, 0, 1, "address must be an int in 1..512"),
    (-1, 1, 1, "universe must be an int"),
    (4, 1, 0, "count must be a positive int"),
    (4, 1, 10**12, r"more\[73\] needs slots 512-518 of universe 4"),  # refused before any allocation
    (63990, 1, 10**6, "run past universe 63999"),
    (4, 1, 2, "wings must be at most"),  # the group's own options, after the patch was checked
])
def test_patch_conflicts_name_both_fixtures_and_the_slots(rig, universe, address, count, message):
    before = rig.patch
    with pytest.raises(ValueError, match=message):
        rig.group("more", HEAD, count, universe=universe, address=address, motion="circle",
                  wrap=universe == 63990, wings=3)
    assert rig.patch == before and "more" not in rig.groups and rig.universes == [1, 2, 3]


def test_group_names_are_unique(rig):
    with pytest.raises(ValueError, match="already a group named 'bar'"):
        rig.group("bar", PIXEL, 1, universe=9, address=1, motion="circle")


def test_decode_needs_the_fixtures_own_slot_count():
    with pytest.raises(ValueError, match="takes 7 slots, not 3"):
        HEAD.decode(b"\0\0\0")


unit = st.floats(-1.0, 1.0)


@settings(max_examples=200, deadline=None)
@given(points=st.lists(st.tuples(unit, unit, unit), min_size=1, max_size=20),
       swing=st.floats(0.0, 400.0), invert=st.booleans(), limits=st.tuples(st.floats(0, 540), st.floats(0, 540)))
def test_pan_decodes_to_the_clamped_swing_and_each_point_maps_alone_as_in_a_batch(points, swing, invert, limits):
    low, high = sorted(limits)
    mapping = Mapping(HEAD, pan_swing=swing, invert_pan=invert, pan_limits=(low, high))
    batch = np.array(points)
    together = mapping.dmx_bytes(batch)
    for row, point in enumerate(batch):
        assert np.array_equal(mapping.dmx_bytes(point[None, :]), together[row:row + 1])
        slots = fixture_slots(HEAD, [(driven, values[row:row + 1]) for driven, values in mapping.values(batch)])
        expected = min(max(270.0 + (-swing if invert else swing) * point[0], low), high)
        assert abs(HEAD.decode(slots).pan - expected) <= 540.0 / 65535 * 0.5 + 1e-9
