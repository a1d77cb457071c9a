"""Continuum pack: every family's catalogue rows, peaks, moving axes and
closed loops over all its members, the structure each family's name and
description promise, and silhouette against an independent evaluation."""

import functools
import math
from pathlib import Path

import pytest

import kinetrope

TAU = 2 * math.pi
DECIMAL_TOLERANCE = 1.5e-12
NECKLACE_WORDS = Path(__file__).resolve().parents[2] / "packs" / "generator" / "data" / "continuum_necklaces.txt"

PAIRS = "1_2 1_3 1_4 1_5 2_3 2_5 3_4 3_5".split()


def numbered(stem):
    return [f"{stem}_{k:02d}" for k in range(1, 17)]


NAMES = {
    "ribbon": [f"ribbon_{p}_{w}" for w in ("slim", "deep") for p in PAIRS],
    "contour": numbered("contour_shaped"),
    "silhouette": numbered("silhouette_harmonic"),
    "spline": ["spline_" + s for s in (
        "kite hourglass hook crown bow crooked_cross asymmetric_star scoop rising_kite twisted_bow cup bridge "
        "double_bay slanted_loop fork folded_crown").split()],
    "tour": ["tour_" + p for p in "5_2 7_2 7_3 8_3 9_2 9_4 10_3 11_2 11_3 11_4 12_5 13_2 13_3 13_4 13_5 14_3".split()],
    "scan": [f"scan_{s}_{n}" for n in (3, 4, 5, 6) for s in ("flat", "bowed", "tilted", "depth")],
    "reach": [f"reach_{s}_{n}" for n in (3, 4, 5, 7) for s in ("scoop", "hook", "lift", "recoil")],
    "surface": [f"surface_{p}_{w}" for w in ("low", "wide") for p in PAIRS],
    "braid": ["braid_" + p for p in PAIRS + "1_6 2_7 3_7 4_5 4_7 5_6 5_7 5_8".split()],
    "arm": numbered("arm_coupled"),
    "dwell": numbered("dwell_phrase"),
    "packet": [f"packet_{s}_{n}" for n in (2, 3, 4, 5) for s in ("alternating", "cascading", "crossing", "depth")],
    "canon": [f"canon_{k:02d}_{v}" for k in range(1, 9) for v in ("close", "late")],
    "echo": [f"echo_{s}_{n}" for n in (3, 4, 5, 6) for s in ("regular", "shrinking", "expanding", "crossed")],
    "ladder": ["ladder_" + p for p in (
        "2_3_4_6 3_5_4_2 2_5_3_7 4_3_6_5 2_4_7_3 3_6_2_5 5_3_7_4 6_4_3_2 2_7_4_5 7_3_5_2 4_7_3_6 5_2_6_3 3_4_5_7 "
        "6_5_4_3 7_5_3_4 4_6_7_5").split()],
    "necklace": numbered("necklace"),
    "accent": ["accent_walk_" + p for p in
               "5_1 5_2 7_1 7_2 7_3 8_1 8_3 9_1 9_2 9_4 10_3 11_2 11_3 12_5 13_3 13_5".split()],
    "triplet": [f"triplet_{k:02d}_{v}" for k in range(1, 9) for v in ("answer", "turnaround")],
    "dialogue": ["dialogue_" + p for p in (
        "3_4_5 5_3_4 3_5_2 2_5_4 4_3_2 3_2_4_5 5_2_3_4 2_3_5_3 3_4_3_5 5_4_2_3 2_4_5_2 4_5_3_2 3_5_4_3 5_3_2_5 "
        "2_5_3_5 4_3_5_4").split()],
    "burst": ["burst_" + p for p in
              "3_5_2 4_3_6 5_2_4 2_7_3 3_4_5 5_3_7 6_2_5 4_7_2 7_3_4 2_5_6 5_7_3 3_6_4 4_5_7 6_3_5 7_4_3 5_6_2".split()],
}
FAMILIES = list(NAMES)

DESCRIPTIONS = {
    "ribbon": "A curved elliptical spine with variable radial width and linked depth deflection.",
    "contour": "Signed-power oval edges with local ripples and an asymmetric bow.",
    "silhouette": "Three unequal harmonic components, with cross-axis phases and a small linked depth term.",
    "spline": "Periodic cubic tangents connect asymmetrical controls with unequal segment times.",
    "tour": "A noncircular vertex tour with eased corners and alternating dwell lengths.",
    "scan": "An eased serpentine scan and an explicit outer return to the starting point.",
    "reach": "Separate shaped reaches depart from and settle at a shared centre, without reset jumps.",
    "surface": "A varying-radius surface path with coupled longitude and latitude; all three coordinates are retained.",
    "braid": "An offset tube centreline and a rolling cross-section with a second depth ripple.",
    "arm": "Tip position of two kinematically driven links; not a dynamics simulation or anatomical model.",
    "dwell": "Two unequal lift-and-hold gestures, a transfer and a settling return; holds have finite musical "
             "duration.",
    "packet": "Compact, smooth-edged oscillation packets arranged around a closed phrase, with shaped side motion.",
    "canon": "A rational-beat motif passes between lateral and depth lanes, with an altered second-half response.",
    "echo": "An original decaying call and a differently directed answer; echo spacing is preserved as fractions.",
    "ladder": "Four two-beat regions change subdivision density while accents mark region starts.",
    "necklace": "A hand-authored binary accent word; its complement moves the other side and rising accents add "
                "depth.",
    "accent": "A four-bar grid keeps its pulse spacing while a two-accent motif migrates between bars.",
    "triplet": "Triplet-grid gestures with deliberate omissions; gaps either answer off-grid or rotate after four "
               "beats.",
    "dialogue": "Different eighth-note group lengths pass a phrase between directions, with late pickup responses.",
    "burst": "Three unevenly subdivided directional bursts, deliberate gaps and a late settling accent.",
}

AUTHORED_SHAPES = ["ribbon", "contour", "spline", "tour", "scan", "reach", "surface", "braid", "arm", "dwell",
                   "packet"]
# (lowest, highest, tolerance): bands are filled end to end, single values hit.
RHYTHM_PEAKS = {
    "canon": (0.279, 0.311, 0.0005), "echo": (0.249, 0.31, 0.0005), "ladder": (0.32, 0.32, 0.0005),
    "necklace": (0.248, 0.248, 0.0005), "accent": (0.256, 0.314, 0.0005), "triplet": (0.2945, 0.2945, 0.00005),
    "dialogue": (0.32, 0.32, 0.0005), "burst": (0.288, 0.288, 0.0005),
}


def expected_dims(family, index, name):
    flat = {
        "contour": index < 8, "spline": index < 8, "tour": index < 8, "arm": index < 8,
        "scan": not name.startswith("scan_depth"), "reach": not name.startswith("reach_lift"),
        "packet": not name.startswith("packet_depth"),
    }
    return 2 if flat.get(family, False) else 3


def expected_period(family, name):
    if family == "dialogue":
        return 32 * sum(int(n) for n in name.split("_")[1:])
    if family in ("spline", "packet", "canon", "echo", "ladder", "necklace", "triplet", "burst"):
        return 512
    return 1024


@functools.cache
def rows():
    return {row["name"]: row for row in kinetrope.catalogue()}


@functools.cache
def table(name):
    return tuple(kinetrope.sample(name, pip).as_tuple() for pip in range(rows()[name]["period_pips"]))


def peak(name):
    return max(abs(v) for point in table(name) for v in point)


def still_runs(points, length):
    """Runs of at least `length` identical neighbouring entries, around the loop."""
    n = len(points)
    start = next((i for i in range(n) if points[i] != points[i - 1]), None)
    if start is None:
        return [points[0]]
    runs, run = [], 1
    for k in range(1, n + 1):
        i = (start + k) % n
        if k < n and points[i] == points[i - 1]:
            run += 1
            continue
        if run >= length:
            runs.append(points[i - 1])
        run = 1
    return runs


def test_families_stand_in_registry_order_as_one_run():
    names = list(rows())
    expected = [name for family in FAMILIES for name in NAMES[family]]
    first = names.index(expected[0])
    assert names[first:first + 320] == expected


@pytest.mark.parametrize("family", FAMILIES)
def test_family_catalogue_rows(family):
    for index, name in enumerate(NAMES[family]):
        row = rows()[name]
        assert row["description"] == DESCRIPTIONS[family], name
        assert (row["period_pips"], row["dimensions"]) == (
            expected_period(family, name), expected_dims(family, index, name)), name


@pytest.mark.parametrize("family", FAMILIES)
def test_family_moves_every_declared_axis_around_a_closed_loop(family):
    for name in NAMES[family]:
        points, dims = table(name), rows()[name]["dimensions"]
        for axis in range(dims):
            assert len({p[axis] for p in points}) > 1, (name, axis)
        steps = [max(abs(a - b) for a, b in zip(p, q)) for p, q in zip(points, points[1:])]
        wrap = max(abs(a - b) for a, b in zip(points[-1], points[0]))
        assert wrap <= max(steps), name


@pytest.mark.parametrize("family", AUTHORED_SHAPES + ["silhouette"])
def test_shape_family_peaks_just_under_or_at_082(family):
    for name in NAMES[family]:
        assert 0.8196 <= peak(name) <= 0.82, name


def test_one_authored_shape_keeps_its_peak_between_pips_at_08196():
    peaks = [peak(name) for family in AUTHORED_SHAPES for name in NAMES[family]]
    assert round(min(peaks), 4) == 0.8196
    assert max(peaks) == 0.82


@pytest.mark.parametrize("family", RHYTHM_PEAKS)
def test_rhythm_family_peaks_fill_their_band(family):
    low, high, tolerance = RHYTHM_PEAKS[family]
    peaks = [peak(name) for name in NAMES[family]]
    assert all(low - tolerance <= p <= high + tolerance for p in peaks), peaks
    assert min(peaks) == pytest.approx(low, abs=tolerance)
    assert max(peaks) == pytest.approx(high, abs=tolerance)


# Silhouette, evaluated here from its harmonic table with Python's math.
SILHOUETTE = [  # p, q, r, b, c
    (1, 2, 3, 0.2, 0.16), (1, 3, 5, 0.35, 0.12), (2, 3, 4, 0.3, 0.18), (2, 5, 7, 0.23, 0.16),
    (1, 4, 7, 0.35, 0.21), (3, 4, 5, 0.28, 0.14), (2, 7, 9, 0.19, 0.12), (3, 5, 8, 0.3, 0.17),
    (1, 2, 5, 0.4, 0.22), (1, 5, 8, 0.27, 0.24), (2, 3, 7, 0.34, 0.2), (3, 7, 10, 0.26, 0.16),
    (2, 4, 9, 0.33, 0.23), (3, 4, 9, 0.29, 0.25), (4, 5, 7, 0.25, 0.21), (4, 7, 11, 0.21, 0.16),
]


def silhouette(member, pip):
    p, q, r, b, c = SILHOUETTE[member]
    t = TAU * pip / 1024
    return (math.cos(p * t) + b * math.sin(q * t + 0.3) + c * math.cos(r * t),
            0.65 * math.sin(p * t + 0.2) + c * math.sin(q * t) - b * math.cos(r * t + 0.1),
            0.12 * math.sin(t) * math.sin((p + q) * t))


@pytest.mark.parametrize("member", range(16))
def test_silhouette_is_its_harmonics_normalised_over_half_pips(member):
    largest = max(max(abs(v) for v in silhouette(member, k / 2)) for k in range(2048))
    for pip, stored in enumerate(table(NAMES["silhouette"][member])):
        expected = [float("%.12f" % (0.82 * v / largest)) for v in silhouette(member, pip)]
        assert stored == pytest.approx(expected, abs=DECIMAL_TOLERANCE, rel=0), pip


def test_silhouette_peak_between_pips_stays_below_082():
    # Member 03's largest magnitude falls between pips: 0.819986 to six places.
    assert peak("silhouette_harmonic_03") == pytest.approx(0.819986, abs=5e-7)
    assert peak("silhouette_harmonic_01") == 0.82


# Structure the names and descriptions promise.
@pytest.mark.parametrize("name", NAMES["tour"])
def test_tour_rests_once_at_every_vertex(name):
    vertices = int(name.split("_")[1])
    assert len(still_runs(table(name), 4)) == vertices


@pytest.mark.parametrize("name", NAMES["reach"])
def test_reaches_rest_at_the_centre_between_them(name):
    rests = still_runs(table(name), 8)
    assert rests == [(0.0, 0.0, 0.0)] * int(name.split("_")[-1])


@pytest.mark.parametrize("name", NAMES["dwell"])
def test_dwell_holds_twice_away_from_rest(name):
    holds = [p for p in still_runs(table(name), 32) if p != (0.0, 0.0, 0.0)]
    assert len(holds) == 2 and holds[0] != holds[1]


@pytest.mark.parametrize("name", NAMES["ladder"])
def test_ladder_region_starts_carry_the_accents_to_alternate_sides(name):
    xs = [p[0] for p in table(name)]
    for region in range(4):
        start = 128 * region
        assert abs(xs[start]) == max(abs(x) for x in xs[start:start + 128])
        assert math.copysign(1, xs[start]) == (1 if region % 2 == 0 else -1)


@pytest.mark.parametrize("name", NAMES["canon"])
def test_canon_lanes_trade_the_lead_after_four_beats(name):
    points = table(name)

    def loudest(axis, pips):
        return max(abs(points[i][axis]) for i in pips)

    assert loudest(0, range(0, 240)) > loudest(2, range(0, 240))
    assert loudest(2, range(256, 496)) > loudest(0, range(256, 496))


def necklace_words():
    lines = NECKLACE_WORDS.read_text().splitlines()
    return dict(line.split() for line in lines if line and not line.startswith("#"))


@pytest.mark.parametrize("name", NAMES["necklace"])
def test_necklace_word_sets_the_side_and_rising_accents_the_depth(name):
    word = necklace_words()[name]
    points = table(name)
    for k, letter in enumerate(word):
        if 512 * k % len(word):
            continue  # onset between pips
        x, _, z = points[512 * k // len(word)]
        assert (x > 0) == (letter == "1"), k
        assert (z > 0) == (letter == "1" and word[k - 1] == "0"), k


@pytest.mark.parametrize("name", NAMES["accent"])
def test_accent_motif_walks_while_the_pulse_grid_stays(name):
    n, k = (int(v) for v in name.split("_")[2:])
    xs = [p[0] for p in table(name)]
    for bar in range(4):
        loudest = max(range(256 * bar, 256 * bar + 256), key=lambda i: xs[i])
        assert abs(loudest - (256 * bar + 256 * (bar * k % n) / n)) < 1, bar


@pytest.mark.parametrize("number", range(1, 9))
def test_triplet_variants_share_four_beats_then_part(number):
    answer, turnaround = table(f"triplet_{number:02d}_answer"), table(f"triplet_{number:02d}_turnaround")
    assert answer[16:240] == turnaround[16:240]
    assert answer[272:496] != turnaround[272:496]


@pytest.mark.parametrize("name", NAMES["echo"])
def test_echo_answer_turns_away_from_the_call(name):
    call, answer = table(name)[0], table(name)[256]
    assert call[0] > 0 and answer[0] < 0 and answer[2] > call[2]


DIALOGUE_DIRECTIONS = [(0, 1), (2, 1), (0, -1), (2, -1)]  # (axis, sign): right, forward, left, back


@pytest.mark.parametrize("name", NAMES["dialogue"])
def test_dialogue_pickups_lean_late_toward_the_next_group(name):
    groups = [int(n) for n in name.split("_")[1:]]
    points = table(name)
    starts = [32 * sum(groups[:g]) for g in range(len(groups))]
    for g, start in enumerate(starts):
        axis, sign = DIALOGUE_DIRECTIONS[g % 4]
        assert math.copysign(1, points[start][axis]) == sign, g
        pickup = points[start - 16]  # half an eighth before the group, round the loop
        assert math.copysign(1, pickup[axis]) == sign and pickup[axis] != 0.0, g


@pytest.mark.parametrize("name", NAMES["burst"])
def test_burst_settling_accent_comes_alone_after_the_bursts(name):
    points = table(name)
    lowest = min(range(512), key=lambda i: points[i][1])
    assert 384 < lowest < 512
    assert all(p == (0.0, 0.0, 0.0) for p in points[400:440])


@pytest.mark.parametrize("name", NAMES["scan"])
def test_scan_swings_widest_on_its_return(name):
    points = table(name)
    widest = max(range(1024), key=lambda i: math.hypot(points[i][0], points[i][1] / 0.8))
    assert widest > 0.78 * 1024 - 1
