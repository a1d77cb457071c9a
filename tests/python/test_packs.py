"""Initial and expansion packs: table values against an independent
evaluation of their rules with Python's math, and the packs' edge cases."""

import math

import pytest

import kinetrope

TAU = 2 * math.pi
# A rule evaluated here in a different operation order may land one unit of
# the 12th decimal away when the exact value sits near a rounding boundary.
DECIMAL_TOLERANCE = 1.5e-12


def catalogue_row(name):
    return next(row for row in kinetrope.catalogue() if row["name"] == name)


def table(name):
    period = catalogue_row(name)["period_pips"]
    return [kinetrope.sample(name, pip).as_tuple() for pip in range(period)]


def rounded(value):
    return float("%.12f" % value)


# Building blocks, written from their definitions.
def s3(s):
    return s * s * (3 - 2 * s)


def s5(s):
    return s**3 * (s * (6 * s - 15) + 10)


def back_in(s, c=1.70158):
    return s * s * ((c + 1) * s - c)


def back_out(s, c=1.70158):
    return 1 + (s - 1) ** 2 * ((c + 1) * (s - 1) + c)


def bounce_out(s):
    if s < 4 / 11:
        return 7.5625 * s * s
    if s < 8 / 11:
        return 7.5625 * (s - 6 / 11) ** 2 + 0.75
    if s < 10 / 11:
        return 7.5625 * (s - 9 / 11) ** 2 + 15 / 16
    return 7.5625 * (s - 21 / 22) ** 2 + 63 / 64


def lane(keys, period, ease=s5):
    def value(pip):
        closed = keys + [(period, keys[0][1])]
        for (p0, v0), (p1, v1) in zip(closed, closed[1:]):
            if p0 <= pip < p1:
                return v0 + (v1 - v0) * ease((pip - p0) / (p1 - p0))
        raise AssertionError(pip)

    return value


def bumps(events, period):
    """events: (onset, half_width, (ax, ay, az)); summed around the loop."""

    def value(pip):
        total = [0.0, 0.0, 0.0]
        for onset, width, amp in events:
            for shift in (-period, 0, period):
                u = (pip - onset - shift) / width
                if abs(u) < 1:
                    h = (1 + math.cos(math.pi * u)) / 2
                    total = [t + a * h for t, a in zip(total, amp)]
        return tuple(total)

    return value


def xy(fx, fy=lambda i: 0.0, fz=lambda i: 0.0):
    return lambda i: (fx(i), fy(i), fz(i))


def euclid_3_8(i):
    events = [(step * 256 / 8, 12, ((-1) ** m * 0.8, -0.3, 0)) for m, step in enumerate([0, 3, 6])]
    return bumps(events, 256)(i)


def euclid_5_12(i):
    events = [(step * 256 / 12, 12, ((-1) ** m * 0.8, -0.3, 0)) for m, step in enumerate([0, 3, 5, 8, 10])]
    return bumps(events, 256)(i)


def six_stroke(i):
    events = []
    for j, hand in enumerate("RLLRRLLRRLLR"):
        side = 1 if hand == "R" else -1
        amp = (0.82 * side, -0.42, 0) if j % 6 in (0, 5) else (0.492 * side, -0.252, 0)
        events.append((64 * j / 3, 28 / 3, amp))
    return bumps(events, 256)(i)


def flam_accent(i):
    events = [
        (0, 16, (0.82, -0.42, 0)),
        (-8, 8, (-0.2624, -0.1344, 0)),
        (128 / 3, 16, (-0.492, -0.252, 0)),
        (256 / 3, 16, (0.492, -0.252, 0)),
        (128, 16, (-0.82, -0.42, 0)),
        (120, 8, (0.2624, -0.1344, 0)),
        (512 / 3, 16, (0.492, -0.252, 0)),
        (640 / 3, 16, (-0.492, -0.252, 0)),
    ]
    return bumps(events, 256)(i)


def group_223(i):
    events = []
    for bar, reverse in ((0, 1), (224, -1)):
        for onset, f, sign in ((0, 1, 1), (64, 0.7, -1), (128, 0.85, 1)):
            events.append((bar + onset, 16, (sign * reverse * 0.74 * f, -0.4 * f, 0)))
    return bumps(events, 448)(i)


def three_four_five(i):
    events = [(512 * j / 3, 24, (0.7, 0, 0)) for j in range(3)]
    events += [(128 * j, 24, (0, -0.7, 0)) for j in range(4)]
    events += [(512 * j / 5, 24, (0, 0, 0.55)) for j in range(5)]
    return bumps(events, 512)(i)


def euclid_7_16(i):
    steps = [0, 3, 5, 7, 10, 12, 14]
    events = []
    for g, (bar, step) in enumerate((bar, step) for bar in (0, 256) for step in steps):
        side = 1 if g % 2 == 0 else -1
        accent = (16 * step) % 64 == 0
        amp = (0.76 * side, -0.3, 0) if accent else (0.5472 * side, -0.216, 0)
        events.append((bar + 16 * step, 12, amp))
    return bumps(events, 512)(i)


def swung_answer(i):
    events = []
    for half, side in ((0, 1), (1, -1)):
        for beat in (0, 64):
            events.append((128 * half + beat, 8, (0.78 * side, -0.3, 0)))
            events.append((128 * half + beat + 128 / 3, 8, (0.468 * side, -0.18, 0)))
    return bumps(events, 256)(i)


def eased_trip(ease):
    def x(i):
        if i < 128:
            return -0.65 + 1.3 * ease(i / 128)
        return 0.65 - 1.3 * s3((i - 128) / 128)

    return xy(x)


def elastic_g(i):
    return math.sin(math.pi * i / 256) ** 2 * math.exp(-2 * i / 256) * math.sin(6 * math.pi * i / 256)


def morph(i):
    theta = TAU * i / 512
    m = 0.5 - 0.5 * math.cos(theta)
    u = (i % 128) / 128
    tri = -0.8 + 1.6 * u / 0.23 if u < 0.23 else 0.8 - 1.6 * (u - 0.23) / 0.77
    return ((1 - m) * 0.8 * math.sin(TAU * i / 128) + m * tri, 0.2 * math.sin(theta), 0.0)


def rose_5(i):
    t = math.pi * i / 512
    r = 0.82 * math.cos(5 * t)
    return (r * math.cos(t), r * math.sin(t), 0.0)


def torus_knot(i):
    t = TAU * i / 1024
    radius = 0.54 + 0.22 * math.cos(3 * t)
    return (radius * math.cos(2 * t), radius * math.sin(2 * t), 0.36 * math.sin(3 * t))


DRIFT_X = [0.073681248811, 0.602833500982, 0.380098359734, 0.787097347851,
           -0.710648647689, 0.466493500809, -0.496392090816, -0.57411383677]
DRIFT_Y = [0.071011606311, 0.035962627311, 0.396668543632, -0.609786446646, -0.406132276906]

RULES = {
    # sines and closed paths
    "lfo_breathe": xy(lambda i: 0.8 * math.sin(TAU * i / 256)),
    "lfo_flower": xy(lambda i: 0.56 * math.cos(TAU * i / 512) - 0.28 * math.cos(2 * TAU * i / 512),
                     lambda i: 0.56 * math.sin(TAU * i / 512) + 0.28 * math.sin(2 * TAU * i / 512)),
    "lfo_morph": morph,
    "lfo_triplet_wobble": xy(
        lambda i: 0.85 * math.sin(12 * TAU * i / 512) * (0.65 - 0.3 * math.cos(TAU * i / 512)),
        lambda i: 0.22 * math.sin(TAU * i / 512)),
    "lfo_pendulum_dwell": xy(lambda i: 0.78 * math.tanh(2.8 * math.sin(TAU * i / 512)) / math.tanh(2.8),
                             lambda i: 0.22 * math.cos(2 * TAU * i / 512)),
    "path_rose_5": rose_5,
    "path_orbit_dwell": xy(lambda i: 0.8 * math.cos(TAU * i / 512 - math.sin(TAU * i / 512)),
                           lambda i: 0.6 * math.sin(TAU * i / 512 - math.sin(TAU * i / 512))),
    "path_torus_knot": torus_knot,
    "path_crank_slider": xy(
        lambda i: 0.78 * (math.cos(TAU * i / 256) + math.sqrt(9 - math.sin(TAU * i / 256) ** 2) - 3),
        lambda i: 0.3 * math.sin(TAU * i / 256)),
    # key lanes
    "lfo_surge": xy(lane([(0, -0.8), (192, 0.8)], 256)),
    "lfo_soft_gate": xy(lane([(0, -0.8), (32, 0.8), (128, 0.8), (160, -0.8)], 256)),
    "lfo_double_pump": xy(lambda i: 0.0, lane([(0, 0), (32, -0.85), (64, 0), (96, -0.55), (128, 0)], 256)),
    "lfo_twin_swell": xy(lane([(0, 0), (128, 0.2), (256, 0), (384, -0.32)], 512),
                         lane([(0, 0), (128, -0.85), (256, 0), (384, -0.45)], 512)),
    "lfo_seeded_drift": xy(lane([(128 * j, v) for j, v in enumerate(DRIFT_X)], 1024, s3),
                           lane([(1024 * j / 5, v) for j, v in enumerate(DRIFT_Y)], 1024, s3)),
    # gesture bumps
    "lfo_ratchet": bumps([(16 * j, 8, (0.8 * (1 - 0.18 * j), -0.5 * (1 - 0.18 * j), 0)) for j in range(4)], 256),
    "rhythm_euclid_3_8": euclid_3_8,
    "rhythm_euclid_5_12": euclid_5_12,
    "rudiment_six_stroke": six_stroke,
    "rudiment_flam_accent": flam_accent,
    "rhythm_euclid_7_16": euclid_7_16,
    "rhythm_swung_answer": swung_answer,
    "rhythm_group_223": group_223,
    "rhythm_three_four_five": three_four_five,
    # easings
    "ease_rebound": eased_trip(bounce_out),
    "ease_anticipate": eased_trip(back_in),
    "ease_overshoot": eased_trip(back_out),
    "ease_elastic": xy(lambda i: 0.8 * elastic_g(i) / elastic_g(106)),
}


@pytest.mark.parametrize("name", sorted(RULES))
def test_table_holds_the_rule_rounded_to_12_decimals(name):
    rule = RULES[name]
    for pip, stored in enumerate(table(name)):
        expected = [rounded(v) for v in rule(pip)]
        assert stored == pytest.approx(expected, abs=DECIMAL_TOLERANCE, rel=0), pip


INITIAL = ["lfo_breathe", "lfo_surge", "lfo_soft_gate", "lfo_double_pump", "lfo_ratchet", "lfo_glide_stair",
           "lfo_morph", "lfo_flower", "rhythm_euclid_3_8", "rhythm_euclid_5_12", "rhythm_three_two",
           "rhythm_half_time", "rudiment_double_paradiddle", "rudiment_paradiddle_diddle", "rudiment_six_stroke",
           "rudiment_flam_accent", "ease_rebound", "ease_anticipate", "ease_overshoot", "ease_elastic",
           "akwf_round_saw", "akwf_quick_return", "akwf_multi_lobe", "akwf_plateau", "groove_a_played",
           "groove_a_grid", "groove_b_played", "groove_b_grid"]
EXPANSION = ["lfo_twin_swell", "lfo_pulse_hold", "lfo_sweep_ratchet", "lfo_triplet_wobble",
             "lfo_breathing_orbit", "lfo_seeded_drift", "lfo_pendulum_dwell", "lfo_reverse_swell",
             "path_lissajous_2_3", "path_rose_4", "path_rose_5", "path_bowed_diamond", "path_orbit_dwell",
             "path_torus_knot", "path_woven_3d", "path_crank_slider", "rhythm_five_four", "rhythm_seven_four",
             "rhythm_euclid_7_16", "rhythm_euclid_5_16", "rhythm_swung_answer", "rhythm_group_332",
             "rhythm_group_223", "rhythm_three_four_five"]


def test_catalogue_lists_both_packs_in_registry_order_after_the_rudiments():
    names = [row["name"] for row in kinetrope.catalogue()]
    assert names[15:15 + 52] == INITIAL + EXPANSION


@pytest.mark.parametrize("name", INITIAL + EXPANSION)
def test_coordinates_stay_within_085_except_groove_b(name):
    limit = 1.0 if name.startswith("groove_b") else 0.85
    assert all(abs(v) <= limit for point in table(name) for v in point)


@pytest.mark.parametrize("name, period, dims, description", [
    ("groove_a_played", 512, 2, "Two-bar funk excerpt A (4\u201312 source beats), performed microtiming."),
    ("rhythm_group_223", 448, 2, "Two 7/8 bars grouped as 2+2+3 eighth notes: a seven-quarter-note loop, "
                                 "not forced into four beats."),
    ("lfo_seeded_drift", 1024, 2, "Two independently seeded smooth random lanes; irregular-looking but "
                                  "exactly periodic and seekable."),
    ("rhythm_three_four_five", 512, 3, "Three X, four Y, and five Z gestures share an eight-beat phrase, "
                                       "with exact rational peak times."),
])
def test_catalogue_row(name, period, dims, description):
    row = catalogue_row(name)
    assert (row["period_pips"], row["dimensions"], row["description"]) == (period, dims, description)


def test_lfo_breathe_starts_at_rest_and_peaks_at_exactly_08():
    assert kinetrope.sample("lfo_breathe", 0).as_tuple() == (0.0, 0.0, 0.0)
    assert kinetrope.sample("lfo_breathe", 64).x == 0.8
    assert kinetrope.sample("lfo_breathe", 256).as_tuple() == kinetrope.sample("lfo_breathe", 0).as_tuple()
    assert kinetrope.sample("lfo_breathe", -1).as_tuple() == kinetrope.sample("lfo_breathe", 255).as_tuple()


def test_lfo_double_pump_moves_y_only():
    points = table("lfo_double_pump")
    assert all(x == 0.0 and math.copysign(1, x) == 1 for x, _, _ in points)
    assert min(y for _, y, _ in points) == -0.85


@pytest.mark.parametrize("pip", [1, 255, 257, -1])
def test_bump_at_onset_zero_reaches_across_the_wrap(pip):
    assert kinetrope.sample("rhythm_euclid_3_8", pip).x == rounded(0.8 * 0.5 * (1 + math.cos(math.pi / 12)))


def test_fractional_onset_is_not_on_a_pip():
    x = kinetrope.sample("rhythm_euclid_5_12", 107).x
    assert x == rounded(0.8 * 0.5 * (1 + math.cos(math.pi / 36)))
    assert x == pytest.approx(0.798478, abs=1e-6)
    # The onset at 106 2/3 falls between pips: neither neighbour reaches 0.8.
    assert kinetrope.sample("rhythm_euclid_5_12", 106).x < 0.8
    assert kinetrope.sample("rhythm_euclid_5_12", 64).x == -0.8


def test_ease_elastic_peaks_at_exactly_08_on_pip_106():
    xs = [p[0] for p in table("ease_elastic")]
    assert xs[106] == 0.8
    assert max(abs(x) for x in xs) == 0.8


@pytest.mark.parametrize("name, extreme", [("ease_anticipate", -0.78), ("ease_overshoot", 0.78)])
def test_back_easings_leave_the_range_they_travel(name, extreme):
    xs = [p[0] for p in table(name)]
    reached = min(xs) if extreme < 0 else max(xs)
    assert reached == pytest.approx(extreme, abs=0.001)


def test_rose_5_closes_after_half_a_turn():
    assert kinetrope.sample("path_rose_5", 0).as_tuple() == (0.82, 0.0, 0.0)
    x, y, _ = kinetrope.sample("path_rose_5", 511).as_tuple()
    assert math.hypot(x - 0.82, y) < 0.01


def test_group_223_loops_after_seven_beats():
    assert catalogue_row("rhythm_group_223")["period_pips"] == 448
    assert kinetrope.sample("rhythm_group_223", 448).as_tuple() == kinetrope.sample("rhythm_group_223", 0).as_tuple()
    assert kinetrope.sample("rhythm_group_223", 224).x == -0.74


def test_seeded_drift_interpolates_between_fractional_keys():
    y = kinetrope.sample("lfo_seeded_drift", 205).y
    expected = DRIFT_Y[0 + 1] + (DRIFT_Y[2] - DRIFT_Y[1]) * s3((205 - 204.8) / 204.8)
    assert y == pytest.approx(rounded(expected), abs=DECIMAL_TOLERANCE)
    assert y not in DRIFT_Y
    assert kinetrope.sample("lfo_seeded_drift", 128 * 3).x == DRIFT_X[3]


@pytest.mark.parametrize("name, signed_peak", [
    ("akwf_round_saw", -0.85), ("akwf_quick_return", 0.85), ("akwf_multi_lobe", 0.85), ("akwf_plateau", 0.85)])
def test_waveform_is_zero_mean_with_exact_signed_peak(name, signed_peak):
    row = catalogue_row(name)
    assert (row["period_pips"], row["dimensions"]) == (256, 1)
    xs = [p[0] for p in table(name)]
    assert abs(sum(xs) / len(xs)) < 1e-12
    assert max(xs, key=abs) == signed_peak
    assert max(abs(x) for x in xs) == 0.85


GROOVE_RANGES = {
    "groove_a_played": ((-0.2204, 0.6745), (-0.3059, 0.4859)),
    "groove_a_grid": ((-0.2205, 0.6488), (-0.3066, 0.4680)),
    "groove_b_played": ((-0.3065, 1.0), (-0.4287, 0.4191)),
    "groove_b_grid": ((-0.2831, 1.0), (-0.4121, 0.3771)),
}


@pytest.mark.parametrize("name", sorted(GROOVE_RANGES))
def test_groove_fills_its_stated_ranges(name):
    points = table(name)
    for axis, (low, high) in enumerate(GROOVE_RANGES[name]):
        values = [p[axis] for p in points]
        lowest, highest = min(values), max(values)
        assert low <= lowest and highest <= high
        # The binding extreme touches its range end; the other comes close.
        assert lowest == low or highest == high
        assert lowest <= 0.9 * low and highest >= 0.9 * high
    assert all(p[2] == 0.0 for p in points)


@pytest.mark.parametrize("excerpt", ["a", "b"])
def test_grid_version_moves_the_performed_hits(excerpt):
    played, grid = table(f"groove_{excerpt}_played"), table(f"groove_{excerpt}_grid")
    assert played != grid
    assert catalogue_row(f"groove_{excerpt}_grid")["dimensions"] == 2


@pytest.mark.parametrize("name", sorted(GROOVE_RANGES))
def test_groove_reaches_both_ends_of_both_ranges(name):
    points = table(name)
    for axis, (low, high) in enumerate(GROOVE_RANGES[name]):
        values = [p[axis] for p in points]
        assert min(values) == pytest.approx(low, abs=0.00005) and max(values) == pytest.approx(high, abs=0.00005)
