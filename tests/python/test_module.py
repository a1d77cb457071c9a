"""The module as a Python caller meets it: its names, values, argument
conversion, error translation, Offset3 semantics and the import guard."""

import decimal
import fractions
import math
import os
import pathlib
import subprocess
import sys

import pytest

import kinetrope
from support import Index, bits

RUDIMENTS = [
    "bounce", "sway", "circle", "figure_eight", "step_touch", "box_step", "helix", "varn_background",
    "single_stroke_roll", "double_stroke_roll", "multiple_bounce_roll", "single_paradiddle", "flam", "drag",
    "five_stroke_roll",
]
PERIODS = dict(zip(RUDIMENTS, [64, 128, 64, 128, 128, 256, 256, 256, 64, 64, 64, 128, 64, 64, 128]))



def test_module_registers_exactly_its_names_in_order():
    names = [n for n in vars(kinetrope) if not n.startswith("__")]
    assert names == ["PIPS_PER_BEAT", "SampledRecording", "Offset3", "SampledPattern", "PatternLibrary",
                     "sample", "catalogue", *RUDIMENTS]
    assert kinetrope.__doc__ == "Integer-pip rhythmic position functions"
    assert type(kinetrope.PIPS_PER_BEAT) is int and kinetrope.PIPS_PER_BEAT == 64


def test_callables_carry_only_their_signature():
    assert kinetrope.sample.__doc__.strip() == (
        "sample(name: str, pip_count: typing.SupportsInt | typing.SupportsIndex) -> kinetrope.Offset3")
    assert kinetrope.catalogue.__doc__.strip() == "catalogue() -> list"
    for name in RUDIMENTS:
        doc = getattr(kinetrope, name).__doc__.strip()
        assert doc.startswith(f"{name}(") and doc.endswith(") -> kinetrope.Offset3") and "\n" not in doc


@pytest.mark.parametrize("name, pip, expected", [
    ("bounce", 63, (-0.9375, 0.0, 0.0)),
    ("sway", 64, (1.2246467991473532e-16, 0.0, 0.0)),
    ("circle", 48, (-1.0, 1.2246467991473532e-16, 0.0)),
    ("step_touch", 0, (-1.0, -0.0, 0.0)),
    ("step_touch", -1, (-0.99713134765625, -0.034305999115346285, 0.0)),
    ("box_step", 255, (-1.0, -0.9985504150390625, 0.0)),
    ("helix", 192, (-1.0, 3.6739403974420594e-16, -1.0)),
    ("varn_background", 49, (0.3571428571428572, -0.4, 0.0)),
    ("varn_background", -1, (-0.0036088172182846823, -0.005052344105598516, 0.0)),
    ("single_stroke_roll", 2, (0.4599999999999999, -0.33119999999999994, 0.0)),
    ("multiple_bounce_roll", 36, (-0.6900000000000001, -0.4968, 0.0)),
    ("flam", 8, (0.23239846876339948, -0.3364795372866606, 0.0)),
    ("drag", 16, (0.8364263018770643, -0.6022269373514864, 0.0)),
    ("five_stroke_roll", 43, (1.0, -0.72, 0.0)),
])
def test_values_arrive_exactly(name, pip, expected):
    for offset in (getattr(kinetrope, name)(pip), kinetrope.sample(name, pip)):
        assert [bits(v) for v in offset.as_tuple()] == [bits(v) for v in expected]


@pytest.mark.parametrize("name", RUDIMENTS)
def test_sample_by_name_equals_the_function_and_loops(name):
    function = getattr(kinetrope, name)
    period = PERIODS[name]
    for pip in list(range(-period - 3, period + 3)) + [-2**31, 2**31 - 1]:
        expected = function(pip).as_tuple()
        assert kinetrope.sample(name, pip).as_tuple() == expected
        assert all(-1.0 <= v <= 1.0 for v in expected)
        if -2**31 <= pip + period < 2**31:
            assert function(pip + period).as_tuple() == expected


# --- pips ------------------------------------------------------------------

@pytest.mark.parametrize("pip, expected", [
    (True, 1), (False, 0), (Index(5), 5), (decimal.Decimal("5.9"), 5), (decimal.Decimal("-5.9"), -5),
    (fractions.Fraction(11, 2), 5), (2**31 - 1, 2**31 - 1), (-2**31, -2**31),
])
def test_converting_pips(pip, expected):
    assert kinetrope.bounce(pip).as_tuple() == kinetrope.bounce(expected).as_tuple()
    assert kinetrope.sample("bounce", pip).as_tuple() == kinetrope.bounce(expected).as_tuple()
    assert kinetrope.sample(name="bounce", pip_count=pip).as_tuple() == kinetrope.bounce(expected).as_tuple()


@pytest.mark.parametrize("pip", [1.0, 2.5, float("nan"), "1", None, 2**31, -2**31 - 1, Index(2**31), [1], 1j])
def test_rejected_pips(pip):
    with pytest.raises(TypeError):
        kinetrope.bounce(pip)
    with pytest.raises(TypeError):
        kinetrope.sample("bounce", pip)


@pytest.mark.parametrize("call", [
    lambda: kinetrope.bounce(),
    lambda: kinetrope.bounce(1, 2),
    lambda: kinetrope.bounce(pip=1),
    lambda: kinetrope.bounce(arg0=1),
    lambda: kinetrope.sample("bounce"),
    lambda: kinetrope.sample("bounce", 1, 2),
    lambda: kinetrope.sample("bounce", pip=1),
    lambda: kinetrope.catalogue(1),
])
def test_argument_matching_failures(call):
    with pytest.raises(TypeError, match="incompatible function arguments"):
        call()


# --- names -----------------------------------------------------------------

@pytest.mark.parametrize("name", [b"bounce", bytearray(b"bounce"), "bounce"])
def test_name_as_text_or_bytes(name):
    assert kinetrope.sample(name, 8).as_tuple() == kinetrope.bounce(8).as_tuple()


@pytest.mark.parametrize("name", ["no_such", "", "Bounce", "bounce ", "bounc", "bouncee", "caf\u00e9", "bounce\x00"])
def test_unknown_name_is_value_error_with_the_name(name):
    with pytest.raises(ValueError) as error:
        kinetrope.sample(name, 0)
    assert str(error.value) == "Unknown kinetrope: " + name


@pytest.mark.parametrize("name", [None, 5, "\ud800", ["bounce"]])
def test_unconvertible_names(name):
    with pytest.raises(TypeError):
        kinetrope.sample(name, 0)


def test_non_utf8_name_cannot_become_a_message():
    with pytest.raises(UnicodeDecodeError):
        kinetrope.sample(b"\xff", 0)


# --- Offset3 ---------------------------------------------------------------

def test_offset3_is_a_read_only_identity_value():
    a, b = kinetrope.bounce(0), kinetrope.bounce(0)
    assert a is not b and a != b and a == a
    assert a.as_tuple() == b.as_tuple() == (a.x, a.y, a.z)
    assert type(a.as_tuple()) is tuple and all(type(v) is float for v in a.as_tuple())
    assert hash(a) == object.__hash__(a) and hash(b) == object.__hash__(b)  # identity hashing
    for attribute in ("x", "y", "z", "w"):
        with pytest.raises(AttributeError):
            setattr(a, attribute, 0.5)
    assert a.x == -1.0


def test_offset3_binds_nothing_else():
    own = {n for n in vars(kinetrope.Offset3) if not n.startswith("__")}
    assert own == {"x", "y", "z", "as_tuple", "_pybind11_conduit_v1_"}
    for name in ("__repr__", "__eq__", "__hash__", "__reduce__", "__getstate__"):
        assert name not in vars(kinetrope.Offset3)
    for name in ("x", "y", "z"):
        prop = vars(kinetrope.Offset3)[name]
        assert isinstance(prop, property) and prop.fset is None and not prop.__doc__


def test_offset3_cannot_be_constructed():
    with pytest.raises(TypeError, match=r"^kinetrope\.Offset3: No constructor defined!$"):
        kinetrope.Offset3()


# --- instances made without a constructor ---------------------------------

class SubPattern(kinetrope.SampledPattern):
    pass


USES = {
    kinetrope.Offset3: [lambda o: o.x, lambda o: o.y, lambda o: o.z, lambda o: o.as_tuple()],
    kinetrope.SampledRecording: [
        lambda o: o.name, lambda o: o.dimensions, lambda o: o.sample_count, lambda o: o.bpm,
        lambda o: o.beat_zero_seconds, lambda o: o.start_pip, lambda o: o.sample(0)],
    kinetrope.SampledPattern: [
        lambda o: o.name, lambda o: o.description, lambda o: o.period_pips, lambda o: o.sample(0),
        lambda o: kinetrope.PatternLibrary([o])],
    SubPattern: [lambda o: o.name, lambda o: o.sample(7), lambda o: kinetrope.PatternLibrary([o])],
    kinetrope.PatternLibrary: [lambda o: o.sample("bounce", 0), lambda o: o.catalogue()],
}


@pytest.mark.parametrize("cls, use", [(cls, use) for cls, uses in USES.items() for use in uses])
def test_an_instance_whose_constructor_never_ran_refuses_every_use(cls, use):
    # Built and dropped first, so that freed memory holding a real object is
    # at hand to be misread.
    kinetrope.SampledRecording("rec", ["x"], [[0.5]] * 9, 120.0, 0.0, 7)
    kinetrope.SampledPattern("wave", "d" * 40, [(0.5, 0.0, 0.0)] * 9)
    bare = cls.__new__(cls)
    with pytest.raises(TypeError, match="object was never initialized"):
        use(bare)


def test_init_after_new_gives_a_working_instance_that_a_second_init_leaves_alone():
    pattern = kinetrope.SampledPattern.__new__(kinetrope.SampledPattern)
    for name, x in [("late", 0.25), ("again", 0.5)]:
        pattern.__init__(name, "", [(x, 0.0, 0.0)])
        assert (pattern.name, pattern.sample(3).x) == ("late", 0.25)


# --- catalogue -------------------------------------------------------------

def test_catalogue_rows_and_freshness():
    first = kinetrope.catalogue()
    assert [row["name"] for row in first[:15]] == RUDIMENTS
    assert first[0] == {"name": "bounce", "description": "One-beat vertical bounce", "period_pips": 64,
                        "dimensions": 1}
    assert all(list(row) == ["name", "description", "period_pips", "dimensions"] for row in first)
    snapshot = [dict(row) for row in first]
    first[0]["name"] = "changed"
    first.append({})
    del first[1]
    second = kinetrope.catalogue()
    assert second is not first and second == snapshot
    assert all(a is not b for a, b in zip(second, kinetrope.catalogue()))


def test_every_catalogue_name_samples_and_loops():
    for row in kinetrope.catalogue():
        for pip in (-1, 0, 31):
            assert (kinetrope.sample(row["name"], pip).as_tuple()
                    == kinetrope.sample(row["name"], pip + row["period_pips"]).as_tuple())


# --- loading ---------------------------------------------------------------

def test_reimport_gives_the_same_module():
    import importlib
    first = sys.modules.pop("kinetrope")
    try:
        again = importlib.import_module("kinetrope")
        assert again is first
    finally:
        sys.modules["kinetrope"] = first


def test_subinterpreters_are_refused():
    interpreters = pytest.importorskip("_xxsubinterpreters")
    interp = interpreters.create()
    try:
        with pytest.raises(interpreters.RunFailedError, match="does not support loading in subinterpreters"):
            interpreters.run_string(interp, "import kinetrope")
    finally:
        interpreters.destroy(interp)


LOAD_UNDER_OTHER_PYTHON = """
import importlib.machinery, importlib.util, os, sys
sys.setdlopenflags(os.RTLD_LAZY)  # let the module's own version check run
path = sys.argv[1]
loader = importlib.machinery.ExtensionFileLoader("kinetrope", path)
spec = importlib.util.spec_from_file_location("kinetrope", path, loader=loader)
try:
    importlib.util.module_from_spec(spec)
except ImportError as error:
    print(error)
    print("kinetrope" in sys.modules)
"""


def other_interpreters():
    root = pathlib.Path(os.environ.get("PYENV_ROOT", pathlib.Path.home() / ".pyenv")) / "versions"
    found = []
    for minor in ("3.11", "3.13"):
        candidates = sorted(root.glob(f"{minor}.*/bin/python{minor}"))
        found.append(pytest.param(candidates[-1] if candidates else None, id=minor))
    return found


@pytest.mark.parametrize("python", other_interpreters())
def test_other_interpreter_versions_are_refused(python):
    if python is None:
        pytest.skip("that interpreter is not installed")
    result = subprocess.run([python, "-c", LOAD_UNDER_OTHER_PYTHON, kinetrope.__file__],
                            capture_output=True, text=True, timeout=60)
    message, still_loaded = result.stdout.splitlines()
    version = subprocess.run([python, "-c", "import sys; print(sys.version)"], capture_output=True,
                             text=True).stdout.rstrip("\n")
    assert message == ("Python version mismatch: module was compiled for Python 3.12, but the interpreter "
                       f"version is incompatible: {version}.")
    assert still_loaded == "False"
