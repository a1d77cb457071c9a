"""kinetrope_tools.render: whole timelines, bit for bit the single calls."""

import array
import decimal
import os
import subprocess
import sys
import threading
import time
from pathlib import Path

import numpy as np
import pytest

import kinetrope
from kinetrope_tools import render

from support import Index

LOW, HIGH = -(2**31), 2**31 - 1
ROWS = kinetrope.catalogue()
NAMES = [row["name"] for row in ROWS]
INTEGER_DTYPES = [np.int8, np.int16, np.int32, np.int64, np.uint8, np.uint16, np.uint32, np.uint64, ">i4", "<u8"]


def edge_pips(period: int) -> list[int]:
    """Both ends of the 32-bit range, negative pips, the loop's seam, far past it."""
    return [LOW, LOW + 1, -period - 1, -period, -1, 0, 1, period - 1, period, period + 1, 7 * period + 3,
            10**9 + 7, -(10**9), HIGH - 1, HIGH]


def expected(answer, pips, width=3) -> np.ndarray:
    return np.array([answer(int(pip)) for pip in pips], dtype=np.float64).reshape(len(pips), width)


def assert_identical(got: np.ndarray, want: np.ndarray) -> None:
    """Same shape and the same bits, so signed zeros count."""
    assert got.dtype == np.float64 and got.flags.c_contiguous
    assert got.shape == want.shape
    assert got.tobytes() == want.tobytes()


def test_every_catalogue_motion_at_edge_pips():
    # One call per catalogue row at every edge pip: fast at any catalogue size.
    for row in ROWS:
        name, pips = row["name"], edge_pips(row["period_pips"])
        assert_identical(render(name, pips), expected(lambda p: kinetrope.sample(name, p).as_tuple(), pips))


def signed_zero_pattern() -> kinetrope.SampledPattern:
    return kinetrope.SampledPattern("zeros", "", [[-0.0, 0.0, -0.0], [0.5, -0.0, 1.0], [-1.0, 0.25, -0.0]])


def test_sampled_pattern():
    pattern = signed_zero_pattern()
    pips = edge_pips(3) + list(range(-7, 8))
    assert_identical(render(pattern, pips), expected(lambda p: pattern.sample(p).as_tuple(), pips))


def exact_copy(row) -> kinetrope.SampledPattern:
    """A user pattern equal to a built-in one, which a library leaves out."""
    table = render(row["name"], range(row["period_pips"])).tolist()
    return kinetrope.SampledPattern(row["name"], row["description"], table)


@pytest.mark.parametrize("name", ["zeros", "bounce", NAMES[15], NAMES[-1]])
def test_pattern_library_own_and_built_in_names(name):
    library = kinetrope.PatternLibrary([signed_zero_pattern(), exact_copy(ROWS[15]), exact_copy(ROWS[0])])
    pips = edge_pips(3)
    assert_identical(render(library, pips, name=name), expected(lambda p: library.sample(name, p).as_tuple(), pips))
    assert_identical(render(library, pips, name.encode()), render(library, pips, name=bytearray(name.encode())))


@pytest.mark.parametrize("start_pip, axes", [(0, 1), (-5, 3), (LOW, 2), (HIGH - 4, 4)])
def test_recording_every_row(start_pip, axes):
    rows = [[(-1) ** r * ((r * axes + a) % 7) / 7 if a else -0.0 for a in range(axes)] for r in range(4)]
    recording = kinetrope.SampledRecording("take", [f"a{i}" for i in range(axes)], rows, 120.0, 0.0, start_pip)
    pips = [start_pip + 3, start_pip, start_pip + 1, start_pip + 1, start_pip + 2]
    got = render(recording, pips)
    assert got.shape == (5, axes)
    assert_identical(got, expected(recording.sample, pips, axes))


@pytest.mark.parametrize("dtype", INTEGER_DTYPES)
def test_numpy_integer_dtypes(dtype):
    values = np.array([0, 1, 63, 64, 100, 127], dtype=dtype)
    assert_identical(render("circle", values), render("circle", [int(v) for v in values]))


@pytest.mark.parametrize(
    "pips",
    [
        np.arange(-64, 64, dtype=np.int64)[::3],  # strided
        np.arange(-64, 64, dtype=np.int16)[::-1],  # negative stride
        np.array([5, -7, 9], dtype=object),
        (5, -7, 9),
        array.array("i", [5, -7, 9]),
        (pip for pip in (5, -7, 9)),
        map(int, "579"),
        [Index(1), 0, Index(77), np.int64(-3)],
        range(100, -100, -7),
        range(HIGH - 2, HIGH + 1),
        range(LOW, LOW + 3),
        range(5, 5),
        range(7, 8, 2**80),
    ],
    ids=["strided", "reversed", "object-array", "tuple", "array.array", "generator", "map", "index-objects",
         "range-down", "range-top", "range-bottom", "range-empty", "range-huge-step"],
)
def test_runs_of_pips(pips):
    values = list(pips.tolist() if isinstance(pips, np.ndarray) else pips)
    if not isinstance(pips, (np.ndarray, range, tuple, array.array)):
        pips = iter(values)
    assert_identical(render("figure_eight", pips),
                     expected(lambda p: kinetrope.figure_eight(p).as_tuple(), [int(v) for v in values]))


def single_error(call):
    with pytest.raises(Exception) as caught:
        call()
    return caught.type, str(caught.value)


# (render call, the single call it must fail like)
LIBRARY = kinetrope.PatternLibrary([signed_zero_pattern()])
RECORDING = kinetrope.SampledRecording("take", ["x", "y"], [[0.5, 0.5]] * 3, 120.0, 0.0, 100)
SAME_AS_SINGLE = [
    (lambda: render("no_such", [0]), lambda: kinetrope.sample("no_such", 0)),
    (lambda: render(b"no_such", range(3)), lambda: kinetrope.sample(b"no_such", 0)),
    (lambda: render("no_such", []), lambda: kinetrope.sample("no_such", 0)),
    (lambda: render(b"\xff", [1]), lambda: kinetrope.sample(b"\xff", 1)),
    (lambda: render("", [1]), lambda: kinetrope.sample("", 1)),
    (lambda: render(b"bounce\x00tail", [1]), lambda: kinetrope.sample(b"bounce\x00tail", 1)),
    (lambda: render(LIBRARY, [0], name=b"zeros\x00"), lambda: LIBRARY.sample(b"zeros\x00", 0)),
    (lambda: render(LIBRARY, [0], name="no_such"), lambda: LIBRARY.sample("no_such", 0)),
    (lambda: render(RECORDING, [100, 101, 103]), lambda: RECORDING.sample(103)),
    (lambda: render(RECORDING, [99]), lambda: RECORDING.sample(99)),
    (lambda: render(RECORDING, np.array([LOW])), lambda: RECORDING.sample(LOW)),
]


@pytest.mark.parametrize("call, single", SAME_AS_SINGLE)
def test_errors_are_those_of_the_single_call(call, single):
    assert single_error(call) == single_error(single)


@pytest.mark.parametrize(
    "pips, error, message",
    [
        ([0, 1.0], TypeError, "pips[1] must be an integer, not float"),
        ([np.float64(2)], TypeError, "pips[0] must be an integer, not numpy.float64"),
        ([decimal.Decimal(3)], TypeError, "pips[0] must be an integer, not decimal.Decimal"),
        (["1"], TypeError, "pips[0] must be an integer, not str"),
        (np.array([1.0, 2.0]), TypeError, "pips must be an integer array, not float64"),
        (np.array([True]), TypeError, "pips must be an integer array, not bool"),
        ([0, True], TypeError, "pips[1] must be an integer, not bool"),
        (np.zeros((2, 2), dtype=np.int32), TypeError, "pips must be one-dimensional, not a 2-dimensional array"),
        (np.array(5), TypeError, "pips must be one-dimensional, not a 0-dimensional array"),
        (np.int32(5), TypeError, "not numpy.int32"),
        (5, TypeError, "pips must be a range, a sequence of integers or a NumPy integer array, not int"),
        ("0123", TypeError, "not str"),
        ({1, 2}, TypeError, "not set"),
        ([0, 2**31], OverflowError, "pips[1] = 2147483648 is outside the 32-bit pip range"),
        ([2**100], OverflowError, f"pips[0] = {2**100} is outside"),
        ([10**5000], OverflowError, "pips[0] = a 16610-bit integer is outside"),
        (np.array([0, 0, 2**31], dtype=np.int64), OverflowError, "pips[2] = 2147483648 is outside"),
        (np.array([2**64 - 1], dtype=np.uint64), OverflowError, f"pips[0] = {2**64 - 1} is outside"),
        (np.array([2**31], dtype=np.uint32), OverflowError, "pips[0] = 2147483648 is outside"),
        (range(HIGH - 1, HIGH + 2), OverflowError, "pips[2] = 2147483648 is outside"),
        (range(LOW + 9, LOW - 9, -4), OverflowError, "pips[3] = -2147483651 is outside"),
        (range(2**40, 2**40 + 2), OverflowError, f"pips[0] = {2**40} is outside"),
        (range(0, 2**70), OverflowError, "pips[2147483648] = 2147483648 is outside"),
        (range(0, 2**70, 2**65), OverflowError, f"pips[1] = {2**65} is outside"),
        (range(0, -(2**64), -(2**63)), OverflowError, f"pips[1] = {-(2**63)} is outside"),
    ],
)
def test_pip_refusals_name_index_and_value(pips, error, message):
    with pytest.raises(error) as caught:
        render("bounce", pips)
    assert message in str(caught.value)
    assert caught.type is error


@pytest.mark.parametrize(
    "source, name, message",
    [
        (42, None, "source must be a motion name"),
        (None, None, "not NoneType"),
        ("bounce", "bounce", "name is taken only with a PatternLibrary source"),
        (signed_zero_pattern(), "zeros", "name is taken only with a PatternLibrary source"),
        (LIBRARY, None, "needs the name of the motion"),
        (LIBRARY, 5, "name must be str, bytes or bytearray, not int"),
        ("\ud800", None, "encoded as UTF-8"),
        (kinetrope.SampledPattern.__new__(kinetrope.SampledPattern), None, "never initialised"),
        (kinetrope.PatternLibrary.__new__(kinetrope.PatternLibrary), "bounce", "never initialised"),
        (kinetrope.SampledRecording.__new__(kinetrope.SampledRecording), None, "never initialised"),
    ],
)
def test_source_refusals(source, name, message):
    with pytest.raises(TypeError, match=message):
        render(source, [0], name)


def test_pip_errors_come_before_an_unknown_name_as_in_the_single_call():
    with pytest.raises(TypeError):
        kinetrope.sample("no_such", 1.5)
    with pytest.raises(TypeError, match=r"pips\[0\]"):
        render("no_such", [1.5])


class Meddler:
    """A pip whose __index__ changes what the caller sent while it is read."""

    def __init__(self, value, action):
        self.value, self.action = value, action

    def __index__(self):
        self.action()
        return self.value


def fail():
    raise KeyError("from __index__")


def test_index_that_changes_what_is_being_read():
    pips = [0, 1]
    pips.insert(1, Meddler(2, pips.clear))  # the list is read as it was
    assert_identical(render("sway", pips), render("sway", [0, 2, 1]))
    name = bytearray(b"circle")  # the name was copied before the pips were read
    meddler = Meddler(16, lambda: name.__setitem__(slice(None), b"no_such_motion_with_a_long_name" * 10))
    assert_identical(render(name, [meddler, 16]), render("circle", [16, 16]))
    with pytest.raises(KeyError, match="from __index__"):
        render("bounce", [0, Meddler(1, fail)])


def test_subclass_instances_and_empty_runs():
    class Pattern(kinetrope.SampledPattern):
        pass

    pattern = Pattern("sub", "", [[0.5, -0.0, 0.0]])
    assert_identical(render(pattern, [0, 1]), expected(lambda p: pattern.sample(p).as_tuple(), [0, 1]))
    assert render(pattern, []).shape == (0, 3) and render(RECORDING, []).shape == (0, 2)


def test_the_loop_lets_other_threads_run():
    # With a switch interval far longer than the render, this thread is never
    # made to hand over the interpreter: the watcher counts only while render
    # has released it.
    counted, stop = [0], threading.Event()

    def watch():
        while not stop.is_set():
            counted[0] += 1
            time.sleep(0)

    pips = np.arange(4_000_000, dtype=np.int32)
    interval = sys.getswitchinterval()
    watcher = threading.Thread(target=watch)
    sys.setswitchinterval(30.0)
    try:
        watcher.start()
        before = counted[0]
        render("helix", pips)
        during = counted[0] - before
    finally:
        stop.set()
        sys.setswitchinterval(interval)
        watcher.join()
    assert during > 0


def probe_module() -> Path | None:
    """The test-only module that registers the classes with the smart holder:
    the one built beside the kinetrope module in use (a sanitized build's
    tests run against that build), else any the builds made."""
    beside = sorted(Path(kinetrope.__file__).parent.glob("kinetrope_holder_probe*.so"))
    built = sorted((Path(__file__).resolve().parents[2] / "build").glob("*/python/kinetrope_holder_probe*.so"))
    return (beside + built)[0] if beside + built else None


SMART_HOLDER_SCRIPT = """
import os, sys
import kinetrope_holder_probe as probe
import kinetrope_tools._render
from kinetrope_tools import render
assert "kinetrope" not in sys.modules
# Both extensions are the files the test meant: the probe it found, and the
# render extension the test itself runs (a sanitized stage names its build).
expected_probe, expected_render, tested_build = sys.argv[1:4]
loaded = {"probe": probe.__file__, "render": kinetrope_tools._render.__file__}
assert loaded == {"probe": expected_probe, "render": expected_render}, loaded
assert not tested_build or all(path.startswith(tested_build + os.sep) for path in loaded.values()), loaded
pattern = probe.SampledPattern("w", "", [[0.5, 0.0, -0.0], [0.0, -0.5, 0.25]])
assert render(pattern, range(-1, 3)).tolist() == [[0.0, -0.5, 0.25], [0.5, 0.0, -0.0]] * 2
library = probe.PatternLibrary([pattern])
assert render(library, [1], name="w").tolist() == [[0.0, -0.5, 0.25]]
recording = probe.SampledRecording("r", ["a", "b"], [[0.25, -1.0]], 120.0, 0.0, 9)
assert render(recording, [9, 9]).tolist() == [[0.25, -1.0]] * 2
probe.disown(pattern)
try:
    render(pattern, [0])
except TypeError as error:
    assert "holds nothing" in str(error), error
else:
    raise AssertionError("a disowned pattern was rendered")
print("ok")
"""


def test_classes_registered_with_the_smart_holder():
    probe = probe_module()
    if probe is None:
        if os.environ.get("CI"):
            raise AssertionError("the holder probe is built with the tests (scripts/build.sh --with-tests)")
        pytest.skip("the holder probe is built only with --with-tests")
    # The checkout's own package comes before an installed one, so that the
    # render extensions are looked for in the order this process found them.
    import kinetrope_tools._render

    checkout = Path(__file__).resolve().parents[2]
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([str(probe.parent), str(checkout)]))
    arguments = [str(probe), kinetrope_tools._render.__file__, os.environ.get("KINETROPE_TESTED_BUILD", "")]
    result = subprocess.run([sys.executable, "-c", SMART_HOLDER_SCRIPT, *arguments], capture_output=True, text=True,
                            env=env, cwd=probe.parent, timeout=60)
    assert result.stdout.strip() == "ok", result.stderr
