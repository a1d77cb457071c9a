"""Patterns built from keyframes."""

import pytest

from kinetrope_tools import pattern_from_keyframes
from support import bits

INTERPOLATIONS = ["step", "linear", "smooth", "cubic"]
KEYS = [(0, (0.0, -0.0, 0.25)), (13, (0.5, 0.125, -0.0)), (40, (-0.75, 0.3, 0.1)), (51, (-0.0, -0.2, 0.0))]


def samples(pattern):
    return [pattern.sample(pip).as_tuple() for pip in range(pattern.period_pips)]


@pytest.mark.parametrize("interpolation", INTERPOLATIONS)
def test_every_key_is_stored_bit_for_bit_at_its_pip(interpolation):
    pattern = pattern_from_keyframes("keys", "four keys", 64, KEYS, interpolation=interpolation)
    assert pattern.period_pips == 64
    for pip, value in KEYS:
        assert bits(*pattern.sample(pip).as_tuple()) == bits(*value)


@pytest.mark.parametrize("interpolation", INTERPOLATIONS)
def test_a_loop_is_the_same_loop_whichever_pip_its_keys_start_from(interpolation):
    shift = 20
    turned = sorted(((pip + shift) % 64, value) for pip, value in KEYS)
    original = samples(pattern_from_keyframes("a", "", 64, KEYS, interpolation=interpolation))
    rotated = samples(pattern_from_keyframes("b", "", 64, turned, interpolation=interpolation))
    for pip in range(64):
        assert rotated[(pip + shift) % 64] == pytest.approx(original[pip], abs=1e-12)


@pytest.mark.parametrize(
    ("interpolation", "expected"),
    [
        # keys 0 at pip 0 and 1 at pip 8 of a 16-pip loop: halfway up, and
        # a quarter of the way back down across the wrap
        ("step", [0.0, 0.0, 0.0, 1.0]),
        ("linear", [0.25, 0.5, 0.75, 0.25]),
        ("smooth", [0.103515625, 0.5, 0.896484375, 0.103515625]),
        ("cubic", [0.15625, 0.5, 0.84375, 0.15625]),
    ],
)
def test_interpolation_between_keys_and_across_the_loop_end(interpolation, expected):
    pattern = pattern_from_keyframes("ab", "", 16, [(0, (0, 0, 0)), (8, (1, 0, 0))], interpolation=interpolation)
    assert [pattern.sample(pip).x for pip in (2, 4, 6, 14)] == pytest.approx(expected, abs=1e-15)


def test_cubic_is_periodic_catmull_rom_on_evenly_spaced_keys():
    values = [0.1, 0.6, -0.2, 0.4]
    pattern = pattern_from_keyframes("cr", "", 40, [(10 * i, (v, 0, 0)) for i, v in enumerate(values)], interpolation="cubic")
    for i in range(4):
        p0, p1, p2, p3 = (values[(i + k) % 4] for k in (-1, 0, 1, 2))
        assert pattern.sample(10 * i + 5).x == pytest.approx((-p0 + 9 * p1 + 9 * p2 - p3) / 16, abs=1e-15)


def test_a_key_between_pips_is_met_by_the_curve_between_them():
    pattern = pattern_from_keyframes("half", "", 8, [(0, (0, 0, 0)), (2.5, (1, 0, 0))], interpolation="linear")
    assert [pattern.sample(pip).x for pip in range(4)] == pytest.approx([0.0, 0.4, 0.8, 1 - 0.5 / 5.5])


def test_a_single_key_holds_all_loop_long():
    pattern = pattern_from_keyframes("still", "", 5, [(3, (0.5, -0.5, 1))], interpolation="cubic")
    assert samples(pattern) == [(0.5, -0.5, 1.0)] * 5


def test_cubic_overshoot_is_refused_naming_pip_and_axis_unless_clamped():
    plateau = [(0, (0, 1, 0)), (8, (0, 1, 0)), (16, (0, -1, 0)), (24, (0, -1, 0))]
    with pytest.raises(ValueError, match=r"leaves \[-1, 1\] at pip 1 on axis y.*clamp=True"):
        pattern_from_keyframes("over", "", 32, plateau, interpolation="cubic")
    clamped = samples(pattern_from_keyframes("over", "", 32, plateau, interpolation="cubic", clamp=True))
    assert max(y for _, y, _ in clamped) == 1.0 and min(y for _, y, _ in clamped) == -1.0
    assert pattern_from_keyframes("over", "", 32, plateau, interpolation="smooth").period_pips == 32


@pytest.mark.parametrize(
    ("period", "keys", "kwargs", "error", "message"),
    [
        (64, [], {}, ValueError, "at least one keyframe"),
        (64, [(8, (0, 0, 0)), (8, (1, 0, 0))], {}, ValueError, "keyframe 1: pip 8.0 does not come after"),
        (64, [(64, (0, 0, 0))], {}, ValueError, r"keyframe 0: pip 64 is outside the loop \[0, 64\)"),
        (64, [(-0.5, (0, 0, 0))], {}, ValueError, "outside the loop"),
        (64, [(3, (0, 1.5, 0))], {}, ValueError, r"keyframe 0 \(pip 3\), axis y: 1.5 is outside"),
        (64, [(3, (0, 0, float("nan")))], {}, ValueError, "axis z: nan"),
        (64, [(3, (0, 0))], {}, TypeError, r"\(x, y, z\) triple"),
        (64, [(True, (0, 0, 0))], {}, TypeError, "the pip must be an int or a float"),
        (0, [(0, (0, 0, 0))], {}, ValueError, "period_pips must be 1..65535"),
        (65536, [(0, (0, 0, 0))], {}, ValueError, "period_pips must be 1..65535"),
        (64, [(0, (0, 0, 0))], {"interpolation": "bezier"}, ValueError, "interpolation must be one of"),
    ],
)
def test_bad_keyframes_are_refused_with_the_reason(period, keys, kwargs, error, message):
    with pytest.raises(error, match=message):
        pattern_from_keyframes("bad", "", period, keys, **kwargs)


def test_names_are_judged_by_the_pattern_itself():
    with pytest.raises(ValueError, match="Invalid pattern name"):
        pattern_from_keyframes("Bad Name", "", 4, [(0, (0, 0, 0))])
