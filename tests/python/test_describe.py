"""describe and suggest over the whole catalogue, and on patterns whose loop is known."""

import difflib

import numpy as np
import pytest

import kinetrope
from kinetrope_tools import MotionInfo, describe, suggest

ROWS = kinetrope.catalogue()
NAMES = [row["name"] for row in ROWS]


def test_describe_every_catalogue_motion():
    for row in ROWS:
        info = describe(row["name"])
        assert (info.name, info.description, info.period_pips, info.dimensions) == tuple(row.values())
        loop = np.array([kinetrope.sample(row["name"], pip).as_tuple() for pip in (0, info.period_pips // 3)])
        assert all(lo <= v <= hi for point in loop for lo, v, hi in zip(info.low, point, info.high))
        assert set(info.moving_axes) <= set("xyz"[:info.dimensions]), row["name"]
        assert info.peak == max(max(abs(v) for v in info.low), max(abs(v) for v in info.high))
        assert 0.0 <= info.rest_share <= 1.0
        for axis, lo, hi in zip("xyz", info.low, info.high):
            assert (axis in info.moving_axes) == (lo < hi)


@pytest.mark.parametrize("name", ["circle", "helix", "bounce", NAMES[-1]])
def test_describe_agrees_with_a_loop_read_by_hand(name):
    info = describe(name)
    loop = np.array([kinetrope.sample(name, pip).as_tuple() for pip in range(info.period_pips)])
    assert info.low == tuple(loop.min(axis=0)) and info.high == tuple(loop.max(axis=0))
    assert info.rest_share == np.mean(np.all(loop == 0.0, axis=1))
    assert info.moving_axes == tuple(a for a, column in zip("xyz", loop.T) if len(set(column)) > 1)


def test_describe_a_pattern_and_a_library_pattern():
    samples = [(0.0, 0.0, 0.0), (-0.0, 0.0, 0.0), (0.5, 0.0, -0.75), (-0.25, 0.0, 0.0)]
    pattern = kinetrope.SampledPattern("kick_lift", "Lift on the kick", samples)
    want = MotionInfo("kick_lift", "Lift on the kick", 4, 3, ("x", "z"), (-0.25, 0.0, -0.75), (0.5, 0.0, 0.0),
                      0.75, 0.5)
    assert describe(pattern) == want
    assert describe(kinetrope.PatternLibrary([pattern]), "kick_lift") == want
    assert describe(kinetrope.SampledPattern("still", "", [(0.0, 0.0, 0.0)])).moving_axes == ()
    assert describe(kinetrope.SampledPattern("sway_y", "", [(0.0, 0.5, 0.0), (0.0, -0.5, 0.0)])).dimensions == 2


def test_describe_refuses_what_voices_refuse():
    with pytest.raises(ValueError, match=r"^Unknown kinetrope: bounse \(did you mean: bounce"):
        describe("bounse")
    with pytest.raises(TypeError, match="does not loop"):
        describe(kinetrope.SampledRecording("take", ["x"], [[0.0]], 120.0))


def test_every_catalogue_name_suggests_itself_first():
    assert [name for name in NAMES if suggest(name, n=1) != [name]] == []


def typos(name: str) -> list[str]:
    middle = len(name) // 2
    return [name[:middle] + name[middle + 1:], name[:middle] + "x" + name[middle:], name.replace("_", "", 1)]


def test_suggestions_are_the_closest_names_of_the_whole_catalogue():
    # Only a short list of names sharing letters with the typo is ranked; it must hold the best ones.
    for typo in (typo for name in NAMES[:: max(1, len(NAMES) // 12)] for typo in typos(name)):
        ranked = difflib.get_close_matches(typo, NAMES, 6)
        assert suggest(typo)[:1] == ranked[:1] and set(suggest(typo)) <= set(ranked), typo


@pytest.mark.parametrize("typo, first", [("circel", "circle"), ("Helix", "helix"), (b"figure_eigth", "figure_eight"),
                                         ("paradiddle", "single_paradiddle")])
def test_suggest_finds_close_names(typo, first):
    assert suggest(typo)[0] == first
    assert len(suggest(typo, n=1)) == 1


@pytest.mark.parametrize("n", [0, -2, 1.0, True])
def test_suggest_needs_a_positive_count(n):
    with pytest.raises(ValueError, match="n must be"):
        suggest("circle", n)


def test_nothing_close_suggests_nothing():
    assert suggest("qqqqqqqqqq") == []
