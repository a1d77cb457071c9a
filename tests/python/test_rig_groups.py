"""Fixture groups: the spread modes give each fixture its step in the chase, and
a group's vectorised points are its voices' own at() answers, bit for bit."""

import math

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from kinetrope_tools import Voice, spread
from kinetrope_tools.rig.groups import Group, chase_steps


def identical(got, want) -> bool:
    return np.asarray(got, dtype=np.float64).tobytes() == np.asarray(want, dtype=np.float64).tobytes()


def members_at(group, position):
    return [voice.at(position) for voice in group.voices]


# Console spread modes on eight fixtures: (options, each fixture's step, steps).
@pytest.mark.parametrize("options, steps, width", [
    ({}, [0, 1, 2, 3, 4, 5, 6, 7], 8),
    ({"direction": "backward"}, [7, 6, 5, 4, 3, 2, 1, 0], 8),
    ({"wings": 2}, [0, 1, 2, 3, 3, 2, 1, 0], 4),
    ({"wings": 2, "mirror": False}, [0, 1, 2, 3, 0, 1, 2, 3], 4),
    ({"wings": 2, "direction": "backward"}, [3, 2, 1, 0, 0, 1, 2, 3], 4),
    ({"wings": 3}, [0, 1, 2, 1, 0, 0, 1, 2], 3),
    ({"wings": 8}, [0] * 8, 1),
    ({"blocks": 2}, [0, 0, 1, 1, 2, 2, 3, 3], 4),
    ({"blocks": 3}, [0, 0, 0, 1, 1, 1, 2, 2], 3),
    ({"grouping": 2}, [0, 1, 0, 1, 0, 1, 0, 1], 2),
    ({"grouping": 3, "direction": "backward"}, [2, 1, 0, 2, 1, 0, 2, 1], 3),
    ({"wings": 2, "blocks": 2}, [0, 0, 1, 1, 1, 1, 0, 0], 2),
    ({"order": [3, 0, 1, 2, 7, 6, 5, 4]}, [3, 0, 1, 2, 7, 6, 5, 4], 8),
    ({"order": [3, 0, 1, 2, 7, 6, 5, 4], "wings": 2}, [3, 0, 1, 2, 0, 1, 2, 3], 4),
])
def test_spread_modes_give_each_fixture_its_step(options, steps, width):
    assert chase_steps(8, **options) == (steps, width)
    group = Group("circle", 8, phase=0.125, **options)
    assert [voice.options.phase for voice in group.voices] == [0.125 + step / width for step in steps]


def test_default_group_is_spread_and_degrees_are_a_share_of_the_loop():
    group = Group("helix", 6, phase_span=0.5, size=0.5)
    assert [voice.options for voice in group.voices] == [voice.options for voice in spread("helix", 6,
                                                                                             phase_span=0.5,
                                                                                             size=0.5)]
    degrees = Group("helix", 6, phase_degrees=180.0, size=0.5)
    assert identical(degrees.points(1234.5), group.points(1234.5))
    assert (len(group), list(group) == group.voices) == (6, True)
    group.voices.clear()  # a copy: the group keeps its own
    assert len(group.voices) == 6


def test_serial_starts_each_step_later_and_a_chase_of_single_shots_follows_the_first():
    group = Group("circle", 4, serial=32.0, ends="once", start=64.0, fade_in=16.0, stop=1000.0, fade_out=8.0)
    assert [(v.options.phase, v.options.start, v.options.stop) for v in group.voices] == [
        (0.0, 64.0 + 32.0 * k, 1000.0 + 32.0 * k) for k in range(4)]
    lead = group.voices[0]
    for k, voice in enumerate(group.voices):
        for s in (-10.0, 0.0, 5.5, 16.0, 100.25, 255.75, 256.0, 2000.0):
            assert identical([voice.at(64.0 + 32.0 * k + s)], [lead.at(64.0 + s)])
    assert [v.options.phase for v in Group("circle", 4, serial=8, phase_span=0.5).voices] == [0.0, 0.125, 0.25,
                                                                                            0.375]


SPREADS = [{}, {"direction": "backward"}, {"wings": 2}, {"wings": 3, "mirror": False}, {"blocks": 3},
           {"grouping": 2}, {"phase_degrees": 90.0}, {"phase_span": -2.5}, {"serial": 12.5},
           {"serial": 3.0, "phase_span": 1 / 3}, {"order": [1, 0, 2]}]
OPTIONS = [{}, {"rate": 0.75}, {"rate": 3.0, "reverse": True}, {"interpolation": "cubic", "rotation": 30.0},
           {"size": (0.5, 2.0, 1.0), "offset": (0.0, 0.1, -0.2)}, {"ends": "pingpong", "rate": 1.5},
           {"ends": "once", "start": 100.0}, {"fade_in": 64.0, "stop": 900.0, "fade_out": 48.0},
           {"base": (0.25, -0.5, 0.0), "start": -17.0}, {"cycles_per_bar": 2.0}, {"beats_per_cycle": 3.0},
           {"phase": 1 / 3}, {"rate": 1e-300}, {"size": 5e307}, {"start": 2.0**31}, {"rate": 2.0**22},
           {"rate": 3e290}, {"rate": -(2.0**60)}, {"start": -1e300, "ends": "pingpong"}]
POSITIONS = (st.integers(-(2**31), 2**31 - 1) | st.floats(-1e6, 1e6) | st.floats(-(2.0**31), 2.0**31 - 1)
             | st.sampled_from([0.0, -0.0, -1e-17, 5e-324, -1e-300, 1e9 + 0.5]))


@settings(max_examples=200, deadline=None)
@given(motion=st.sampled_from(["circle", "helix", "flam", "square", "lfo_breathe"]),
       count=st.integers(3, 12), spread_options=st.sampled_from(SPREADS), options=st.sampled_from(OPTIONS),
       positions=st.lists(POSITIONS, min_size=1, max_size=4))
def test_points_are_each_members_own_at_bit_for_bit(motion, count, spread_options, options, positions):
    if "order" in spread_options:
        spread_options = {"order": list(reversed(range(count)))}
    group = Group(motion, count, **spread_options, **options)
    for position in positions:
        try:
            want = members_at(group, position)
        except ValueError:
            with pytest.raises(ValueError, match="too large"):
                group.points(position)
            continue
        got = group.points(position)
        assert got.shape == (count, 3) and got.dtype == np.float64
        assert identical(got, want), (position, got, want)


def test_ints_mix_whole_and_fractional_members():
    group = Group("helix", 3, phase_span=1 / 3, rate=2.0)  # member 0 keeps whole pips whole, the others not
    assert [voice.reading.whole_step for voice in group.voices] == [2, None, None]
    for position in (0, 1, -5, 2**31 - 1, -(2**31)):
        assert identical(group.points(position), members_at(group, position))


@pytest.mark.parametrize("arguments, error, words", [
    ({"count": 0}, ValueError, "count must be a positive int"),
    ({"count": True}, ValueError, "count must be a positive int"),
    ({"wings": 0}, ValueError, "wings must be a positive int"),
    ({"wings": 9}, ValueError, r"wings must be at most the number of fixtures \(8\)"),
    ({"blocks": 1.5}, ValueError, "blocks must be a positive int"),
    ({"grouping": -1}, ValueError, "grouping must be a positive int"),
    ({"direction": "inward"}, ValueError, "direction must be 'forward' or 'backward'"),
    ({"order": [0, 1, 2]}, ValueError, "order must hold each of 0 .. 7 once"),
    ({"order": [0, 0, 1, 2, 3, 4, 5, 6]}, ValueError, "order must hold"),
    ({"phase_span": 1.0, "phase_degrees": 90.0}, ValueError, "not both"),
    ({"phase_degrees": math.inf}, ValueError, "phase_degrees must be finite"),
    ({"serial": math.nan}, ValueError, "serial must be finite"),
    ({"speed": 2}, TypeError, "speed"),
    ({"ends": "bounce"}, ValueError, "ends must be"),
])
def test_bad_group_options_name_the_option(arguments, error, words):
    arguments = {"motion": "circle", "count": 8, **arguments}
    with pytest.raises(error, match=words):
        Group(**arguments)


def test_bad_positions_are_refused_as_voices_refuse_them():
    group = Group("circle", 4)
    for position, error in ((math.nan, ValueError), (2**31, OverflowError), ("1", TypeError)):
        with pytest.raises(error):
            group.points(position)
        with pytest.raises(error):
            Voice("circle").at(position)
