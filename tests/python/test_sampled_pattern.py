import collections
import decimal
import fractions
import math
import re

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import kinetrope
from support import Index, bits
from kinetrope import SampledPattern

BAD_NAME = "Invalid pattern name"
BAD_COUNT = "A pattern requires 1..65535 samples (one per pip)"
BAD_VALUE = "Pattern samples must be finite and within [-1, 1]"
ABOVE_ONE = math.nextafter(1.0, 2.0)
BELOW_MINUS_ONE = math.nextafter(-1.0, -2.0)



def wave():
    return SampledPattern("wave_a", "A", [[0.5, 0.0, 0.0], [0.0, 0.5, 0.0]])


def test_two_sample_wave_wraps_both_ways():
    pattern = wave()
    assert (pattern.name, pattern.description, pattern.period_pips) == ("wave_a", "A", 2)
    assert pattern.sample(3).as_tuple() == (0.0, 0.5, 0.0)
    assert pattern.sample(-2).as_tuple() == (0.5, 0.0, 0.0)
    assert pattern.sample(pip_count=1).as_tuple() == (0.0, 0.5, 0.0)
    by_keyword = SampledPattern(samples=[(0.25, 0, 0)], description="", name="k")
    assert by_keyword.sample(0).as_tuple() == (0.25, 0.0, 0.0)


TRIPLES = [(0.5, -0.5, 0.0), (1.0, 0.0, -1.0), (0.0, 0.25, 0.75)]


@pytest.mark.parametrize(
    "make_samples",
    [
        pytest.param(lambda: [list(t) for t in TRIPLES], id="list-of-lists"),
        pytest.param(lambda: list(TRIPLES), id="list-of-tuples"),
        pytest.param(lambda: tuple(list(t) for t in TRIPLES), id="tuple-of-lists"),
        pytest.param(lambda: (t for t in TRIPLES), id="generator"),
        pytest.param(lambda: ((c for c in t) for t in TRIPLES), id="generator-of-generators"),
        pytest.param(lambda: collections.deque(TRIPLES), id="deque"),
        pytest.param(lambda: map(tuple, TRIPLES), id="map"),
        pytest.param(lambda: zip(*zip(*TRIPLES)), id="zip"),
        pytest.param(lambda: dict.fromkeys(TRIPLES).keys(), id="dict-keys"),
        pytest.param(lambda: {i: t for i, t in enumerate(TRIPLES)}.values(), id="dict-values"),
    ],
)
def test_ordered_iterables_of_triples_are_read_in_order(make_samples):
    pattern = SampledPattern("p", "", make_samples())
    assert [pattern.sample(i).as_tuple() for i in range(3)] == TRIPLES


@pytest.mark.parametrize("samples", [{(0.5, 0.0, 0.0)}, frozenset({(0.5, 0.0, 0.0)})], ids=["set", "frozenset"])
def test_sets_of_triples_are_accepted(samples):
    assert SampledPattern("p", "", samples).sample(0).as_tuple() == (0.5, 0.0, 0.0)


@pytest.mark.parametrize(
    "samples",
    [
        pytest.param(iter(TRIPLES), id="plain-iterator"),
        pytest.param({0: TRIPLES[0]}, id="dict"),
        pytest.param({0: TRIPLES[0]}.items(), id="dict-items-of-pairs"),
        pytest.param("abc", id="str"),
        pytest.param(b"abc", id="bytes"),
        pytest.param(None, id="None"),
        pytest.param(3, id="int"),
        pytest.param([(0.0, 0.0)], id="two-items"),
        pytest.param([(0.0, 0.0, 0.0, 0.0)], id="four-items"),
        pytest.param([(0.0, 0.0, 0.0), (0.0, 0.0)], id="later-short-row"),
        pytest.param([("0.5", 0.0, 0.0)], id="str-coordinate"),
        pytest.param([(0.0, None, 0.0)], id="None-coordinate"),
        pytest.param([(0.0, 0.0, 1j)], id="complex-coordinate"),
        pytest.param([(0.0, 0.0, b"1")], id="bytes-coordinate"),
        pytest.param(["abc"], id="str-row"),
        pytest.param([0.5], id="number-row"),
    ],
)
def test_unconvertible_samples_raise_type_error(samples):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        SampledPattern("p", "", samples)


def test_conversion_fails_before_the_name_is_checked():
    with pytest.raises(TypeError):
        SampledPattern("Bad Name", "", [(0.0, 0.0)])


def test_generator_is_drained_even_when_a_row_is_refused():
    def rows():
        yield (0.0, 0.0, 0.0)
        yield (0.0, 0.0)
        yield (0.0, 0.0, 0.0)

    source = rows()
    with pytest.raises(TypeError):
        SampledPattern("p", "", source)
    assert next(source, "exhausted") == "exhausted"


def test_error_raised_while_draining_a_generator_surfaces_unchanged():
    def rows():
        yield (0.0, 0.0, 0.0)
        raise KeyError("from the caller")

    with pytest.raises(KeyError, match="from the caller"):
        SampledPattern("p", "", rows())


@pytest.mark.parametrize(
    "coordinate, expected",
    [
        (1, 1.0),
        (-1, -1.0),
        (True, 1.0),
        (False, 0.0),
        (fractions.Fraction(1, 4), 0.25),
        (decimal.Decimal("-0.5"), -0.5),
        (Index(1), 1.0),
        (-0.0, -0.0),
    ],
)
def test_numeric_coordinates_become_exact_doubles(coordinate, expected):
    offset = SampledPattern("p", "", [(0.0, 0.0, coordinate)]).sample(0)
    assert bits(*offset.as_tuple()) == bits(*(0.0, 0.0, expected))


@pytest.mark.parametrize(
    "name, description, samples, message",
    [
        ("Wave", "", [(0.0, 0.0, 0.0)], BAD_NAME),
        ("\u00e9", "", [(0.0, 0.0, 0.0)], BAD_NAME),
        ("Bad", "", [], BAD_NAME),
        ("p", "", [], BAD_COUNT),
        ("p", "", [(2.0, 0.0, 0.0)] * 65536, BAD_COUNT),
        ("p", "", [(1.5, 0.0, 0.0)], BAD_VALUE),
        ("p", "", [(0.0, math.nan, 0.0)], BAD_VALUE),
        ("p", "", [(0.0, 0.0, 0.0), (0.0, 0.0, 2)], BAD_VALUE),
    ],
)
def test_core_refusals_raise_value_error(name, description, samples, message):
    with pytest.raises(ValueError) as caught:
        SampledPattern(name, description, samples)
    assert str(caught.value) == message


@pytest.mark.parametrize("text", [b"wave_a", bytearray(b"wave_a"), "wave_a"])
def test_text_arguments_accept_str_bytes_and_bytearray(text):
    pattern = SampledPattern(text, text, [(0.0, 0.0, 0.0)])
    assert (pattern.name, pattern.description) == ("wave_a", "wave_a")


def test_unencodable_str_is_a_type_error():
    with pytest.raises(TypeError):
        SampledPattern("p", "\ud800", [(0.0, 0.0, 0.0)])


def test_non_utf8_description_is_kept_and_fails_when_read():
    pattern = SampledPattern("p", b"\xff\xfe", [(0.0, 0.0, 0.0)])
    assert pattern.period_pips == 1
    with pytest.raises(UnicodeDecodeError):
        pattern.description


@pytest.mark.parametrize("pip", [3.0, decimal.Decimal(1), fractions.Fraction(1), "1", None, 2**31, -(2**31) - 1])
def test_pip_count_is_not_converted(pip):
    with pytest.raises(TypeError):
        wave().sample(pip)


@pytest.mark.parametrize("pip, index", [(Index(3), 1), (True, 1), (2**31 - 1, 1), (-(2**31), 0)])
def test_pip_count_takes_ints_and_index_objects(pip, index):
    assert wave().sample(pip_count=pip).as_tuple() == [(0.5, 0.0, 0.0), (0.0, 0.5, 0.0)][index]


def test_only_the_documented_members_are_bound():
    public = {name for name in dir(SampledPattern) if not name.startswith("__")}
    assert public == {"name", "description", "period_pips", "sample", "_pybind11_conduit_v1_"}
    pattern = wave()
    with pytest.raises(AttributeError):
        pattern.pip_count
    with pytest.raises(AttributeError):
        pattern.name = "other"
    with pytest.raises(AttributeError):
        pattern.extra = 1
    assert pattern != wave() and hash(pattern) == hash(pattern)


def test_signatures():
    assert SampledPattern.sample.__doc__.startswith("sample(self: kinetrope.SampledPattern, pip_count: int)")
    assert "name: str, description: str, samples: collections.abc.Sequence[" in SampledPattern.__init__.__doc__
    assert SampledPattern.name.__doc__ == ""


# Property: any mix of well- and ill-formed input either builds a pattern
# that samples back exactly what was given, wrapped, or fails with the
# documented exception and message.

IDENTIFIER = re.compile(rb"[a-z][a-z0-9_]{0,127}")
BUILTIN_NAMES = {row["name"] for row in kinetrope.catalogue()}

names = st.one_of(
    st.from_regex(r"[a-z][a-z0-9_]{0,15}", fullmatch=True),
    st.text(max_size=6),
    st.binary(max_size=6),
    st.sampled_from(["a" * 128, "a" * 129, "bounce_2", "_a", "1a"]),
)
descriptions = st.one_of(st.text(max_size=8), st.binary(max_size=8))
coordinates = st.one_of(
    st.floats(-1.0, 1.0),
    st.floats(allow_nan=True, allow_infinity=True),
    st.sampled_from([1.0, -1.0, 0.0, -0.0, ABOVE_ONE, BELOW_MINUS_ONE]),
    st.integers(-2, 2),
    st.booleans(),
)
good_rows = st.tuples(coordinates, coordinates, coordinates)
bad_rows = st.one_of(
    st.lists(coordinates, min_size=2, max_size=2),
    st.lists(coordinates, min_size=4, max_size=4),
    st.tuples(coordinates, st.sampled_from(["0.5", None]), coordinates),
)
tables = st.one_of(
    st.lists(good_rows, max_size=8),
    st.lists(st.one_of(good_rows, bad_rows), max_size=8),
)
pips = st.lists(st.integers(-(2**31), 2**31 - 1), max_size=5)


def expected_failure(name, rows):
    """The exception type and message the constructor must raise, or None."""
    if any(len(row) != 3 or any(isinstance(c, (str, type(None))) for c in row) for row in rows):
        return TypeError, None
    name_bytes = name.encode() if isinstance(name, str) else name
    if not IDENTIFIER.fullmatch(name_bytes):
        return ValueError, BAD_NAME
    if not 1 <= len(rows) <= 65535:
        return ValueError, BAD_COUNT
    if not all(-1.0 <= float(c) <= 1.0 for row in rows for c in row):
        return ValueError, BAD_VALUE
    return None


def axes_used(rows):
    if any(float(z) != 0.0 for _, _, z in rows):
        return 3
    return 2 if any(float(y) != 0.0 for _, y, _ in rows) else 1


@settings(deadline=None, max_examples=300)
@given(names, descriptions, tables, pips)
def test_every_input_builds_a_faithful_pattern_or_fails_as_documented(name, description, rows, probe_pips):
    failure = expected_failure(name, rows)
    if failure is not None:
        kind, message = failure
        with pytest.raises(kind) as caught:
            SampledPattern(name, description, rows)
        assert type(caught.value) is kind
        assert message is None or str(caught.value) == message
        return

    pattern = SampledPattern(name, description, rows)
    assert pattern.name == (name if isinstance(name, str) else name.decode())
    if isinstance(description, bytes):
        try:
            text = description.decode()
        except UnicodeDecodeError:
            with pytest.raises(UnicodeDecodeError):
                pattern.description
        else:
            assert pattern.description == text
    else:
        assert pattern.description == description
    assert pattern.period_pips == len(rows)
    for pip in probe_pips + [0, -1, len(rows)]:
        expected = tuple(float(c) for c in rows[pip % len(rows)])
        assert bits(*pattern.sample(pip).as_tuple()) == bits(*expected)
    if pattern.name not in BUILTIN_NAMES and isinstance(description, str):
        row = kinetrope.PatternLibrary([pattern]).catalogue()[-1]
        assert row == {
            "name": pattern.name,
            "description": description,
            "period_pips": len(rows),
            "dimensions": axes_used(rows),
        }
