"""LiveClock and TapTempo on a hand-driven time source: exact and instant."""

import math

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from kinetrope_tools.live import InternalSource, LiveClock, TapTempo, bar_and_beat


class Hand:
    """A time source the test moves."""

    def __init__(self, t=100.0):
        self.t = t

    def __call__(self):
        return self.t


def rate(bpm):
    return bpm * 64 / 60


steps = st.floats(0.0, 0.5)
tempos = st.floats(20.0, 300.0)
operations = st.lists(
    st.one_of(
        st.tuples(st.just("wait"), steps),
        st.tuples(st.just("bpm"), tempos),
        st.tuples(st.just("correct"), st.floats(-40.0, 40.0)),
        st.tuples(st.just("stop"), st.none()),
        st.tuples(st.just("resume"), st.none()),
    ),
    max_size=40,
)


@settings(max_examples=300)
@given(st.floats(20.0, 300.0), st.floats(0.01, 0.2), operations)
def test_position_never_jumps_runs_backwards_or_slews_too_fast(bpm, max_slew, ops):
    """Between seeks, whatever is asked of it, the clock only moves forward,
    never jumps when the tempo changes or a correction begins, and within
    every stretch moves at its tempo give or take ``max_slew``."""
    hand = Hand()
    clock = LiveClock(bpm, start_pip=5.5, max_slew=max_slew, time=hand)
    for op, value in ops:
        before_t, before = hand.t, clock.position()
        if op == "wait":
            hand.t += value
            moved, lo, hi = clock.position() - before, 0.0, 0.0
            if clock.running:
                lo = rate(clock.bpm) * value * (1 - max_slew)
                hi = rate(clock.bpm) * value * (1 + max_slew)
            assert lo - 1e-9 * (1 + abs(before)) <= moved <= hi + 1e-9 * (1 + abs(before))
            # sampled inside the stretch too: never backwards
            assert clock.position(before_t + value / 2) >= before - 1e-9
        else:
            if op == "bpm":
                clock.set_bpm(value)
            elif op == "correct":
                clock.correct(before + value)
            else:
                getattr(clock, op)()
            assert clock.position() == pytest.approx(before, abs=1e-9)


@settings(max_examples=200)
@given(st.floats(40.0, 240.0), st.floats(-60.0, 60.0), st.floats(0.0, 0.9))
def test_a_correction_is_made_up_exactly_then_the_clock_runs_at_its_tempo(bpm, error, start_share):
    hand = Hand()
    clock = LiveClock(bpm, time=hand)
    hand.t += 1.0
    target = clock.position() + error
    assert clock.correct(target) == pytest.approx(error)
    needed = abs(error) / (clock.max_slew * rate(bpm))
    hand.t += needed * start_share
    assert abs(clock.correcting()) == pytest.approx(abs(error) * (1 - start_share), abs=1e-9)
    hand.t += needed * (1 - start_share) + 2.0
    # where an uncorrected clock would be, plus the error, and nothing pending
    assert clock.position() == pytest.approx(target + rate(bpm) * (needed + 2.0), abs=1e-7)
    assert clock.correcting() == pytest.approx(0.0, abs=1e-12)


def test_a_tempo_change_keeps_a_pending_correction():
    hand = Hand()
    clock = LiveClock(120, time=hand)
    clock.correct(clock.position() + 8.0)
    hand.t += 0.5  # 0.5 s at 5% of 128 pips/s makes up 3.2 pips
    clock.set_bpm(60)
    assert clock.correcting() == pytest.approx(4.8)
    hand.t += 10.0
    assert clock.position() == pytest.approx(128 * 0.5 + 8.0 + 64 * 10.0)


@pytest.mark.parametrize(
    "script, expected, running",
    [
        # (operation, argument, seconds waited after it) ... -> position, running
        ([("stop", None, 3.0)], 128.0, False),
        ([("stop", None, 3.0), ("resume", None, 1.0)], 256.0, True),
        ([("resume", None, 1.0)], 256.0, True),
        ([("seek", 1000.5, 0.5)], 1064.5, True),
        ([("stop", None, 1.0), ("seek", 3.0, 1.0)], 3.0, False),
        ([("stop", None, 1.0), ("start", 0.0, 0.25)], 32.0, True),
        ([("start", -64.0, 0.5)], 0.0, True),
        ([("stop", None, 0.0), ("correct", 500.0, 1.0)], 128.0, False),
    ],
)
def test_transport(script, expected, running):
    hand = Hand()
    clock = LiveClock(120, time=hand)  # 128 pips a second
    hand.t += 1.0
    for op, argument, wait in script:
        getattr(clock, op)(*(() if argument is None else (argument,)))
        hand.t += wait
    assert clock.position() == pytest.approx(expected)
    assert clock.running is running


@pytest.mark.parametrize(
    "position, beats_per_bar, expected",
    [(0.0, 4, (1, 1)), (63.999, 4, (1, 1)), (64.0, 4, (1, 2)), (255.9, 4, (1, 4)), (256.0, 4, (2, 1)),
     (-0.5, 4, (0, 4)), (-256.0, 4, (0, 1)), (192.0 * 7, 3, (8, 1)), (1e6, 4, (3907, 2))],
)
def test_bar_and_beat_count_from_one(position, beats_per_bar, expected):
    assert bar_and_beat(position, beats_per_bar) == expected


@pytest.mark.parametrize(
    "kwargs",
    [{"bpm": 0.0}, {"bpm": -1.0}, {"bpm": math.nan}, {"bpm": "120"}, {"max_slew": 0.0}, {"max_slew": 1.0},
     {"start_pip": math.inf}, {"beats_per_bar": 0}, {"beats_per_bar": 2.0}],
)
def test_bad_settings_are_value_errors(kwargs):
    with pytest.raises(ValueError):
        LiveClock(**kwargs)


def test_bad_calls_leave_the_clock_as_it_was():
    hand = Hand()
    clock = LiveClock(120, time=hand)
    for call, argument in [(clock.set_bpm, 0.0), (clock.seek, math.nan), (clock.correct, math.inf),
                           (clock.start, "x")]:
        with pytest.raises(ValueError):
            call(argument)
    hand.t += 1.0
    assert (clock.position(), clock.bpm) == (128.0, 120.0)


# Tap tempo: (gaps between taps in seconds) -> tempo after the last tap
@pytest.mark.parametrize(
    "gaps, bpm",
    [
        ([], None),
        ([0.5], 120.0),
        ([0.5, 0.5, 0.5], 120.0),
        ([0.5, 0.5, 0.9, 0.5], 120.0),  # one stumble does not move the median
        ([0.5, 0.5, 2.5, 0.4], 150.0),  # a pause starts afresh: only the last gap counts
        ([0.5, 2.5], None),  # ... and one tap after a pause gives no tempo yet
        ([0.5] * 12 + [0.4] * 5, 150.0),  # only the last taps count
    ],
)
def test_tap_tempo(gaps, bpm):
    hand = Hand()
    clock = LiveClock(100, time=hand)
    taps = TapTempo(clock)
    assert taps.tap() is None
    for gap in gaps:
        hand.t += gap
        result = taps.tap()
    assert taps.bpm == (None if bpm is None else pytest.approx(bpm))
    if bpm is not None:
        assert result == pytest.approx(bpm)
        assert clock.bpm == pytest.approx(bpm)


def test_taps_pull_the_beat_onto_themselves_by_slewing():
    hand = Hand()
    clock = LiveClock(120, time=hand)
    hand.t += 0.1  # taps land 12.8 pips after the clock's beats
    taps = TapTempo(clock)
    positions = []
    for _ in range(24):
        taps.tap()
        positions.append(clock.position())
        hand.t += 0.5
    assert taps.offset == pytest.approx(0.0, abs=1e-6)
    assert clock.position(hand.t - 0.5) % 64 == pytest.approx(0.0, abs=1e-6)
    gaps = [b - a for a, b in zip(positions, positions[1:])]
    assert all(64 * 0.95 - 1e-9 <= gap <= 64 * 1.05 + 1e-9 for gap in gaps)


def test_internal_source_sets_the_tempo_without_a_jump():
    hand = Hand()
    clock = LiveClock(120, time=hand)
    hand.t += 1.0
    source = InternalSource(clock, 60)
    hand.t += 1.0
    assert (source.name, source.offset, clock.position()) == ("internal", 0.0, 128.0 + 64.0)
