"""Club and dancefloor beat packs: catalogue rows, the settled patterns, and
each motion's ranges, peaks and rest over the grooves of its pack."""

import math

import numpy as np
import pytest

import kinetrope
from kinetrope_tools import render

CLUB_GROOVES = """four_floor house_classic house_shuffle house_jack techno_drive techno_toms
    techno_broken techno_polymeter ukg_two_step ukg_skip ukg_four_four speed_garage bassline
    grime_sparse grime_syncopated grime_half drill_tresillo drill_displaced drill_rolls
    amen_four_bar amen_no_ghosts jungle_chops jungle_ghosts jungle_switch dnb_two_step
    dnb_rolling dnb_half dubstep_half dubstep_skip trap_trills electro trance rave_breaks
    dembow disco amapiano""".split()
DANCEFLOOR_GROOVES = """jersey_five jersey_call footwork_triplet footwork_sparse funky_toms
    funky_syncopated broken_push broken_shuffle afro_bell afro_cross gqom_space gqom_exchange
    baile_toms baile_response reggae_one_drop reggae_steppers reggae_rockers son_clave_32
    son_clave_23 psy_rolling psy_offbeat hard_reverse italo_machine electro_robot
    acid_percussion techno_rumble ukg_rim_shuffle dnb_push jungle_switchback amapiano_answer
    dancehall_space dembow_push""".split()
LONG_PERIODS = {"four_floor": 256, "techno_polymeter": 768, "amen_four_bar": 1024,
                "amen_no_ghosts": 1024, "jungle_switch": 1024}
# Grooves whose bounce and step move two axes (all others move three).
FLAT_BOUNCE = {"four_floor", "house_classic", "house_shuffle", "house_jack", "techno_drive",
               "techno_toms", "techno_broken", "techno_polymeter", "ukg_two_step", "ukg_skip",
               "ukg_four_four", "grime_sparse", "grime_syncopated", "jungle_chops", "jungle_ghosts",
               "jungle_switch", "dnb_two_step", "dnb_rolling", "electro", "rave_breaks", "dembow",
               "disco", "jersey_five", "baile_toms"}
# Club grooves whose club descriptions end with the motion text and a space.
NO_EXTRA = {"house_classic", "house_shuffle", "techno_drive", "techno_toms", "ukg_skip", "bassline",
            "grime_sparse", "grime_half", "jungle_ghosts", "dnb_two_step", "dnb_rolling", "dnb_half",
            "dubstep_half", "dubstep_skip", "trap_trills", "electro", "rave_breaks", "disco"}

# motion: (club text, dancefloor text)
TEXTS = {
    "bounce": ("Kick-led bounce.", "Kick-led bounce. Original Club 05 kick-led downstroke and side accents."),
    "step": ("Snare side-step.", "Snare side-step. Original Club 05 alternating lateral kick and snare gestures."),
    "orbit": ("Percussion orbit.", "Percussion orbit. Original Club 05 event-weighted orbital speed, radius and depth."),
    "glide": ("Bass-and-phrase glide.", "Bass / phrase glide. Original Club 05 continuous phrase path with bass excursions."),
    "surge": (None, "Forward surge. Kick thrust through depth with contrasting snare lift and hat detail."),
    "recoil": (None, "Backbeat recoil. Snare pushes sideways; kick counters downward; delayed echo draws back."),
    "flutter": (None, "Upper-percussion flutter. Hat and shaker tremors over a wider kick/snare arc."),
    "dive": (None, "Bass-led dive. Bass drives a broad depth plunge with alternating drum counterweight."),
    "pendulum": (None, "Weighted pendulum. A hanging arc whose amplitude and angular speed respond to the score."),
    "figure8": (None, "Woven figure eight. Two crossing lobes expand at kicks with a lifted snare crossing."),
    "box": (None, "Rounded corner tour. Rhythm-weighted phase travels around four softened corners."),
    "corkscrew": (None, "Closed corkscrew. Two orbital turns ride a depth wave with percussion-driven radius."),
    "spiral": (None, "Breathing spiral. A contracting and expanding double-turn path with a continuous seam."),
    "slalom": (None, "Drum slalom. S-shaped travel with kick lift, snare cutbacks and depth counter-motion."),
    "spring": (None, "Causal spring. An event starts at rest, then drives a damped ringing excursion."),
    "ricochet": (None, "Directional ricochet. Successive onsets send smooth excursions toward a cyclic series of targets."),
}
CLUB_MOTIONS = ["bounce", "step", "orbit", "glide"]
DANCEFLOOR_MOTIONS = list(TEXTS)[4:]

# pack, motion: x range, y range, z range, peak band, largest rest share in
# percent (0: never at rest at the origin). Figures to three decimals.
ROWS = {
    ("club", "bounce"): ((-0.270, 0.270), (-0.240, 0.683), (-0.038, 0.060), (0.396, 0.683), 44),
    ("club", "step"): ((-0.734, 0.746), (-0.361, 0.083), (-0.052, 0.181), (0.311, 0.746), 44),
    ("club", "orbit"): ((-0.594, 0.605), (-0.605, 0.605), (-0.195, 0.174), (0.541, 0.605), 0),
    ("club", "glide"): ((-0.561, 0.582), (-0.493, 0.260), (-0.413, 0.485), (0.397, 0.582), 0),
    ("dancefloor", "surge"): ((-0.208, 0.212), (-0.362, 0.193), (-0.288, 0.679), (0.366, 0.680), 41),
    ("dancefloor", "recoil"): ((-0.641, 0.641), (0, 0.312), (-0.263, 0.187), (0.199, 0.641), 22),
    ("dancefloor", "flutter"): ((-0.470, 0.541), (-0.117, 0.350), (-0.170, 0.294), (0.260, 0.541), 0),
    ("dancefloor", "dive"): ((-0.384, 0.488), (-0.187, 0.125), (-0.328, 0.920), (0.267, 0.920), 0),
    ("dancefloor", "pendulum"): ((-0.549, 0.556), (-0.200, 0.091), (-0.180, 0.264), (0.458, 0.556), 0),
    ("dancefloor", "figure8"): ((-0.630, 0.645), (-0.439, 0.440), (-0.204, 0.178), (0.550, 0.645), 0),
    ("dancefloor", "box"): ((-0.520, 0.520), (-0.501, 0.400), (-0.092, 0.290), (0.484, 0.520), 0),
    ("dancefloor", "corkscrew"): ((-0.581, 0.596), (-0.580, 0.580), (-0.497, 0.602), (0.504, 0.602), 0),
    ("dancefloor", "spiral"): ((-0.684, 0.527), (-0.641, 0.623), (-0.336, 0.337), (0.590, 0.684), 0),
    ("dancefloor", "slalom"): ((-0.656, 0.648), (-0.410, 0.362), (-0.373, 0.403), (0.580, 0.656), 0),
    ("dancefloor", "spring"): ((-0.670, 0.670), (-0.367, 0.372), (-0.601, 0.594), (0.155, 0.670), 11),
    ("dancefloor", "ricochet"): ((-0.856, 0.856), (-0.920, 0.707), (-0.469, 0.477), (0.253, 0.920), 0),
    ("dancefloor", "bounce"): ((-0.297, 0.297), (-0.225, 0.651), (-0.040, 0.068), (0.448, 0.651), 31),
    ("dancefloor", "step"): ((-0.713, 0.692), (-0.345, 0.088), (-0.059, 0.181), (0.357, 0.713), 31),
    ("dancefloor", "orbit"): ((-0.619, 0.620), (-0.614, 0.614), (-0.216, 0.155), (0.558, 0.620), 0),
    ("dancefloor", "glide"): ((-0.663, 0.700), (-0.470, 0.260), (-0.400, 0.464), (0.460, 0.700), 0),
}
HALF_UNIT = 0.0005 + 1e-12  # half a unit of the figures' third decimal
DECIMAL_TOLERANCE = 1.5e-12


def layout():
    """(pack, groove, motion) in registry order."""
    club = [("club", g, m) for g in CLUB_GROOVES for m in CLUB_MOTIONS]
    dancefloor = [("dancefloor", g, m) for g in CLUB_GROOVES for m in DANCEFLOOR_MOTIONS]
    dancefloor += [("dancefloor", g, m) for g in DANCEFLOOR_GROOVES for m in CLUB_MOTIONS + DANCEFLOOR_MOTIONS]
    return club + dancefloor


@pytest.fixture(scope="module")
def rows():
    return {row["name"]: row for row in kinetrope.catalogue()}


def table(name, period):
    return [kinetrope.sample(name, pip).as_tuple() for pip in range(period)]


def kernel(d, decay):
    """The event kernel: 0.1 beat of attack before the onset, `decay` after."""
    if -6.4 < d <= 0:
        return (1 + math.cos(math.pi * d / 6.4)) / 2
    if 0 < d < decay:
        return (1 + math.cos(math.pi * d / decay)) / 2
    return 0.0


def events(onsets, period, decay):
    """Sum at a pip of (onset, amplitude) events around the loop."""
    return lambda i: sum(a * kernel(i - t - shift, decay) for t, a in onsets for shift in (-period, 0, period))


def test_beat_packs_close_the_catalogue_in_registry_order():
    catalogue = kinetrope.catalogue()
    expected = [f"beat_{g}_{m}" for _, g, m in layout()]
    assert len(expected) == 1088
    assert [row["name"] for row in catalogue[-1088:]] == expected
    assert catalogue[-1]["name"] == "beat_dembow_push_ricochet"
    if len(catalogue) - 1088 < 15 + 52 + 256 + 320:
        pytest.skip("the atlas or the continuum pack is not in this build")
    assert len(catalogue) == 1731


def test_catalogue_rows_compose_label_motion_text_and_extra(rows):
    labels, extras = {}, {}
    for pack, groove, motion in layout():
        row = rows[f"beat_{groove}_{motion}"]
        assert row["period_pips"] == LONG_PERIODS.get(groove, 512)
        flat = motion in ("bounce", "step") and groove in FLAT_BOUNCE or (groove, motion) == ("four_floor", "orbit")
        assert row["dimensions"] == (2 if flat else 3), row["name"]
        label, text = row["description"].split(" — ", 1)
        assert labels.setdefault(groove, label) == label
        club_text, dancefloor_text = TEXTS[motion]
        if pack == "dancefloor":
            assert text == dancefloor_text
        else:
            assert text.startswith(club_text + " ")
            extra = text[len(club_text) + 1:]
            assert extras.setdefault(groove, extra) == extra
            assert (extra == "") == (groove in NO_EXTRA), groove
    assert rows["beat_house_classic_bounce"]["description"] == "House / kick-clap-offbeat hat — Kick-led bounce. "
    assert rows["beat_four_floor_glide"]["description"] == (
        "Four to the floor / bare pulse — Bass-and-phrase glide. Equal quarter-note kicks only. "
        "This shared foundation is not itself a complete genre.")
    assert rows["beat_dembow_push_spring"]["description"] == (
        "Reggaeton / dembow with pickup answer — Causal spring. "
        "An event starts at rest, then drives a damped ringing excursion.")


KICKS = [0, 64, 128, 192]
SIDES = [1, -1, 1, -1]


@pytest.mark.parametrize("motion, amplitude", [
    ("bounce", lambda side: (0.0, 0.55, 0.0)),
    ("step", lambda side: (0.42 * side, -0.22, 0.0)),
])
def test_four_floor_kicks_settle_bounce_and_step(motion, amplitude):
    axes = [events([(t, amplitude(s)[k]) for t, s in zip(KICKS, SIDES)], 256, 29.44) for k in range(3)]
    path = table(f"beat_four_floor_{motion}", 256)
    for pip, got in enumerate(path):
        assert got == pytest.approx(tuple(a(pip) for a in axes), abs=DECIMAL_TOLERANCE), pip
    for kick, side in zip(KICKS, SIDES):
        assert path[kick] == amplitude(side)
        assert all(path[kick + d] == (0.0, 0.0, 0.0) for d in range(30, 58))


def test_house_classic_bounce_x_is_its_alternating_clap_accents():
    claps = [(64 + 128 * j, 0.243 * (1 if j % 2 == 0 else -1)) for j in range(4)]
    x = events(claps, 512, 23.04)
    got = [p[0] for p in table("beat_house_classic_bounce", 512)]
    assert got == pytest.approx([x(pip) for pip in range(512)], abs=DECIMAL_TOLERANCE)


def test_four_floor_orbit_turns_once_a_bar_with_quarter_turns_on_the_kicks():
    path = table("beat_four_floor_orbit", 256)
    assert all(z == 0.0 for _, _, z in path)
    radius = [math.hypot(x, y) for x, y, _ in path]
    assert min(radius) == pytest.approx(0.43, abs=1e-12)
    assert max(radius) == pytest.approx(0.58, abs=1e-12)
    assert [path[k] for k in KICKS] == [(0.58, 0.0, 0.0), (0.0, 0.58, 0.0), (-0.58, 0.0, 0.0), (0.0, -0.58, 0.0)]
    angle = [math.atan2(y, x) for x, y, _ in path]
    turn = [(b - a) % (2 * math.pi) for a, b in zip(angle, angle[1:] + angle[:1])]
    assert sum(turn) == pytest.approx(2 * math.pi)  # one turn, never backwards
    for kick in KICKS:
        fastest = max(range(kick - 32, kick + 32), key=lambda i: turn[i % 256])
        assert kick < fastest <= kick + 12


def test_four_floor_orbit_moves_fastest_just_after_each_kick():
    path = table("beat_four_floor_orbit", 256)
    steps = [math.dist(path[i], path[(i + 1) % 256]) for i in range(256)]
    for kick in KICKS:  # the phase burst outruns the radius swelling in the attack
        attack = max(steps[(kick - d) % 256] for d in range(1, 8))
        assert max(steps[kick:kick + 16]) > 1.03 * attack, kick
    fastest = max(range(256), key=steps.__getitem__)
    assert min((fastest - kick) % 256 for kick in KICKS) < 16


@pytest.mark.parametrize("motion", ["glide", "dive", "figure8", "spiral", "slalom"])
def test_path_crosses_zero_without_a_hitch(motion):
    """Where an axis crosses zero its bend (second difference) stays like the
    bends two pips either side: a kink through the centre shows as a spike at
    every crossing, where a hit landing near one spikes only there."""
    for _, groove, _ in filter(lambda e: e[0] == "dancefloor" and e[2] == motion, layout()):
        path = np.asarray(render(f"beat_{groove}_{motion}", range(LONG_PERIODS.get(groove, 512))))
        bend = np.abs(np.roll(path, -1, axis=0) - 2 * path + np.roll(path, 1, axis=0))
        spikes = []
        for axis in range(3):
            v = path[:, axis]
            for i in np.nonzero((v < 0) != (np.roll(v, -1) < 0))[0]:
                around = bend[[(i + k) % len(v) for k in (-2, -1, 2, 3)], axis].mean()
                spikes.append(bend[[i, (i + 1) % len(v)], axis].max() / around)
        assert np.median(spikes) < 2.5, groove


def largest_step(points):
    return max(math.dist(a, b) for a, b in zip(points, points[1:]))


@pytest.mark.parametrize("pack, motion", list(ROWS), ids=[f"{p}-{m}" for p, m in ROWS])
def test_motion_keeps_and_reaches_its_row(pack, motion, rows):
    ranges, band, most_rest = ROWS[pack, motion][:3], ROWS[pack, motion][3], ROWS[pack, motion][4]
    lowest, highest, peaks, rests = [0.0] * 3, [0.0] * 3, [], []
    for _, groove, _ in filter(lambda e: e[0] == pack and e[2] == motion, layout()):
        name = f"beat_{groove}_{motion}"
        points = table(name, rows[name]["period_pips"])
        for axis, (low, high) in enumerate(ranges):
            values = [p[axis] for p in points]
            assert low - HALF_UNIT <= min(values) and max(values) <= high + HALF_UNIT, (name, axis)
            lowest[axis], highest[axis] = min(lowest[axis], min(values)), max(highest[axis], max(values))
        peaks.append(max(abs(v) for p in points for v in p))
        assert band[0] - HALF_UNIT <= peaks[-1] <= band[1] + HALF_UNIT, name
        resting = [p == (0.0, 0.0, 0.0) for p in points]
        rests.append(100 * sum(resting) / len(points))
        assert math.dist(points[-1], points[0]) <= largest_step(points), name  # a closed loop
        if motion in ("bounce", "step"):  # still only at the origin
            assert all(a != b or a == (0.0, 0.0, 0.0) for a, b in zip(points, points[1:] + points[:1])), name
    assert lowest == pytest.approx([r[0] for r in ranges], abs=HALF_UNIT)
    assert highest == pytest.approx([r[1] for r in ranges], abs=HALF_UNIT)
    assert (min(peaks), max(peaks)) == pytest.approx(band, abs=HALF_UNIT)
    assert max(rests) <= most_rest and max(rests) >= most_rest - 0.5
