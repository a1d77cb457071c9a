"""Voices, spreads and crossfades: exact where a motion is read at a whole pip,
continuous in between, and each option checked against a direct computation."""

import math
import re

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import kinetrope
from kinetrope_tools import Voice, crossfade, spread

LOW, HIGH = -(2**31), 2**31 - 1
ROWS = kinetrope.catalogue()
# The newest pattern whose quarter loop is a whole number of pips.
LAST_QUARTERED = next(row["name"] for row in reversed(ROWS) if row["period_pips"] % 4 == 0)


def sampled(name, pips):
    return np.array([kinetrope.sample(name, int(pip)).as_tuple() for pip in pips], dtype=np.float64)


def identical(got, want) -> bool:
    """Same values to the last bit, signed zeros included."""
    return np.asarray(got, dtype=np.float64).tobytes() == np.asarray(want, dtype=np.float64).tobytes()


def test_default_voice_is_sample_bit_for_bit_over_the_catalogue():
    for row in ROWS:
        name, period = row["name"], row["period_pips"]
        pips = [LOW, -period - 1, -1, 0, 1, period - 1, period, 7 * period + 3, HIGH]
        want = sampled(name, pips)
        voice = Voice(name)
        assert identical(voice.render(pips), want), name
        assert identical(voice.render(np.array(pips, dtype=np.float64)), want), name
        assert identical([voice.at(pips[1]), voice.at(float(pips[-2]))], want[[1, -2]]), name


def test_pattern_and_library_sources():
    pattern = kinetrope.SampledPattern("wave", "", [(-0.0, 0.5, 0.0), (1.0, -0.0, 0.25), (0.0, 0.0, -0.0)])
    library = kinetrope.PatternLibrary([pattern])
    pips = range(-4, 5)
    want = np.array([pattern.sample(pip).as_tuple() for pip in pips])
    assert identical(Voice(pattern).render(pips), want)
    assert identical(Voice(library, name="wave").render(pips), want)
    assert identical(Voice(library, name=b"circle").render(pips), sampled("circle", pips))


# Options that keep u whole are checked against the motion's own values at u.
@pytest.mark.parametrize("options, u", [
    ({"phase": 0.25}, lambda pip, period: pip + period // 4),
    ({"phase": -1.5}, lambda pip, period: pip - 3 * period // 2),
    ({"rate": 2}, lambda pip, period: 2 * pip),
    ({"rate": -3.0}, lambda pip, period: -3 * pip),
    ({"reverse": True}, lambda pip, period: -pip),
    ({"reverse": True, "rate": 2, "phase": 0.5}, lambda pip, period: period // 2 - 2 * pip),
])
@pytest.mark.parametrize("name", ["helix", "step_touch", LAST_QUARTERED])
def test_phase_rate_and_reverse_read_the_motion_at_u(options, u, name):
    voice = Voice(name, **options)
    pips = [LOW, -65, -1, 0, 1, 5, 63, 64, 1000, HIGH // 4]
    want = sampled(name, [u(pip, voice.period_pips) % voice.period_pips for pip in pips])
    assert identical(voice.render(pips), want)
    assert identical(voice.render(np.array(pips, dtype=np.float64)), want)


def test_half_rate_at_even_pips_is_exact_and_between_them_linear():
    voice, pips = Voice("figure_eight", rate=0.5), np.arange(-64, 64)
    half = voice.render(pips)
    assert identical(half[::2], sampled("figure_eight", pips[::2] // 2))
    following = sampled("figure_eight", pips[::2] // 2 + 1)
    np.testing.assert_allclose(half[1::2], (half[::2] + following) / 2, atol=1e-15)


def placed(points, rotation, size, offset):
    turn = math.radians(rotation)
    x, y, z = points.T
    rotated = np.stack([math.cos(turn) * x - math.sin(turn) * y, math.sin(turn) * x + math.cos(turn) * y, z], axis=1)
    return rotated * size + np.array(offset)


@pytest.mark.parametrize("rotation, size, offset", [
    (30.0, 1.0, (0.0, 0.0, 0.0)), (-135.0, 1.0, (0.0, 0.0, 0.0)), (0.0, 0.3, (0.0, 0.0, 0.0)),
    (0.0, -2.0, (0.0, 0.0, 0.0)), (0.0, 1.0, (0.25, -0.5, 1.0)), (50.0, 0.4, (0.1, 0.2, -0.3)),
    (90.0, 1.0, (0.0, 0.0, 0.0)), (450.0, 0.5, (0.0, 0.0, 0.0)),
])
@pytest.mark.parametrize("interpolation", ["linear", "cubic"])
def test_rotation_then_size_then_offset(rotation, size, offset, interpolation):
    pips = np.arange(-100, 300, 0.75)
    plain = Voice("helix", interpolation=interpolation).render(pips)
    voice = Voice("helix", rotation=rotation, size=size, offset=offset, interpolation=interpolation)
    np.testing.assert_allclose(voice.render(pips), placed(plain, rotation, size, offset), rtol=0, atol=1e-14)


def test_exact_quarter_turns_keep_signed_zeros():
    plain = sampled("bounce", range(64))
    turned = np.stack([-plain[:, 1], plain[:, 0], plain[:, 2]], axis=1)
    assert identical(Voice("bounce", rotation=90).render(range(64)), turned)
    assert identical(Voice("bounce", rotation=-360).render(range(64)), plain)


@pytest.mark.parametrize("interpolation", ["linear", "cubic"])
@pytest.mark.parametrize("name", ["circle", "helix", "lfo_breathe", "single_paradiddle"])
def test_interpolation_is_exact_at_whole_u_and_continuous_across_the_wrap(interpolation, name):
    voice = Voice(name, interpolation=interpolation, phase=0.5)
    period = voice.period_pips
    whole = voice.render(np.arange(-period, period, dtype=np.float64))
    assert identical(whole, sampled(name, np.arange(-period, period) + period // 2))
    seam = period / 2  # u = period: the loop's end meets its start
    for epsilon in (1e-9, 1e-12):
        before, after = voice.render([seam - epsilon, seam + epsilon])
        np.testing.assert_allclose(before, voice.at(seam), atol=1e-6)
        np.testing.assert_allclose(after, voice.at(seam), atol=1e-6)


def test_cubic_passes_through_the_pips_and_follows_a_circle_closer_than_linear():
    halves = np.arange(0.5, 64, 1.0)
    true_circle = np.stack([np.sin(2 * np.pi * halves / 64), -np.cos(2 * np.pi * halves / 64)], axis=1)
    assert identical(Voice("circle").render(range(64)), sampled("circle", range(64)))
    errors = {kind: np.abs(Voice("circle", interpolation=kind).render(halves)[:, :2] - true_circle).max()
              for kind in ("linear", "cubic")}
    assert errors["cubic"] < errors["linear"] / 10, errors


@pytest.mark.parametrize("interpolation", ["linear", "cubic"])
def test_circle_at_60_fps_and_120_bpm_turns_a_steady_12_degrees_per_frame(interpolation):
    pips_per_second = 120 / 60 * kinetrope.PIPS_PER_BEAT
    frames = np.arange(600) / 60 * pips_per_second + 1e6 / 3
    points = Voice("circle", interpolation=interpolation).render(frames)
    steps = np.degrees(np.diff(np.unwrap(np.arctan2(points[:, 1], points[:, 0]))))
    assert np.abs(np.abs(steps) - 12.0).max() <= 0.05


@settings(max_examples=150, deadline=None)
@given(name=st.sampled_from(["circle", "helix", "bounce", "flam", ROWS[-1]["name"]]),
       phase=st.floats(-4, 4), rate=st.sampled_from([1.0, 2.0, -1.0, 0.5, 1.7, -0.3]),
       size=st.sampled_from([1.0, 0.5, -1.25]), rotation=st.sampled_from([0.0, 90.0, 270.0, 33.0]),
       offset=st.sampled_from([(0.0, 0.0, 0.0), (0.5, 0.0, -0.25)]), reverse=st.booleans(),
       interpolation=st.sampled_from(["linear", "cubic"]),
       pips=st.lists(st.integers(LOW, HIGH) | st.floats(-1e7, 1e7), min_size=1, max_size=6))
def test_at_answers_what_render_answers(name, phase, rate, size, rotation, offset, reverse, interpolation, pips):
    voice = Voice(name, phase=phase, rate=rate, size=size, rotation=rotation, offset=offset, reverse=reverse,
                  interpolation=interpolation)
    ints, floats = [p for p in pips if isinstance(p, int)], [p for p in pips if isinstance(p, float)]
    for group in (ints, floats):
        assert identical([voice.at(pip) for pip in group], voice.render(group).reshape(len(group), 3))


@pytest.mark.parametrize("pips", [range(-3, 9, 2), [1, 2, 3], np.arange(5, dtype=np.uint8),
                                  np.arange(5, dtype=np.int16), np.arange(5, dtype=np.float32), [], np.zeros(0)])
def test_render_takes_any_run_of_ints_or_floats(pips):
    got = Voice("helix").render(pips)
    assert got.shape == (len(pips), 3) and got.dtype == np.float64
    assert identical(got, sampled("helix", list(pips)).reshape(len(pips), 3))


@pytest.mark.parametrize("call, error, words", [
    (lambda v: v.render([0, HIGH + 1]), OverflowError, "pips[1] = 2147483648"),
    (lambda v: v.at(LOW - 1), OverflowError, "-2147483649"),
    (lambda v: v.render([0.0, math.nan]), ValueError, "pips[1] = nan"),
    (lambda v: v.at(math.inf), ValueError, "finite"),
    (lambda v: v.render(np.zeros((2, 2))), TypeError, "one-dimensional"),
    (lambda v: v.render(["1"]), TypeError, "pips[0] must be an integer or a float"),
    (lambda v: v.at("1"), TypeError, "str"),
    (lambda v: v.replace(rate=1e308).render([1e9]), ValueError, "too large"),
])
def test_bad_pips(call, error, words):
    with pytest.raises(error, match=re.escape(words)):
        call(Voice("circle"))


@pytest.mark.parametrize("options, option", [
    ({"rate": 0}, "rate"), ({"rate": -0.0}, "rate"), ({"rate": math.nan}, "rate"), ({"rate": math.inf}, "rate"),
    ({"phase": math.nan}, "phase"), ({"phase": -math.inf}, "phase"), ({"size": math.inf}, "size"),
    ({"size": math.nan}, "size"), ({"offset": (0.0, math.nan, 0.0)}, "offset"), ({"offset": (1.0, 2.0)}, "offset"),
    ({"rotation": math.inf}, "rotation"), ({"interpolation": "quadratic"}, "interpolation"),
    ({"interpolation": None}, "interpolation"),
])
def test_bad_options_name_the_option(options, option):
    with pytest.raises(ValueError, match=option):
        Voice("circle", **options)
    with pytest.raises(ValueError, match=option):
        Voice("bounce").replace(**options)


# Closest names come first; the catalogue may grow more of them.
@pytest.mark.parametrize("source, name, error, message", [
    ("circel", None, ValueError, "Unknown kinetrope: circel (did you mean: circle"),
    (b"zzqqxx", None, ValueError, "Unknown kinetrope: zzqqxx"),
    (kinetrope.PatternLibrary([kinetrope.SampledPattern("my_wave", "", [(0.5, 0, 0)])]), "my_wav", ValueError,
     "Unknown kinetrope: my_wav (did you mean: my_wave"),
    (kinetrope.PatternLibrary(), None, TypeError, "needs the name"),
    ("circle", "circle", TypeError, "only with a PatternLibrary"),
    (kinetrope.SampledRecording("take", ["x"], [[0.0]], 120.0), None, TypeError, "does not loop"),
    (3, None, TypeError, "not int"),
])
def test_bad_sources(source, name, error, message):
    with pytest.raises(error) as caught:
        Voice(source, name=name)
    assert str(caught.value).startswith(message) if error is ValueError else message in str(caught.value)
    if "did you mean" in str(caught.value):
        assert str(caught.value).endswith("?)")
    elif error is ValueError:
        assert str(caught.value) == message


def test_voices_are_immutable_and_replace_changes_only_what_it_names():
    voice = Voice("helix", size=0.5)
    with pytest.raises(AttributeError):
        voice.size = 2.0  # type: ignore[attr-defined]
    faster = voice.replace(rate=2)
    assert (faster.options.rate, faster.options.size, voice.options.rate) == (2.0, 0.5, 1.0)
    with pytest.raises(TypeError, match="speed"):
        voice.replace(speed=2)


@pytest.mark.parametrize("count, span", [(1, 1.0), (4, 1.0), (64, 1.0), (3, 0.5), (8, -2.0)])
def test_spread_chases_one_motion(count, span):
    voices = spread("helix", count, phase_span=span, phase=0.125, size=0.5)
    period = voices[0].period_pips
    assert [v.options.phase for v in voices] == [0.125 + i * span / count for i in range(count)]
    lead = Voice("helix", size=0.5)
    for i, voice in enumerate(voices):
        u = np.arange(-10, 10) + (0.125 + i * span / count) * period
        np.testing.assert_allclose(voice.render(range(-10, 10)), lead.render(u), atol=1e-12)


@pytest.mark.parametrize("count", [0, -1, 1.5, True])
def test_spread_needs_a_positive_count(count):
    with pytest.raises(ValueError, match="count"):
        spread("helix", count)


@pytest.mark.parametrize("curve, weight", [("linear", lambda s: s), ("smooth", lambda s: s * s * (3 - 2 * s))])
def test_crossfade_by_its_definition(curve, weight):
    a, b = Voice("circle"), Voice("helix", rate=-0.5, offset=(0.1, 0.0, 0.0))
    fade = crossfade(a, b, 100, 64, curve=curve)
    pips = np.arange(0, 300, 0.5)
    got = fade.render(pips)
    before, after = pips <= 100, pips >= 164
    assert identical(got[before], a.render(pips[before])) and identical(got[after], b.render(pips[after]))
    within = ~before & ~after
    share = weight((pips[within] - 100) / 64)[:, None]
    expected = a.render(pips[within]) * (1 - share) + b.render(pips[within]) * share
    np.testing.assert_allclose(got[within], expected, atol=1e-15)
    assert identical([fade.at(p) for p in (0, 100, 100.5, 130, 163.75, 164, 200)],
                     fade.render([0, 100, 100.5, 130, 163.75, 164, 200]))


def test_crossfades_nest_and_cut():
    a, b, c = Voice("bounce"), Voice("sway"), Voice("circle")
    cut = crossfade(a, b, 64, 0)
    assert identical(cut.render([63, 64]), [a.at(63), b.at(64)])
    assert identical([cut.at(63), cut.at(64)], [a.at(63), b.at(64)])
    chain = crossfade(crossfade(a, b, 0, 32), c, 64, 32, curve="linear")
    assert identical(chain.render([16, 100]), [crossfade(a, b, 0, 32).at(16), c.at(100)])


@pytest.mark.parametrize("options, error, option", [
    ({"curve": "cosine"}, ValueError, "curve"), ({"length_pips": -1}, ValueError, "length_pips"),
    ({"start_pip": math.nan}, ValueError, "start_pip"), ({"a": "circle"}, TypeError, "a must be"),
])
def test_bad_crossfades(options, error, option):
    arguments = {"a": Voice("circle"), "b": Voice("bounce"), "start_pip": 0, "length_pips": 64, **options}
    with pytest.raises(error, match=option):
        crossfade(**arguments)


# ------------------------------------------------------------------ extreme options and huge positions

# Pips within the 32-bit range; huge loop positions come from huge rates and starts.
TINY_AND_HUGE = [0.0, -0.0, 5e-324, -5e-324, 1e-300, -1e-300, 1e-17, -1e-17, 0.5, -0.75, 255.999, 1e9 + 0.5,
                 float(LOW), float(HIGH), -123456.789]
EXTREME_OPTIONS = [
    {}, {"rate": 1e-300}, {"rate": 3e290}, {"rate": -2.0**60}, {"rate": 1e20, "phase": 0.3}, {"phase": 1e305},
    {"phase": -1e-300}, {"size": 5e307}, {"start": 1e300}, {"start": -3e19, "rate": 7.0},
    {"size": (1.0, -1e307, 1e-300), "interpolation": "cubic"}, {"offset": (1e308, -1e308, 0.0)},
    {"base": (1.0, -1e308, 0.5), "size": 1e-5}, {"start": 1e300, "ends": "once"}, {"start": -1e18},
    {"ends": "pingpong", "rate": 7.5}, {"fade_in": 1e-300, "stop": 1e300, "fade_out": 1e300},
    {"cycles_per_bar": 1e-200}, {"beats_per_cycle": 3.0, "reverse": True, "ends": "once"},
]


def answers_at(voice, pips):
    """Each pip's point by at(), or the error it raises."""
    points = []
    for pip in pips:
        try:
            points.append(voice.at(pip))
        except (ValueError, OverflowError) as error:
            points.append(error)
    return points


@settings(max_examples=120, deadline=None)
@given(name=st.sampled_from(["circle", "flam", "sine", "square", ROWS[-1]["name"]]),
       options=st.sampled_from(EXTREME_OPTIONS), interpolation=st.sampled_from(["linear", "cubic"]),
       pips=st.lists(st.sampled_from(TINY_AND_HUGE) | st.floats(LOW, HIGH) | st.floats(-1e4, 1e4)
                     | st.integers(LOW, HIGH), min_size=1, max_size=8))
def test_at_and_render_agree_on_mixed_blocks_at_extreme_options(name, options, interpolation, pips):
    try:
        voice = Voice(name, **{"interpolation": interpolation, **options})
    except ValueError as error:  # a cubic square of size 5e307 overshoots the floats: refused when made
        assert str(error).startswith("size ")
        return
    pips = [pip for pip in pips if isinstance(pip, float)] or pips  # one kind of pip a block
    points = answers_at(voice, pips)
    errors = [type(point) for point in points if isinstance(point, Exception)]
    if errors:  # the block holds a pip that cannot be placed: render refuses it too
        with pytest.raises(OverflowError if OverflowError in errors else ValueError):
            voice.render(pips)
        return
    assert identical(points, voice.render(pips)), (name, options, pips)
    for pip, point in zip(pips, points):  # a pip's value does not depend on its neighbours
        assert identical([point], voice.render([pip]))


@pytest.mark.parametrize("name, options, option", [
    ("square", {"size": 1e308}, "size"), ("square", {"size": (-1e308, 1.0, 1.0)}, "size"),
    ("square", {"size": 8e307, "interpolation": "cubic"}, "size"),
    ("square", {"size": 8e307, "offset": (1e308, 0.0, 0.0)}, "offset"),
    ("circle", {"size": 1e307, "base": (0.0, 1.79e308, 0.0)}, "base"), ("circle", {"phase": 1e308}, "phase"),
    ("circle", {"phase": -1e307}, "phase"),
    ("circle", {"rate": 5e-324, "beats_per_cycle": 1e300}, "beats_per_cycle"),
])
def test_options_whose_products_leave_the_floats_are_refused_when_the_voice_is_made(name, options, option):
    with pytest.raises(ValueError, match=f"^{option} .*too large|^{option} .*cannot be placed"):
        Voice(name, **options)
    with pytest.raises(ValueError, match=f"^{option} "):
        Voice(name).replace(**options)


def test_largest_sizes_that_fit_answer_the_same_in_at_and_render():
    voice = Voice("square", size=8e307)  # slopes of 1.6e308 still fit
    pips = [0.5, 127.5, 128.0, 255.25]
    assert identical([voice.at(pip) for pip in pips], voice.render(pips))
    assert voice.at(127.5) == (0.0, 0.0, 0.0)  # halfway down the edge from 8e307 to -8e307


def test_a_still_voice_checks_its_pips_like_a_moving_one():
    still = kinetrope.SampledPattern("still", "", [(0.25, 0.0, -0.5)] * 4)
    voice = Voice(still, rate=1e300)
    assert voice.at(1.0) == tuple(voice.render([1.0])[0]) == (0.25, 0.0, -0.5)
    for call in (lambda: voice.at(1e9), lambda: voice.render([1.0, 1e9])):
        with pytest.raises(ValueError, match="too large"):
            call()


def test_a_tiny_position_reads_the_same_beside_a_huge_one():
    voice = Voice("circle", rate=2.0**60)
    tiny = -1e-17 / 2.0**60  # u = -1e-17 beside u = 1e9 * 2**60, far beyond 2**62
    alone = voice.render([tiny])
    assert identical(voice.render([tiny, 1e9])[:1], alone)
    assert identical(voice.render(np.r_[np.full(20000, 1e9), tiny])[-1:], alone)
    assert identical([voice.at(tiny)], alone)


# ------------------------------------------------------------------ options users reach for

@pytest.mark.parametrize("interpolation", ["linear", "cubic"])
@pytest.mark.parametrize("size", [(0.5, 2.0, -1.0), (1.0, 1.0, 0.0), (0.25, 0.25, 0.25)])
def test_size_per_axis_scales_each_axis_after_rotation(size, interpolation):
    pips = np.arange(-40, 300, 0.625)
    plain = Voice("helix", interpolation=interpolation, rotation=30.0).render(pips)
    sized = Voice("helix", interpolation=interpolation, rotation=30.0, size=size).render(pips)
    np.testing.assert_allclose(sized, plain * np.array(size), rtol=1e-15, atol=1e-16)
    whole = Voice("helix", size=size).render(range(256))
    assert identical(whole, sampled("helix", range(256)) * np.array(size))
    if len(set(size)) == 1:  # one factor per axis is the scalar size, bit for bit
        assert identical(sized, Voice("helix", interpolation=interpolation, rotation=30.0,
                                      size=size[0]).render(pips))


# (options, pips per loop): a speed sets the loop's length whatever the motion's period.
@pytest.mark.parametrize("options, loop_pips", [
    ({"cycles_per_bar": 1}, 256), ({"cycles_per_bar": 4}, 64), ({"cycles_per_bar": 0.5}, 512),
    ({"cycles_per_bar": 1, "beats_per_bar": 3}, 192), ({"beats_per_cycle": 2}, 128),
    ({"beats_per_cycle": 8, "rate": 2}, 256), ({"beats_per_cycle": 1, "reverse": True}, 64),
])
@pytest.mark.parametrize("name", ["circle", "helix", "sine", LAST_QUARTERED])
def test_speed_sets_the_loop_length_whatever_the_period(options, loop_pips, name):
    voice, plain = Voice(name, **options), Voice(name)
    period = voice.period_pips
    quarters = np.arange(-8, 9) * (loop_pips / 4)  # every quarter of the voice's loop
    direction = -1 if options.get("reverse") else 1
    want = plain.render(np.mod(direction * np.arange(-8, 9) * (period // 4), period).astype(np.int64))
    assert identical(voice.render(quarters), want)
    assert identical([voice.at(pip) for pip in quarters], want)


# Options whose turning points fall on exact pips (rates and phases of few bits).
TURNING = [("circle", {}), ("helix", {"interpolation": "cubic"}), ("sine", {"rate": 0.5}),
           ("flam", {"rate": -2.0}), ("circle", {"reverse": True, "phase": 0.25}),
           ("square", {"start": 100.0, "rate": 4.0, "size": (0.5, 1.0, 1.0)}), ("bounce", {"start": -3.5})]


def pips_at_u(voice, us):
    reading = voice.reading
    return [reading.start + (u - reading.shift) / reading.step for u in us]


@pytest.mark.parametrize("name, options", TURNING)
def test_pingpong_turns_exactly_at_the_loop_ends_and_mirrors_about_them(name, options):
    voice = Voice(name, ends="pingpong", **options)
    period = voice.period_pips
    home = Voice(name, interpolation=voice.options.interpolation, size=voice.options.size).at(0)
    turns = pips_at_u(voice, [k * period for k in range(-3, 4)])
    assert identical([voice.at(turn) for turn in turns], [home] * len(turns))
    assert identical(voice.render(turns), [home] * len(turns))
    for turn in turns:
        for s in (0.25, 1.0, 3.5, 17.0, period / 2):
            assert identical([voice.at(turn - s)], [voice.at(turn + s)]), (turn, s)
    loop = Voice(name, **options)
    forth = np.linspace(*sorted(pips_at_u(voice, [period * 0.5, period])), 50)
    assert identical(voice.render(forth), loop.render(forth))  # the second half of a leg is the loop's
    back = voice.replace(phase=voice.options.phase + 1.0)  # a phase of one loop: the leg back
    whole = np.arange(-3 * period, 3 * period, 7)
    assert identical(back.render(whole), voice.render(whole + period / voice.reading.step))


@pytest.mark.parametrize("name, options", TURNING)
def test_a_single_shot_plays_one_loop_and_holds_exactly_at_both_ends(name, options):
    voice, loop = Voice(name, ends="once", **options), Voice(name, **options)
    period, start = voice.period_pips, voice.options.start
    end = start + period / abs(voice.reading.step)
    inside = np.linspace(start, end, 101)
    assert identical(voice.render(inside), loop.render(inside))
    first, last = voice.at(start), voice.at(end)
    outside = [start - 1e9, start - 1.5, start - 1e-9, end + 1e-9, end + 0.5, end + 1e9]
    got = voice.render(outside)
    assert identical(got[:3], [first] * 3) and identical(got[3:], [last] * 3)
    assert identical([voice.at(pip) for pip in outside], got)
    assert identical([last], [first])  # a loop ends where it began


def test_fades_scale_the_point_and_settle_on_the_base():
    plain = Voice("circle", offset=(0.0, 0.0, 0.5))
    base = (0.25, -0.5, 0.0)
    voice = plain.replace(start=64.0, fade_in=32.0, stop=512.0, fade_out=128.0, base=base)
    pips = np.array([0.0, 64.0, 72.0, 80.0, 96.0, 200.0, 384.0, 448.0, 511.0, 512.0, 1000.0])
    amp = np.minimum(np.clip((pips - 64.0) / 32.0, 0.0, 1.0), np.clip((512.0 - pips) / 128.0, 0.0, 1.0))
    want = plain.render(pips) * amp[:, None] + 0.0 + base  # + 0.0: a silent voice rests at +0.0
    assert identical(voice.render(pips), want)
    assert identical([voice.at(pip) for pip in pips], want)
    cut = plain.replace(stop=100.0)  # no fade_out: a cut at stop, to the origin without a base
    assert identical(cut.render([99.5, 100.0]), [plain.at(99.5), (0.0, 0.0, 0.0)])
    assert identical(plain.replace(base=base).render(pips), plain.render(pips) + base)


@pytest.mark.parametrize("name, quarters", [
    ("sine", [0.0, 1.0, 0.0, -1.0]), ("triangle", [0.0, 1.0, 0.0, -1.0]),
    ("saw", [-1.0, -0.5, 0.0, 0.5]), ("square", [1.0, 1.0, -1.0, -1.0]),
])
def test_lfos_by_name(name, quarters):
    voice = Voice(name)
    assert (voice.name, voice.period_pips) == (name, 256)
    loop = voice.render(range(256))
    assert loop[::64, 0].tolist() == quarters and not loop[:, 1:].any()
    assert loop[:, 0].min() >= -1.0 and loop[:, 0].max() <= 1.0
    if name in ("sine", "triangle"):  # odd and symmetric about the quarter points
        assert identical(loop[1:128, 0], -loop[129:, 0]) and identical(loop[1:64, 0], loop[127:64:-1, 0])
    assert identical(Voice(name, cycles_per_bar=4).render([0, 16, 32, 48]), loop[::64])


@pytest.mark.parametrize("options, error, words", [
    ({"ends": "bounce"}, ValueError, "ends must be 'loop' or 'pingpong' or 'once'"),
    ({"fade_in": -1.0}, ValueError, "fade_in must not be negative"),
    ({"fade_out": 8.0}, ValueError, "fade_out needs stop"),
    ({"stop": math.inf}, ValueError, "stop must be finite"),
    ({"start": math.nan}, ValueError, "start must be finite"),
    ({"cycles_per_bar": 1, "beats_per_cycle": 4}, ValueError, "not both"),
    ({"cycles_per_bar": 0}, ValueError, "cycles_per_bar must be positive"),
    ({"beats_per_cycle": -2}, ValueError, "beats_per_cycle must be positive"),
    ({"beats_per_bar": 0}, ValueError, "beats_per_bar must be positive"),
    ({"size": (1.0, 2.0)}, ValueError, "size must hold three numbers"),
    ({"size": (1.0, math.inf, 1.0)}, ValueError, "size must be finite"),
    ({"size": "big"}, TypeError, "size must be a number"),
    ({"base": (0.0, 0.0)}, ValueError, "base must hold three numbers"),
    ({"base": 0.5}, TypeError, "base must be a sequence"),
])
def test_bad_new_options_name_the_option(options, error, words):
    with pytest.raises(error, match=re.escape(words)):
        Voice("circle", **options)


@pytest.mark.parametrize("run", [range(2**31 - 2, 2**31 + 2**27), range(10, -10, -3),
                                 range(5, 5), range(-7, 40_000, 7)])
def test_render_of_a_range_checks_its_ends_and_takes_its_memory_first(run: range) -> None:
    voice = Voice("circle", rate=0.5)
    if len(run) > 10**6:  # leaves the pip range: refused at once, before any pip is built
        with pytest.raises(OverflowError, match=r"pips\[2\]"):
            voice.render(run)
        return
    assert voice.render(run).tobytes() == voice.render(list(run)).tobytes()
