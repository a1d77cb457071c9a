"""TempoMap and BeatClock: musical time against seconds."""

import math
from fractions import Fraction

import numpy as np
import pytest
from hypothesis import assume, given, settings
from hypothesis import strategies as st

import kinetrope
from kinetrope_tools import BeatClock, TempoMap

LOW, HIGH = -(2**31), 2**31 - 1

tempos = st.floats(min_value=0.5, max_value=20_000.0)
origins = st.floats(min_value=-1e6, max_value=1e6)
change_lists = st.lists(st.tuples(st.integers(LOW + 1, HIGH), tempos), max_size=6, unique_by=lambda c: c[0]).map(
    sorted
)


@st.composite
def tempo_maps(draw):
    return TempoMap(draw(tempos), draw(origins), draw(change_lists))


@st.composite
def maps_and_instants(draw, count=1):
    """A map and instants in its range: near chosen pips (changes included)
    or anywhere between its first and last pip."""
    tempo_map = draw(tempo_maps())
    first, last = tempo_map.seconds_at(LOW), tempo_map.seconds_at(HIGH + 1)
    pips = [LOW, -1, 0, 1, HIGH] + [pip + d for pip, _ in tempo_map.changes for d in (-1, 0, 1)]
    instants = []
    for _ in range(count):
        if draw(st.booleans()):
            pip = min(max(draw(st.sampled_from(pips)), LOW), HIGH)
            start, end = tempo_map.seconds_at(pip), tempo_map.seconds_at(pip + 1)
            t = draw(st.sampled_from([start, end, math.nextafter(start, -math.inf), math.nextafter(end, -math.inf),
                                      start + (end - start) * draw(st.floats(0, 1))]))
        else:
            t = draw(st.floats(first, last))
        assume(first <= t < last)
        instants.append(t)
    return tempo_map, instants


@settings(max_examples=300)
@given(maps_and_instants())
def test_pip_at_is_the_pip_in_progress(case):
    tempo_map, (t,) = case
    pip = tempo_map.pip_at(t)
    assert LOW <= pip <= HIGH
    assert tempo_map.seconds_at(pip) <= t < tempo_map.seconds_at(pip + 1)


@settings(max_examples=200)
@given(maps_and_instants(count=2))
def test_pip_at_never_decreases(case):
    tempo_map, (a, b) = case
    early, late = sorted((a, b))
    assert tempo_map.pip_at(early) <= tempo_map.pip_at(late)


@settings(max_examples=200)
@given(tempo_maps())
def test_tempo_changes_make_no_jump(tempo_map):
    tempo_before = tempo_map.bpm
    # Instants are counted from anchors (pip 0 and the changes): rounding is
    # within a few ulps of the largest instant involved.
    anchors = [abs(tempo_map.seconds_at(pip)) for pip, _ in tempo_map.changes] + [abs(tempo_map.beat_zero_seconds)]
    for pip, tempo in tempo_map.changes:
        before, at, after = (tempo_map.seconds_at(pip + d) for d in (-1, 0, 1))
        assert before <= at <= after
        # The pip before the change lasts as its own tempo says, the change pip as the new one.
        scale = 8 * math.ulp(max(anchors) + abs(after))
        assert math.isclose(at - before, 60 / tempo_before / 64, rel_tol=1e-9, abs_tol=scale)
        assert math.isclose(after - at, 60 / tempo / 64, rel_tol=1e-9, abs_tol=scale)
        if before < at:
            assert tempo_map.pip_at(math.nextafter(at, -math.inf)) == pip - 1
        assert tempo_map.pip_at(at) == pip or tempo_map.seconds_at(pip + 1) == at
        tempo_before = tempo


@settings(max_examples=100)
@given(maps_and_instants(count=8))
def test_pips_at_matches_pip_at_element_by_element(case):
    tempo_map, instants = case
    times = np.array(instants).reshape(2, 4)
    pips = tempo_map.pips_at(times)
    assert pips.dtype == np.int32 and pips.shape == (2, 4)
    assert pips.tolist() == [[tempo_map.pip_at(t) for t in row] for row in times.tolist()]


def test_instants_in_round_numbers_around_changes():
    tempo_map = TempoMap(120.0, 0.0, [(-64, 60.0), (64, 240.0)])
    # 120 bpm before pip -64, a beat at 60 up to pip 0, at 60 on to pip 64, then 240.
    expected = {-128: -1.5, -64: -1.0, -1: -0.015625, 0: 0.0, 64: 1.0, 128: 1.25}
    assert {pip: tempo_map.seconds_at(pip) for pip in expected} == expected
    assert tempo_map.pips_at(list(expected.values())).tolist() == list(expected)
    assert tempo_map.pip_at(math.nextafter(1.0, 0)) == 63
    assert TempoMap(120.0, beat_zero_seconds=2.0).pip_at(0.0) == -256


def test_for_recording_takes_its_tempo_and_origin():
    recording = kinetrope.SampledRecording("take", ["x"], [[0.0]], 96.0, beat_zero_seconds=-3.5)
    tempo_map = TempoMap.for_recording(recording)
    assert (tempo_map.bpm, tempo_map.beat_zero_seconds, tempo_map.changes) == (96.0, -3.5, ())
    assert tempo_map.seconds_at(64) == -3.5 + 60 / 96


@pytest.mark.parametrize(
    "args, message",
    [
        ((0.0,), "bpm must be positive, not 0.0"),
        ((math.nan,), "bpm must be finite, not nan"),
        (("120",), "bpm must be a number, not str"),
        ((1e-320,), "bpm 1e-320 is outside the usable tempo range"),
        ((120, math.nan), "beat_zero_seconds must be finite"),
        ((120, 0.0, [(64, 0.0)]), r"changes\[0\] bpm must be positive"),
        ((120, 0.0, [(64, 90), (64, 100)]), r"changes\[1\]: pip 64 does not follow pip 64"),
        ((120, 0.0, [(64, 90), (0, 100)]), r"changes\[1\]: pip 0 does not follow pip 64"),
        ((120, 0.0, [(6.0, 90)]), r"changes\[0\] pip must be an integer, not float"),
        ((120, 0.0, [(2**31, 90)]), r"changes\[0\] pip = 2147483648 is outside the 32-bit pip range"),
        ((120, 0.0, [(5, 90, 1)]), r"changes\[0\] must be a \(pip, bpm\) pair"),
        ((1e-300,), r"beyond the range of a double \(bpm 1e-300, beat_zero_seconds 0.0\)"),
    ],
)
def test_bad_input_names_the_value(args, message):
    with pytest.raises(ValueError, match=message):
        TempoMap(*args)


def test_instants_outside_the_pip_range():
    tempo_map = TempoMap(120)
    last = tempo_map.seconds_at(HIGH + 1)
    assert tempo_map.pip_at(math.nextafter(last, 0)) == HIGH
    assert tempo_map.pip_at(tempo_map.seconds_at(LOW)) == LOW
    for t, error in [(last, OverflowError), (math.inf, OverflowError), (-math.inf, OverflowError),
                     (tempo_map.seconds_at(LOW) - 1, OverflowError), (math.nan, ValueError)]:
        with pytest.raises(error):
            tempo_map.pip_at(t)
        with pytest.raises(error):
            tempo_map.pips_at([0.0, t])


def test_extreme_but_usable_tempi_still_answer_exactly():
    # At a million bpm many pips start within one ulp of a large instant;
    # pip_at still gives the last pip that has started.
    tempo_map = TempoMap(1e6, beat_zero_seconds=1e7)
    for t in (1e7, 1e7 + 0.5, math.nextafter(1e7, 0)):
        pip = tempo_map.pip_at(t)
        assert tempo_map.seconds_at(pip) <= t < tempo_map.seconds_at(pip + 1)


# ------------------------------------------------------------------ BeatClock


class FakeTime:
    def __init__(self, now=10**12):
        self.now = now

    def __call__(self):
        return self.now

    def advance(self, seconds):
        self.now += round(seconds * 1e9)


def test_seek_moves_to_a_pip_and_runs_on():
    now = FakeTime()
    clock = BeatClock(240, time_ns=now)
    now.advance(100)
    clock.seek(-7)
    assert clock.pip() == -7
    now.advance(60 / 240)
    assert clock.pip() == -7 + 64


@given(st.lists(st.tuples(st.integers(0, 10**10), st.none() | tempos), max_size=30), tempos, st.integers(LOW, HIGH))
def test_clock_agrees_with_exact_arithmetic_and_never_goes_back(steps, bpm, start):
    now = FakeTime()
    clock = BeatClock(bpm, start_pip=start, time_ns=now)
    position, rate, last = Fraction(start), Fraction(bpm) * 64 / 60_000_000_000, start
    assert clock.pip() == start
    for step_ns, tempo in steps:
        now.now += step_ns
        position += step_ns * rate
        if tempo is not None:
            clock.set_bpm(tempo)
            rate = Fraction(tempo) * 64 / 60_000_000_000
        pip = clock.pip()
        assert pip == math.floor(position) and pip >= last
        last = pip


@pytest.mark.parametrize("bpm", [0, -1, math.nan, math.inf])
def test_clock_refuses_bad_tempi(bpm):
    with pytest.raises(ValueError):
        BeatClock(bpm)
    clock = BeatClock(120)
    with pytest.raises(ValueError):
        clock.set_bpm(bpm)
    assert clock.bpm == 120.0
