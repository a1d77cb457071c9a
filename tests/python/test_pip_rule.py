"""One rule for pips across the companion package, and runs of pips
checked before anything is allocated for them."""

import tracemalloc

import numpy as np
import pytest

import kinetrope
from kinetrope_tools import BeatClock, TempoMap, Voice, crossfade, pattern_from_keyframes, play
from support import Index

RECORDING = kinetrope.SampledRecording("take", ["a"], [[0.1], [0.2], [0.3]], 120.0, 0.0, 5)
VOICE = Voice("circle")
FADE = crossfade(VOICE, Voice("bounce"), 0, 64)

# Every call that takes a run of pips, and every one that takes one pip.
RUNS = {
    "Voice.render": VOICE.render,
    "Crossfade.render": FADE.render,
    "play hold": lambda pips: play(RECORDING, pips, ends="hold"),
    "play loop": lambda pips: play(RECORDING, pips, ends="loop"),
    "play error": lambda pips: play(RECORDING, pips),
}
WHOLE_RUNS = ("play hold", "play loop", "play error")
ONE_PIP = {
    "Voice.at": VOICE.at,
    "Crossfade.at": FADE.at,
    "TempoMap.seconds_at": TempoMap(120).seconds_at,
    "BeatClock start_pip": lambda pip: BeatClock(120, start_pip=pip),
    "BeatClock.seek": BeatClock(120).seek,
}
POSITIONS = ("Voice.at", "Crossfade.at")


def peak_bytes(call):
    tracemalloc.start()
    try:
        call()
    finally:
        peak = tracemalloc.get_traced_memory()[1]
        tracemalloc.stop()
    return peak


@pytest.mark.parametrize("call", RUNS, ids=str)
@pytest.mark.parametrize(("pips", "first_bad"), [
    (range(2**31 - 2, 2**31 + 2**27), "pips[2] = 2147483648 "),
    (range(0, 2**40), "pips[2147483648] = 2147483648 "),
    (range(-(2**31) + 3, -(2**40), -4), "pips[1] = -2147483649 "),
    (range(2**40, 0, -1), "pips[0] = 1099511627776 "),
    (range(0, 2**80, 2**70), "pips[1] = 1180591620717411303424 "),
    ([1, 2**70], "pips[1] = 1180591620717411303424 "),
    ([0, -(2**31) - 1], "pips[1] = -2147483649 "),
    (np.array([0, 2**40, 2**63 - 1]), "pips[1] = 1099511627776 "),
    (np.array([2**64 - 1], dtype=np.uint64), "pips[0] = 18446744073709551615 "),
])
def test_a_run_leaving_the_pip_range_names_its_first_bad_pip_before_allocating(call, pips, first_bad):
    def refused():
        with pytest.raises(OverflowError, match=first_bad.replace("[", r"\[").replace("]", r"\]")):
            RUNS[call](pips)

    assert peak_bytes(refused) < 1 << 20


def test_a_range_that_leaves_the_recording_is_refused_before_allocating():
    def refused():
        with pytest.raises(IndexError, match="^Pip outside non-looping recording$"):
            play(RECORDING, range(5, 2**31 - 1))

    assert peak_bytes(refused) < 1 << 20
    assert play(RECORDING, range(5, 8)).tolist() == [[0.1], [0.2], [0.3]]
    assert play(RECORDING, range(7, 4, -1)).tolist() == [[0.3], [0.2], [0.1]]


FLAGS = [True, np.True_]


@pytest.mark.parametrize("call", RUNS, ids=str)
@pytest.mark.parametrize(("pips", "error", "words"), [
    (np.array([True, False]), TypeError, "not an array of bool"),
    ([1, True], TypeError, r"pips\[1\] must be an integer.*not bool"),
    ([np.False_, 2], TypeError, r"pips\[0\] must be an integer.*not bool"),
    ([1, None], TypeError, r"pips\[1\] must be an integer.*not NoneType"),
    ([[1, 2]], TypeError, "one-dimensional"),
    ("12", TypeError, "not str"),
    (True, TypeError, "not bool"),
])
def test_every_run_refuses_what_is_not_a_pip(call, pips, error, words):
    with pytest.raises(error, match=words):
        RUNS[call](pips)


@pytest.mark.parametrize("call", RUNS, ids=str)
@pytest.mark.parametrize("pips", [lambda: [5, Index(6)], lambda: iter([5, 6]),
                                  lambda: np.array([5, 6], dtype=np.uint8), lambda: (5, 6)])
def test_every_run_takes_integers_of_any_kind(call, pips):
    assert RUNS[call](pips()).shape[0] == 2


@pytest.mark.parametrize("call", RUNS, ids=str)
def test_floats_are_places_between_pips_for_voices_only(call):
    if call in WHOLE_RUNS:
        with pytest.raises(TypeError, match=r"pips\[1\] must be an integer, not float"):
            RUNS[call]([5, 5.5])
        with pytest.raises(OverflowError if call not in WHOLE_RUNS else TypeError):
            RUNS[call](np.array([5.0, 1e18]))
    else:
        assert RUNS[call]([5, 5.5]).shape == (2, 3)
        with pytest.raises(OverflowError, match=r"pips\[1\] = 2147483648.0 "):
            RUNS[call](np.array([5.0, 2.0**31]))
        with pytest.raises(ValueError, match=r"pips\[2\] = nan is not finite"):
            RUNS[call]([5.0, 1.0, float("nan"), 1e300])


@pytest.mark.parametrize("call", ONE_PIP, ids=str)
@pytest.mark.parametrize(("pip", "error"), [
    (True, TypeError), (np.True_, TypeError), ("3", TypeError), (None, TypeError),
    (2**31 + 1, OverflowError), (-(2**31) - 1, OverflowError), (10**400, OverflowError),
    (np.int64(-(2**40)), OverflowError),
    # a float is a position between pips, held to the same range
    (1e18, (OverflowError, TypeError)), (2147483648.0, (OverflowError, TypeError)),
    (-2147483649.0, (OverflowError, TypeError)), (1.5, (None, TypeError)),
])
def test_one_pip_follows_the_same_rule(call, pip, error):
    expected = error if isinstance(error, type) else error[0] if call in POSITIONS else error[1]
    if expected is None:
        ONE_PIP[call](pip)
        return
    with pytest.raises(expected):
        ONE_PIP[call](pip)


@pytest.mark.parametrize("call", ONE_PIP, ids=str)
@pytest.mark.parametrize("pip", [-(2**31), 2**31 - 1, Index(7), np.int16(-3)])
def test_one_pip_takes_every_32_bit_pip(call, pip):
    ONE_PIP[call](pip)


def test_voice_positions_of_every_type_meet_at_the_range_ends():
    assert VOICE.at(2**31 - 1) == VOICE.at(2147483647.0) == tuple(VOICE.render(np.array([2.0**31 - 1]))[0])
    assert VOICE.at(-(2**31)) == VOICE.at(-2147483648.0)


def test_seconds_at_reaches_the_end_of_the_last_pip():
    tempo = TempoMap(120)
    assert tempo.seconds_at(2**31) == 2**31 / 128
    with pytest.raises(OverflowError):
        tempo.seconds_at(2**31 + 1)


@pytest.mark.parametrize(("make", "words"), [
    (lambda: TempoMap(10**400), "bpm a 1329-bit integer is outside the range of a double"),
    (lambda: TempoMap(120, beat_zero_seconds=-(10**400)), "beat_zero_seconds a 1329-bit integer"),
    (lambda: TempoMap(120, changes=[(0, 10**400)]), r"changes\[0\] bpm a 1329-bit integer"),
    (lambda: TempoMap(120, changes=[(True, 90)]), r"changes\[0\] pip must be an integer, not bool"),
    (lambda: TempoMap(120, changes=[(10**400, 90)]), r"changes\[0\] pip = a 1329-bit integer is outside"),
    (lambda: pattern_from_keyframes("k", "", 64, [(10**400, (0, 0, 0))]),
     "keyframe 0: pip a 1329-bit integer is outside the loop"),
    (lambda: pattern_from_keyframes("k", "", 64, [(-(10**400), (0, 0, 0))]), "outside the loop"),
])
def test_settings_past_a_double_are_value_errors_naming_the_value(make, words):
    with pytest.raises(ValueError, match=words):
        make()
