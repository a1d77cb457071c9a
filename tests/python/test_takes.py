"""Recordings from timed controller takes, and playback past their ends."""

from fractions import Fraction

import numpy as np
import pytest

import kinetrope
from kinetrope_tools import TempoMap, play, recording_from_timed
from support import bits

RATE = 44  # rows a second, as a slow controller sends them


def pip_start(pip):
    """Pip start instants of TempoMap(120, 0.5, changes=[(256, 90)]), worked
    out by hand: 1/128 s a pip, then 1/96 s from pip 256 (at 2.5 s) on."""
    if pip < 256:
        return Fraction(1, 2) + Fraction(pip, 128)
    return Fraction(5, 2) + Fraction(pip - 256, 96)


def ramp_take(first, count):
    times = first + np.arange(count) / RATE
    values = (times - times[0]) / (times[-1] - times[0]) * 127.0
    return times, values


@pytest.mark.parametrize(
    ("first_time", "count", "first_pip", "last_pip", "bpm"),
    [
        (0.997, 177, 64, 495, 120.0),  # across the tempo change
        (3.003, 44, 305, 398, 90.0),  # wholly after it
    ],
)
def test_a_44_hz_ramp_lands_on_the_pips_of_a_tempo_map(first_time, count, first_pip, last_pip, bpm):
    tempo = TempoMap(120.0, beat_zero_seconds=0.5, changes=[(256, 90.0)])
    times, values = ramp_take(first_time, count)
    recording = recording_from_timed("ramp", ["fader"], times, values[:, np.newaxis], tempo=tempo, value_range=(0, 127))
    assert pip_start(first_pip - 1) < times[0] <= pip_start(first_pip)
    assert pip_start(last_pip) <= times[-1] < pip_start(last_pip + 1)
    assert (recording.start_pip, recording.sample_count) == (first_pip, last_pip - first_pip + 1)
    assert recording.bpm == bpm
    steady = TempoMap.for_recording(recording)
    assert steady.seconds_at(first_pip) == pytest.approx(tempo.seconds_at(first_pip), abs=1e-12)
    for pip in range(first_pip, last_pip + 1):
        along = (float(pip_start(pip)) - times[0]) / (times[-1] - times[0])
        assert recording.sample(pip)[0] == pytest.approx(2 * along - 1, abs=1e-12)


def test_a_recording_carries_the_tempo_in_effect_where_it_starts():
    tempo = TempoMap(100.0, beat_zero_seconds=1.0, changes=[(-64, 120.0), (640, 90.0)])  # pip 640 at 6 s
    early = recording_from_timed("early", ["x"], [1.0, 2.0], [[0], [0]], tempo=tempo)
    assert (early.start_pip, early.bpm, early.beat_zero_seconds) == (0, 120.0, 1.0)
    late = recording_from_timed("late", ["x"], [7.0, 8.0], [[0], [0]], tempo=tempo)
    assert (late.start_pip, late.bpm) == (736, 90.0)
    assert TempoMap.for_recording(late).seconds_at(736) == pytest.approx(7.0, abs=1e-12)


def test_rows_on_pip_starts_are_kept_bit_for_bit():
    tempo = TempoMap(120.0)  # pips of 1/128 s, exact in binary
    values = [[-0.0, 1.0], [0.25, -1.0], [0.1, 0.0], [-0.3, 0.7]]
    times = [k / 128 for k in range(10, 14)]
    recording = recording_from_timed("exact", ["a", "b"], times, values, tempo=tempo)
    assert (recording.start_pip, recording.bpm, recording.beat_zero_seconds) == (10, 120.0, 0.0)
    assert [bits(*recording.sample(pip)) for pip in range(10, 14)] == [bits(*row) for row in values]


def test_rows_sharing_an_instant_jump_to_the_last_of_them():
    times = [0.0, 1 / 64, 1 / 64, 3 / 64]  # a jump at pip 2 of 1/128 s pips
    recording = recording_from_timed("jump", ["x"], times, [[0.0], [0.5], [-0.5], [0.5]], tempo=TempoMap(120.0))
    assert [recording.sample(pip)[0] for pip in range(7)] == [0.0, 0.25, -0.5, -0.25, 0.0, 0.25, 0.5]


@pytest.mark.parametrize(
    ("value_range", "raw", "expected"),
    [
        ((0, 127), [0, 31.75, 63.5, 127], [-1.0, -0.5, 0.0, 1.0]),
        ((-1.0, 1.0), [-1.0, -0.0, 0.5, 1.0], [-1.0, -0.0, 0.5, 1.0]),
        ((0.0, 1.0), [0.0, 0.25, 0.5, 1.0], [-1.0, -0.5, 0.0, 1.0]),
        ((-8192, 8191), [-8192, 8191], [-1.0, 1.0]),
    ],
)
def test_values_are_mapped_from_their_range(value_range, raw, expected):
    times = [k / 128 for k in range(len(raw))]
    rows = [[v] for v in raw]
    recording = recording_from_timed("mapped", ["v"], times, rows, tempo=TempoMap(120.0), value_range=value_range)
    assert [bits(recording.sample(pip)[0]) for pip in range(len(raw))] == [bits(v) for v in expected]


@pytest.mark.parametrize(
    ("times", "rows", "kwargs", "error", "message"),
    [
        (
            [0, 0.1, 0.2], [[0, 0], [130, 0], [0, 0]], {"value_range": (0, 127)},
            ValueError, r"row 1, axis dim: 130.0 is outside the value range \(0.0, 127.0\)",
        ),
        ([0, 0.1, 0.2], [[0, 0], [0, 0], [0, float("nan")]], {}, ValueError, "row 2, axis pan: nan"),
        ([0, 0.1, 0.2], [[0, 0], [0], [0, 0]], {}, ValueError, "row 1 has 1 values for 2 axes"),
        ([0, 0.2, 0.1], [[0, 0], [0, 0], [0, 0]], {}, ValueError, "row 2: time 0.1 s comes before"),
        ([0, float("inf")], [[0, 0], [0, 0]], {}, ValueError, "row 1: time inf is not finite"),
        ([0, 0.1], [[0, 0], [0, 0], [0, 0]], {}, ValueError, "3 rows for 2 times"),
        ([0.001, 0.002], [[0, 0], [0, 0]], {}, ValueError, "holds the start of no pip"),
        ([0, 0.1], [[0, 0], ["1", 0]], {}, TypeError, "row 1: not a number"),
        ([0, 0.1], [[0, 0], [0, 0]], {"value_range": (1, 1)}, ValueError, "low < high"),
        ([0, 1e6], [[0, 0], [0, 0]], {}, ValueError, "more than the 8388608 values"),
    ],
)
def test_bad_takes_are_refused_naming_the_row(times, rows, kwargs, error, message):
    with pytest.raises(error, match=message):
        recording_from_timed("take", ["dim", "pan"], times, rows, tempo=TempoMap(120.0), **kwargs)


def test_names_are_judged_by_the_recording_itself():
    with pytest.raises(ValueError, match="recording 'take': Duplicate axis"):
        recording_from_timed("take", ["a", "a"], [0.0], [[0, 0]], tempo=TempoMap(120.0))


ROWS = [[0.1, -0.1], [0.2, -0.2], [0.3, -0.3], [0.4, -0.4]]  # pips 10 to 13
PIPS = [7, 9, 10, 13, 14, 18]


@pytest.fixture
def recording():
    return kinetrope.SampledRecording("take", ["a", "b"], ROWS, 120.0, 0.0, 10)


@pytest.mark.parametrize(
    ("ends", "rows"),
    [
        ("hold", [0, 0, 0, 3, 3, 3]),
        ("loop", [1, 3, 0, 3, 0, 0]),
    ],
)
def test_play_holds_or_loops_at_both_ends(recording, ends, rows):
    assert play(recording, PIPS, ends=ends).tolist() == [ROWS[r] for r in rows]


@pytest.mark.parametrize("outside", [9, 14, -(2**31), 2**31 - 1])
def test_play_raises_the_recordings_own_error_past_either_end(recording, outside):
    assert play(recording, np.arange(10, 14, dtype=np.int16)).tolist() == ROWS
    with pytest.raises(IndexError, match="^Pip outside non-looping recording$"):
        play(recording, [10, outside, 11])


def test_play_picks_axes_by_name_in_the_order_asked(recording):
    played = play(recording, range(9, 12), axes=["b", "a", "b"], ends="hold")
    assert played.shape == (3, 3) and played.flags.c_contiguous
    assert played.tolist() == [[-0.1, 0.1, -0.1], [-0.1, 0.1, -0.1], [-0.2, 0.2, -0.2]]


@pytest.mark.parametrize(
    ("pips", "kwargs", "error", "message"),
    [
        ([10], {"axes": ["c"]}, ValueError, "has no axis 'c' \\(its axes: a, b\\)"),
        ([10], {"axes": "a"}, TypeError, "not a single string"),
        ([10], {"ends": "wrap"}, ValueError, "ends must be one of error, hold, loop"),
        ([10, 11.0], {}, TypeError, r"pips\[1\] must be an integer"),
        (np.array([10.0]), {}, TypeError, "pips must be integers"),
        ([10, 2**31], {"ends": "hold"}, OverflowError, r"pips\[1\] = 2147483648"),
    ],
)
def test_play_refuses_bad_arguments(recording, pips, kwargs, error, message):
    with pytest.raises(error, match=message):
        play(recording, pips, **kwargs)
