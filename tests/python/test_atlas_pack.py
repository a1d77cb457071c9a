"""Atlas pack: catalogue rows in registry order, settled rules against an
independent evaluation with Python's math, and the stated properties of
the authored families, each checked over all of a family's members."""

import functools
import math

import pytest

import kinetrope
from test_packs import DECIMAL_TOLERANCE, bumps, lane, rounded, table

TAU = 2 * math.pi
ROWS = {row["name"]: row for row in kinetrope.catalogue()}


@functools.cache
def points(name):
    return table(name)


def axis(name, k):
    return [p[k] for p in points(name)]


def peak(name):
    return max(abs(v) for p in points(name) for v in p)


def n82(period, raw):
    """The raw curve scaled so that its largest coordinate over the pips is 0.82."""
    largest = max(abs(v) for i in range(period) for v in raw(i))
    return lambda i: tuple(v * (0.82 / largest) for v in raw(i))


def of_angle(period, curve):
    return lambda i: curve(TAU * i / period)


def joined(numbers):
    return "_".join(map(str, numbers))


# ---------------------------------------------------------------- catalogue

WAVES = ["pinched", "shouldered", "folded", "double_fold", "rounded_square", "soft_rectifier", "skew_warp",
         "scoop_warp", "shelf_wave", "notched", "bottle", "reed", "unequal_peaks", "ripple_return", "soft_teeth",
         "warped_fold"]
WAVE_LABELS = ["Pinched sine", "Shouldered sine", "Folded sine", "Double-fold wave", "Rounded square",
               "Soft rectified swell", "Phase-skew sweep", "Scooped return", "Shelf and scoop", "Notched crest",
               "Bottle-neck swell", "Reed flutter", "Unequal double crest", "Rippled recovery", "Soft triple teeth",
               "Warped wave fold"]
ENV_KEYS = {
    "lift_hold_drop": ("Lift, hold, settle", [(0, 0), (64, -0.8), (192, -0.8), (256, 0.2), (320, 0)]),
    "inhale_exhale": ("Long inhale, short exhale", [(0, 0), (320, -0.8), (384, 0.1), (448, 0)]),
    "triple_swell": ("Three unequal swells", [(0, 0), (64, -0.8), (128, 0), (192, -0.5), (256, 0), (384, -0.3)]),
    "rising_echo": ("Rising echo ladder",
                    [(0, 0), (64, -0.25), (128, 0), (192, -0.5), (256, 0), (320, -0.8), (384, 0)]),
    "falling_echo": ("Falling echo ladder", [(0, 0), (64, -0.8), (128, 0), (192, -0.45), (256, 0), (320, -0.15)]),
    "anticipation": ("Backward anticipation",
                     [(0, 0), (64, 0.35), (128, 0), (192, -0.82), (256, -0.82), (384, 0.12)]),
    "plateau_scoop": ("Plateau then scoop", [(0, 0), (64, -0.7), (256, -0.7), (320, -0.3), (384, 0.4)]),
    "hesitant": ("Hesitant reach", [(0, 0), (64, -0.3), (128, -0.2), (192, -0.5), (256, -0.4), (320, -0.8)]),
    "double_hold": ("Two-height hold", [(0, 0), (64, -0.4), (192, -0.4), (256, -0.8), (384, -0.8)]),
    "swell_recoil": ("Deep swell and recoil", [(0, 0), (192, -0.8), (256, 0.5), (320, -0.2), (384, 0.08)]),
    "late_release": ("Late release", [(0, 0), (256, -0.8), (384, -0.8), (448, 0.25)]),
    "split_attack": ("Split attack", [(0, 0), (32, -0.6), (64, -0.2), (128, -0.8), (320, -0.2)]),
    "suspended": ("Suspended answer", [(0, 0), (64, -0.75), (128, 0), (256, 0), (384, -0.55), (448, -0.55)]),
    "valley_peaks": ("Valley between peaks", [(0, 0), (64, -0.7), (192, -0.3), (256, -0.82), (384, 0.2)]),
    "four_breaths": ("Four breathing accents",
                     [(0, 0), (64, -0.7), (128, 0), (192, -0.5), (256, 0), (320, -0.8), (384, 0), (448, -0.3)]),
    "return_stair": ("Stepped soft recovery",
                     [(0, 0), (128, -0.8), (192, -0.8), (256, -0.5), (320, -0.5), (384, -0.2), (448, -0.2)]),
}
SEQ_SHAPES = ["up_down", "pendulum", "octave", "unequal", "question", "answer", "ratchet", "stairs"]
NOISE = {"drift": [5, 7, 9, 11], "orbit": [6, 8, 10, 12], "ripple": [5, 7, 9, 11], "depth": [6, 8, 10, 12]}
ORBIT = list(zip(range(2, 10), [0.18, 0.22, 0.25, 0.28, 0.25, 0.2, 0.15, 0.13], [0] * 8)) + list(
    zip(range(2, 10), [0.34, 0.31, 0.29, 0.26, 0.23, 0.2, 0.17, 0.14], [0.5, 0.8, 1.1, 1.4, 1.7, 2.0, 2.3, 2.6]))
WEAVES = [(1, 3), (1, 4), (1, 5), (2, 5), (2, 7), (3, 4), (3, 5), (3, 7), (3, 8), (4, 5), (4, 7), (4, 9), (5, 6),
          (5, 7), (5, 8), (5, 9)]
ROSES = [3, 6, 7, 8, 9, 10, 11, 12]
SCALLOPS = list(range(2, 10))
SPIROS = [(3, 1, 0.45), (4, 1, 0.6), (5, 2, 0.75), (5, 1, 0.55), (7, 2, 0.65), (7, 3, 0.7), (8, 3, 0.6),
          (9, 4, 0.8)]
TORI = [(2, 5), (2, 7), (3, 4), (3, 5), (3, 7), (4, 5), (4, 7), (5, 6)]
SPACE_WEAVES = [(1, 2, 3), (1, 3, 4), (2, 3, 4), (2, 3, 7), (2, 5, 7), (3, 4, 5), (3, 5, 7), (4, 5, 7)]
MECH = ["piston_short", "piston_long", "offset_crank", "scotch_yoke", "whitworth", "elliptic_cam", "two_lobe_cam",
        "three_lobe_cam", "escapement", "paddle", "wobble_plate", "rocking_beam", "coupled_cranks", "crank_rocker",
        "piston_balance", "cam_return"]
MECH_LABELS = ["Short-rod piston", "Long-rod piston", "Offset crank", "Yoke with rocking linkage",
               "Quick-return linkage study", "Elliptic cam follower", "Two-lobe cam follower",
               "Three-lobe cam follower", "Soft escapement study", "Paddle-wheel tip", "Wobble-plate trace",
               "Rocking beam", "Coupled cranks", "Crank and rocker study", "Piston and balance mass",
               "Cam rise and return"]
EUCLIDS = [(2, 5), (3, 7), (3, 10), (4, 9), (4, 11), (5, 9), (5, 11), (5, 13), (5, 14), (6, 13), (7, 12), (7, 15),
           (7, 17), (8, 19), (9, 20), (11, 24)]
POLYS = [(2, 5), (2, 7), (2, 9), (3, 5), (3, 7), (3, 8), (3, 10), (4, 5), (4, 7), (4, 9), (5, 6), (5, 7), (5, 8),
         (5, 9), (6, 7), (7, 8)]
METERS = [(2, 3), (3, 2), (3, 2, 2), (2, 3, 2), (3, 4), (4, 3), (2, 2, 2, 3), (2, 3, 2, 2), (3, 2, 3, 2),
          (3, 3, 2, 3), (2, 2, 3, 2, 3), (3, 3, 3, 2), (4, 3, 3), (3, 4, 4), (2, 3, 3, 2, 3), (3, 3, 3, 4)]
SWINGS = [(3, 5), (2, 3), (5, 7), (3, 4)]
STICKINGS = ["RLRRLRLL", "RRLRLLRL", "RLLRLRRL", "RRLLRLRL", "RLRLRRLL", "RRRLLLRL", "RLLLRRRL", "RRLRRLLL",
             "RLRRLLRL", "RRLLRLLR", "RLRLLRRL", "RRRLRLLL", "RRRRLRLL", "RRLLLRRL", "RLRRRLLL", "RRLRLLLR"]
GESTURES = {"side_reach": "side reach", "cross_reach": "cross and reach", "low_scoop": "low scoop",
            "high_arc": "high arc", "corner_taps": "corner taps", "diagonal_touch": "diagonal touch",
            "box_return": "box and centre", "zigzag_lift": "zigzag lift", "duck_sway": "duck and sway",
            "push_pull": "push and pull", "reach_depth": "reach through depth", "bow_turn": "bow and turn",
            "heel_toe": "heel-toe abstract", "hop_answer": "hop and answer", "spiral_reach": "spiral reach",
            "diamond_depth": "depth diamond"}
GESTURES_3D = {"push_pull", "reach_depth", "bow_turn", "spiral_reach", "diamond_depth"}


def expected_rows():
    """(name, period, dims, description) of the atlas in registry order, from the pack's own listing."""
    rows = [(f"wave_{w}", 512, 1, f"{label}; a continuous shaped control wave, mapped to horizontal displacement.")
            for w, label in zip(WAVES, WAVE_LABELS)]
    rows += [(f"env_{e}", 512, 2, f"{label} over an eight-beat phrase; smooth, resting joins.")
             for e, (label, _) in ENV_KEYS.items()]
    rows += [(f"seq_{s}_{d}", 512, 2, f"A programmed position sequence with {d} segment durations and softened "
              "transitions.") for s in SEQ_SHAPES for d in ("even", "lilt")]
    rows += [(f"noise_{stem}_{k}", 1024, 3 if stem == "depth" else 2,
              f"Indexed SHA-256 control points in a closed {stem} path. No mutable random state.")
             for stem, ks in NOISE.items() for k in ks]
    rows += [(f"orbit_harmonic_{n:02d}", 512, 2, "An ellipse combined with unequal horizontal and vertical harmonic "
              "ripples.") for n in range(1, 17)]
    rows += [(f"weave_{a}_{b}", 1024, 2, f"{a} horizontal and {b} vertical cycles; a phase-offset, closed 16-beat "
              "traversal.") for a, b in WEAVES]
    rows += [(f"polar_rose_{k}", 1024, 2, "A complete signed-radius rose traversal; odd-petal roses use a half-turn "
              "parameter.") for k in ROSES]
    rows += [(f"polar_scallop_{k}", 1024, 2, "A positive-radius scalloped loop; no centre crossings, with an "
              "asymmetrically bent lobe.") for k in SCALLOPS]
    rows += [(f"spiro_{way}_{p}_{q}", 1024, 2, f"A closed {way}-rolling circle trace, with pen radius smaller than "
              "the rolling radius.") for way in ("inside", "outside") for p, q, _ in SPIROS]
    rows += [(f"space_torus_{joined(t)}", 1024, 3, "A genuine XYZ closed torus-knot trajectory. The demo uses an "
              "oblique projection.") for t in TORI]
    rows += [(f"space_weave_{joined(w)}", 1024, 3, "Three coprime-frequency coordinate lanes with distinct phase "
              "offsets.") for w in SPACE_WEAVES]
    rows += [(f"mech_{m}", 512, 3 if m in ("wobble_plate", "crank_rocker", "piston_balance") else 2,
              f"{label}; an original kinematic-style position study, not an engineering simulation.")
             for m, label in zip(MECH, MECH_LABELS)]
    rows += [(f"euclid_{k}_{n}", 32 * n, 2, "Evenly distributed accents with alternating sides; first onset is the "
              "phrase accent.") for k, n in EUCLIDS]
    rows += [(f"poly_{a}_{b}", 512, 3, "Two independent pulse trains share an eight-beat boundary. Each right-lane "
              "gesture includes depth.") for a, b in POLYS]
    rows += [(f"meter_{joined(g)}", 32 * sum(g), 3, "Group starts lean alternately left and right; quieter "
              "subdivisions mark the eighth-note grid.") for g in METERS]
    rows += [(f"swing_{m}_{p}_{q}", 512, 2 if m == "answer" else 3, f"Eight-beat {m} score with offbeats at {p}/{q} "
              "of each beat; peaks follow the score.") for p, q in SWINGS for m in ("push", "answer", "skip", "shuffle")]
    rows += [(f"stick_study_{n:02d}", 512, 2, "Original R/L movement study with accented group leads, followed by its "
              "hand-swapped answer. Not an official rudiment transcription.") for n in range(1, 17)]
    rows += [(f"gesture_{g}", 512, 3 if g in GESTURES_3D else 2, f"An original single-point {words} gesture. "
              "Abstract motion, not a full-body dance or biomechanical recording.") for g, words in GESTURES.items()]
    return rows


ATLAS = [name for name, _, _, _ in expected_rows()]


def test_atlas_rows_follow_the_expansion_pack_in_registry_order():
    rows = kinetrope.catalogue()[15 + 52:15 + 52 + 256]
    assert [(r["name"], r["period_pips"], r["dimensions"], r["description"]) for r in rows] == expected_rows()


@pytest.mark.parametrize("name", ATLAS)
def test_every_table_is_a_closed_loop(name):
    table_ = points(name)
    step = lambda a, b: max(abs(u - v) for u, v in zip(a, b))
    assert step(table_[-1], table_[0]) <= max(step(a, b) for a, b in zip(table_, table_[1:]))


def family(prefix):
    return [name for name in ATLAS if name.startswith(prefix)]


# ------------------------------------------------------------ settled rules

def wave_rule(curve):
    return n82(512, of_angle(512, lambda t: (curve(t), 0.0, 0.0)))


def spiro_rule(inside, p, q, f):
    def raw(i):
        t = TAU * q * i / 1024
        d, k = f * q, (p - q if inside else p + q)
        sign = 1 if inside else -1
        return (k * math.cos(t) + sign * d * math.cos(k * t / q), k * math.sin(t) - d * math.sin(k * t / q), 0.0)
    return n82(1024, raw)


def rose_rule(k):
    def rule(i):
        t = math.pi * i / 1024 if k % 2 else TAU * i / 1024
        r = math.cos(k * t) if k % 2 else math.cos(k // 2 * t)
        return (0.82 * r * math.cos(t), 0.82 * r * math.sin(t), 0.0)
    return rule


def torus_rule(p, q):
    def rule(i):
        t = TAU * i / 1024
        radius = 0.58 + 0.2 * math.cos(q * t)
        return tuple(v * 0.82 / 0.78 for v in (radius * math.cos(p * t), radius * math.sin(p * t),
                                                 0.42 * math.sin(q * t)))
    return rule


def euclid_rule(k, n):
    events = [(32 * math.ceil(m * n / k), 24, (0.75, -0.32, 0) if m == 0 else ((-1) ** m * 0.5625, -0.24, 0))
              for m in range(k)]
    return bumps(events, 32 * n)


def poly_rule(a, b):
    events = [(0, 22.4, (0, -0.52, 0.22))]
    events += [(512 * j / a, 22.4, (-0.403, -0.169, 0)) for j in range(1, a)]
    events += [(512 * j / b, 22.4, (0.403, -0.169, 0.143)) for j in range(1, b)]
    return bumps(events, 512)


def meter_rule(groups):
    events, start = [], 0
    for g, length in enumerate(groups):
        events.append((32 * start, 19.2, ((-1) ** g * 0.72, -0.33, 0)))
        events += [(32 * (start + e), 32 / 3, (0, -0.1134, 0.0504)) for e in range(1, length)]
        start += length
    return bumps(events, 32 * start)


def swing_events(p, q, skipped=()):
    events = [(64 * j, 12.8, (0.585, -0.216, 0) if j % 4 == 0 else ((-1) ** j * 0.4225, -0.156, 0))
              for j in range(8) if j not in skipped]
    return events + [(64 * j + 64 * p / q, 8, (0.075, -0.15, 0.09)) for j in range(8)]


def stick_rule(sticking):
    events = []
    for note in range(16):
        hand = (1 if sticking[note % 8] == "R" else -1) * (1 if note < 8 else -1)
        events.append((32 * note, 12, (0.74 * hand, -0.34, 0) if note % 4 == 0 else (0.407 * hand, -0.187, 0)))
    return bumps(events, 512)


SETTLED = {
    "wave_pinched": wave_rule(lambda t: math.sin(t) - math.sin(3 * t) / 3),
    "wave_notched": wave_rule(lambda t: math.sin(t) - 0.36 * math.sin(3 * t) + 0.12 * math.cos(5 * t)),
    "wave_reed": wave_rule(lambda t: math.sin(t) * (0.85 + 0.4 * math.cos(7 * t))),
    "wave_ripple_return": wave_rule(lambda t: math.sin(t) + 0.09 * math.sin(5 * t) * (1 + math.cos(t))),
    # Envelope keys are the stored heights: no peak normalisation.
    **{f"env_{e}": (lambda y: lambda i: (0.0, y(i), 0.0))(lane(keys, 512)) for e, (_, keys) in ENV_KEYS.items()},
    **{f"orbit_harmonic_{n:02d}": n82(512, of_angle(512, lambda t, h=h, a=a, f=f: (
        math.cos(t) + a * math.cos(h * t + f), 0.72 * math.sin(t) - a * math.sin((h + 1) * t - f), 0.0)))
       for n, (h, a, f) in enumerate(ORBIT, 1)},
    **{f"weave_{a}_{b}": n82(1024, of_angle(1024, lambda t, a=a, b=b: (
        math.sin(a * t + 0.37), 0.8125 * math.sin(b * t), 0.0))) for a, b in WEAVES},
    **{f"polar_rose_{k}": rose_rule(k) for k in ROSES},
    **{f"spiro_{way}_{p}_{q}": spiro_rule(way == "inside", p, q, f)
       for way in ("inside", "outside") for p, q, f in SPIROS},
    **{f"space_torus_{p}_{q}": torus_rule(p, q) for p, q in TORI},
    **{f"space_weave_{joined(w)}": of_angle(1024, lambda t, a=w[0], b=w[1], c=w[2]: tuple(0.82 * v for v in (
        math.sin(a * t), 0.8 * math.sin(b * t + 0.4), 0.7 * math.cos(c * t + 0.7)))) for w in SPACE_WEAVES},
    "mech_piston_short": n82(512, of_angle(512, lambda t: (
        math.cos(t) + math.sqrt(4 - math.sin(t) ** 2) - 2, 0.3 * math.sin(t), 0))),
    "mech_piston_long": n82(512, of_angle(512, lambda t: (
        math.cos(t) + math.sqrt(16 - math.sin(t) ** 2) - 4, 0.25 * math.sin(2 * t), 0))),
    "mech_scotch_yoke": n82(512, of_angle(512, lambda t: (
        math.cos(t), 0.35 * math.sin(t) + 0.18 * math.sin(3 * t), 0))),
    "mech_wobble_plate": n82(512, of_angle(512, lambda t: (
        math.cos(t), 0.35 * math.sin(t), 0.5 * math.sin(2 * t + 0.3)))),
    "mech_piston_balance": n82(512, of_angle(512, lambda t: (
        math.cos(t), 0.5 * math.sin(2 * t), 0.25 * math.sin(t)))),
    "mech_paddle": n82(512, of_angle(512, lambda t: (
        math.cos(t) + 0.23 * math.cos(4 * t), math.sin(t) + 0.23 * math.sin(4 * t), 0))),
    "mech_two_lobe_cam": n82(512, of_angle(512, lambda t: (
        0.3 * math.sin(t), 0.2 * math.cos(t) + 0.55 * math.cos(2 * t), 0))),
    "mech_three_lobe_cam": n82(512, of_angle(512, lambda t: (
        0.125 * math.sin(t), 0.1 * math.cos(t) + 0.5 * math.cos(3 * t), 0))),
    "mech_coupled_cranks": n82(512, of_angle(512, lambda t: (
        math.cos(t) + 0.35 * math.cos(3 * t + 0.6), math.sin(t) - 0.35 * math.sin(3 * t + 0.6), 0))),
    **{f"euclid_{k}_{n}": euclid_rule(k, n) for k, n in EUCLIDS},
    **{f"poly_{a}_{b}": poly_rule(a, b) for a, b in POLYS},
    **{f"meter_{joined(g)}": meter_rule(g) for g in METERS},
    **{f"swing_push_{p}_{q}": bumps(swing_events(p, q), 512) for p, q in SWINGS},
    **{f"swing_skip_{p}_{q}": bumps(swing_events(p, q, skipped=(2, 6)), 512) for p, q in SWINGS},
    **{f"stick_study_{n:02d}": stick_rule(s) for n, s in enumerate(STICKINGS, 1)},
}


@pytest.mark.parametrize("name", sorted(SETTLED))
def test_settled_member_holds_its_rule_rounded_to_12_decimals(name):
    rule = SETTLED[name]
    for pip, stored in enumerate(points(name)):
        assert stored == pytest.approx([rounded(v) for v in rule(pip)], abs=DECIMAL_TOLERANCE, rel=0), pip


@pytest.mark.parametrize("name, period", [("euclid_2_5", 160), ("euclid_11_24", 768)])
def test_euclid_is_looked_up_with_its_own_period(name, period):
    assert ROWS[name]["period_pips"] == period
    assert kinetrope.sample(name, period).as_tuple() == kinetrope.sample(name, 0).as_tuple() == (0.75, -0.32, 0.0)
    assert kinetrope.sample(name, -1).as_tuple() == points(name)[-1]


def test_euclid_3_7_leans_the_same_way_across_the_wrap():
    # Onsets at pips 0, 96 and 160: the last (m = 2, even) and the phrase
    # accent, one eighth-note step apart across the wrap, both lean right.
    assert kinetrope.sample("euclid_3_7", 160).x == 0.5625
    assert kinetrope.sample("euclid_3_7", 224).x == 0.75
    assert kinetrope.sample("euclid_3_7", 96).x == -0.5625
    xs = axis("euclid_3_7", 0)
    assert all(x >= 0 for x in xs[137:] + xs[:24])


def test_poly_3_8_overlapping_bumps_add():
    left, right = 512 / 3, 192  # 170 2/3 and 192 lie closer than two half-widths
    x = kinetrope.sample("poly_3_8", 181).x
    h = lambda d: (1 + math.cos(math.pi * d / 22.4)) / 2
    assert x == pytest.approx(-0.403 * h(181 - left) + 0.403 * h(181 - right), abs=DECIMAL_TOLERANCE)
    assert 0 < h(181 - left) and 0 < h(181 - right)


def test_weave_1_3_peaks_at_082_on_x_but_not_on_y():
    assert max(abs(x) for x in axis("weave_1_3", 0)) == 0.82
    assert max(abs(y) for y in axis("weave_1_3", 1)) < 0.82


@pytest.mark.parametrize("name, half_turn", [("polar_rose_3", True), ("polar_rose_6", False),
                                             ("polar_rose_10", False), ("polar_rose_12", False)])
def test_rose_traversal(name, half_turn):
    table_ = points(name)
    assert table_[0] == (0.82, 0.0, 0.0)
    # With r = cos((k/2) t) and k/2 odd, t and t + pi land on the same point:
    # the full-turn roses 6 and 10 trace their k/2 petals twice over.
    retraced = all(math.dist(table_[i], table_[i + 512]) < 1e-9 for i in range(512))
    assert retraced == (name in ("polar_rose_6", "polar_rose_10"))
    if half_turn:
        assert math.dist(table_[-1], table_[0]) < 0.01


def test_env_moves_y_only_and_peaks_at_its_deepest_key():
    reaching = set()
    for name in family("env_"):
        assert all(x == 0.0 and math.copysign(1, x) == 1 for x in axis(name, 0)), name
        deepest = max(abs(v) for _, v in ENV_KEYS[name[4:]][1])
        assert max(abs(y) for y in axis(name, 1)) == deepest, name
        if deepest == 0.82:
            reaching.add(name)
    assert reaching == {"env_anticipation", "env_valley_peaks"}


# ----------------------------------------------------------- authored rules

ODD_WAVES = ["folded", "double_fold", "rounded_square", "bottle", "soft_teeth", "warped_fold", "shelf_wave"]
AUTHORED_WAVES = [f"wave_{w}" for w in WAVES if f"wave_{w}" not in SETTLED]


@pytest.mark.parametrize("name", AUTHORED_WAVES)
def test_authored_wave_peaks_at_082_with_its_harmonic_symmetry(name):
    xs = axis(name, 0)
    assert max(abs(x) for x in xs) == 0.82
    if name.removeprefix("wave_") in ODD_WAVES:
        assert all(abs(xs[i + 256] + xs[i]) < 2e-12 for i in range(256))
    if name == "wave_soft_rectifier":
        assert all(abs(xs[i + 256] - xs[i]) < 2e-12 for i in range(256))
        assert sum(xs) / len(xs) > 0.1


@pytest.mark.parametrize("name", family("seq_"))
def test_seq_stays_in_its_field_and_peaks_at_082(name):
    assert all(-0.82 <= x <= 0.82 and -0.287 <= y <= 0.287 and z == 0 for x, y, z in points(name))
    assert peak(name) == 0.82


def test_seq_reaches_both_ends_of_y_and_lilt_changes_the_timing():
    ys = [y for name in family("seq_") for y in axis(name, 1)]
    assert min(ys) == pytest.approx(-0.287, abs=0.0005) and max(ys) == pytest.approx(0.287, abs=0.0005)
    for shape in SEQ_SHAPES:
        even, lilt = points(f"seq_{shape}_even"), points(f"seq_{shape}_lilt")
        assert even[0] == lilt[0] and even != lilt


def segment_values(values, start, end):
    """The ends (v0, v1) of a smootherstep segment from pip `start` to `end`, fitted to two of its pips."""
    s5 = lambda s: s**3 * (s * (6 * s - 15) + 10)
    a, b = math.ceil(start), math.ceil(end) - 1
    sa, sb = s5((a - start) / (end - start)), s5((b - start) / (end - start))
    rise = (values[b] - values[a]) / (sb - sa)
    v0 = values[a] - rise * sa
    return v0, v0 + rise, lambda i: v0 + rise * s5((i - start) / (end - start))


@pytest.mark.parametrize("name", family("noise_drift_") + family("noise_depth_"))
def test_noise_lanes_are_smootherstep_keys_at_1024j_over_k(name):
    k = int(name.rsplit("_", 1)[1])
    for a in range(ROWS[name]["dimensions"]):
        values = axis(name, a)
        ends = []
        for j in range(k):
            start, end = 1024 * j / k, 1024 * (j + 1) / k
            v0, v1, segment = segment_values(values, start, end)
            assert all(abs(values[i] - segment(i)) < 1e-9 for i in range(math.ceil(start), math.ceil(end)))
            ends.append((v0, v1))
        assert all(abs(ends[j][1] - ends[(j + 1) % k][0]) < 1e-9 for j in range(k))


@pytest.mark.parametrize("name", family("noise_"))
def test_noise_peaks_at_exactly_082(name):
    assert peak(name) == 0.82


@pytest.mark.parametrize("name", family("noise_orbit_") + family("noise_ripple_"))
def test_noise_orbit_and_ripple_turn_once_around_the_origin(name):
    xy = [(x, y) for x, y, _ in points(name)]
    radii = [math.hypot(x, y) for x, y in xy]
    assert 0.52 - 1e-12 <= min(radii) and max(radii) <= 0.82 + 1e-12
    angles = [math.atan2(y, x) for x, y in xy + xy[:1]]
    turned = sum(math.remainder(b - a, TAU) for a, b in zip(angles, angles[1:]))
    assert turned == pytest.approx(TAU, abs=1e-9)


def test_noise_depth_fills_its_z_range():
    zs = [z for name in family("noise_depth_") for z in axis(name, 2)]
    assert min(zs) >= -0.516 and max(zs) <= 0.464
    assert min(zs) == pytest.approx(-0.516, abs=0.0005) and max(zs) == pytest.approx(0.464, abs=0.0005)


@pytest.mark.parametrize("k", SCALLOPS)
def test_scallop_has_k_lobes_clear_of_the_centre_and_one_bent_lobe(k):
    name = f"polar_scallop_{k}"
    radii = [math.hypot(x, y) for x, y, _ in points(name)]
    assert peak(name) == 0.82
    assert min(radii) > 0.3
    crests = [i for i in range(1024) if radii[i - 1] < radii[i] >= radii[(i + 1) % 1024]]
    assert len(crests) == k
    # The lobe around angle 0 leans: its crest is off the axis and its flanks differ.
    bent = [c for c in crests if abs(math.remainder(c * TAU / 1024, TAU)) < math.pi / k]
    assert len(bent) == 1 and bent[0] != 0
    flank = 1024 // (4 * k)  # half-way down either side of the lobe
    assert radii[bent[0] - flank] != pytest.approx(radii[(bent[0] + flank) % 1024], abs=0.01)


@pytest.mark.parametrize("name", family("mech_"))
def test_mech_peaks_at_exactly_082(name):
    assert peak(name) == 0.82


@pytest.mark.parametrize("p, q", SWINGS)
def test_swing_answer_and_shuffle_keep_the_push_beat_grid(p, q):
    push, answer, shuffle = (points(f"swing_{m}_{p}_{q}") for m in ("push", "answer", "shuffle"))
    assert answer[0] == shuffle[0] == push[0] == (0.585, -0.216, 0.0)
    assert answer[256] == shuffle[256] == push[256]
    for j in (1, 2, 3, 5, 6, 7):
        assert answer[64 * j][:2] == shuffle[64 * j][:2] == ((-1) ** j * 0.422, -0.156)
    # The answer's first half follows the push score; its second half and the
    # shuffle's offbeats do not.
    lateral = lambda table_, start, end: [v for p in table_[start:end] for v in p[:2]]
    assert lateral(answer, 40, 224) == pytest.approx(lateral(push, 40, 224), abs=0.0006)
    assert lateral(answer, 296, 480) != pytest.approx(lateral(push, 296, 480), abs=0.01)
    assert shuffle != push and all(z == 0.0 for _, _, z in answer)


def test_swing_answer_and_shuffle_fill_their_ranges():
    names = family("swing_answer_") + family("swing_shuffle_")
    xs = [x for name in names for x in axis(name, 0)]
    ys = [y for name in names for y in axis(name, 1)]
    assert (min(xs), max(xs), min(ys), max(ys)) == (-0.422, 0.585, -0.216, 0.0)


@pytest.mark.parametrize("name", family("gesture_"))
def test_gesture_peaks_at_082_and_rests_across_the_wrap(name):
    table_ = points(name)
    assert peak(name) == 0.82
    assert max(abs(a - b) for a, b in zip(table_[-1], table_[0])) < 0.001
    for a in range(ROWS[name]["dimensions"]):
        assert len({p[a] for p in table_}) > 1, f"axis {a} never moves"
