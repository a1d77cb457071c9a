"""Where the gallery draws a motion, the pip-0 arrow and the beat ticks."""

import numpy as np
import pytest

pytest.importorskip("matplotlib", reason="matplotlib is not installed")

from kinetrope_tools import render  # noqa: E402
from kinetrope_tools.gallery import marks  # noqa: E402


def loop_of(name):
    return render(name, range(dict(bounce=64, sway=128, circle=64, helix=256, box_step=256)[name]))


def test_one_axis_motion_is_drawn_against_time():
    table = loop_of("sway")
    line = marks.drawn_loop(table, 1, step=4)
    assert line[0, 0] == -1.0 and line[-1, 0] == 1.0 and np.all(np.diff(line[:, 0]) > 0)
    assert np.array_equal(line[:-1, 1], table[::4, 0]) and line[-1, 1] == table[0, 0]
    assert np.array_equal(marks.drawn_loop(loop_of("circle"), 2)[:-1], loop_of("circle")[:, :2])
    assert np.array_equal(marks.drawn_loop(loop_of("helix"), 3, plane=(2, 1))[:-1], loop_of("helix")[:, [2, 1]])


@pytest.mark.parametrize("name, dims, plane, heading", [
    ("circle", 2, (0, 1), (1.0, 0.0)),  # from the bottom, anticlockwise
    ("bounce", 1, (0, 1), (0.5, 1.0)),  # from -1 up at 2 per half loop, time running right
    ("helix", 3, (2, 1), (0.5, 1.0)),  # y turns twice while z turns once
])
def test_arrow_leaves_pip_0_the_way_the_motion_goes(name, dims, plane, heading):
    table = loop_of(name)
    direction = marks.travel_direction(table, dims, plane)
    assert np.dot(direction, heading) / np.hypot(*heading) > 0.99
    arrow = marks.arrowhead(table, dims, plane)
    start = marks.drawn_loop(table, dims, plane=plane)[0]
    assert np.allclose((arrow[1] + arrow[2]) / 2, start) and np.array_equal(arrow[0], arrow[-1])
    assert np.allclose(arrow[0] - start, direction * marks.ARROW_LENGTH)


def test_a_motion_that_waits_before_moving_points_where_it_goes_and_a_still_one_has_no_arrow():
    waiting = np.zeros((64, 3))
    waiting[5:, 1] = -0.5
    waiting[40:, 0] = 0.25  # x moves too, later: a path in the plane
    assert np.allclose(marks.travel_direction(waiting, 2), (0.0, -1.0))
    assert marks.arrowhead(np.zeros((64, 3)), 2) is None
    assert marks.travel_direction(np.zeros((64, 3)), 1) is not None  # time still runs


def test_beat_ticks_cross_the_line_at_every_beat_and_are_longer_at_bars():
    table = np.repeat(loop_of("box_step"), 2, axis=0)  # 512 pips: eight beats, two bars
    beats, bars = marks.beat_ticks(table, 2)
    assert (len(beats), len(bars)) == (6, 1)
    for pip, tick in zip([64, 128, 192, 320, 384, 448], beats):
        assert np.allclose(tick.mean(axis=0), table[pip, :2])
        along = table[pip + 1, :2] - table[pip - 1, :2]
        assert abs(np.dot(tick[1] - tick[0], along)) < 1e-9
        assert np.hypot(*(tick[1] - tick[0])) == pytest.approx(marks.BEAT_TICK)
    assert np.hypot(*(bars[0][1] - bars[0][0])) == pytest.approx(marks.BAR_TICK)


@pytest.mark.parametrize("dims, axis", [(1, 0), (2, 1), (2, 0), (3, 2), (3, 1)])
def test_a_motion_along_one_axis_is_drawn_against_time_with_that_axis_up(dims, axis):
    table = np.zeros((128, 3))
    table[:, axis] = np.sin(np.arange(128) / 128 * 2 * np.pi)
    line = marks.drawn_loop(table, dims, step=4)
    assert marks.time_axis(table, dims) == axis
    assert line[0, 0] == -1.0 and line[-1, 0] == 1.0 and np.all(np.diff(line[:, 0]) > 0)
    assert np.array_equal(line[:-1, 1], table[::4, axis])
    table[3, (axis + 1) % dims] = 0.1 if dims > 1 else table[3, axis]  # a second axis moving makes it a path
    assert marks.time_axis(table, dims) == (0 if dims == 1 else None)


def test_a_clean_catalogue_has_no_findings():
    import kinetrope
    from kinetrope_tools.gallery.findings import findings

    noted = {row["name"]: findings(render(row["name"], range(row["period_pips"])), row["dimensions"])
             for row in kinetrope.catalogue()}
    assert {name: notes for name, notes in noted.items() if notes} == {}


@pytest.mark.parametrize("table, dims, notes", [
    (np.zeros((8, 3)), 1, ["x never moves"]),
    (np.tile([0.0, 0.5, 0.0], (8, 1)), 3, ["z never moves but dims=3"]),
    (np.tile([0.0, 0.5, 0.0], (8, 1)), 2, []),  # y alone: x at 0 is no fault
    (np.tile([0.0, 0.0, 0.5], (8, 1)), 2, ["z moves but dims=2", "y never moves but dims=2"]),
    (np.tile([1.5, 0.5, 0.0], (8, 1)), 2, ["x reaches 1.500"]),
])
def test_findings_are_real_faults_only(table, dims, notes):
    from kinetrope_tools.gallery.findings import findings

    assert findings(table, dims) == notes
