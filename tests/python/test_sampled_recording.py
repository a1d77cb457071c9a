import decimal
import math

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import kinetrope
from kinetrope import SampledRecording
from support import Index

INT_MIN = -(2**31)
INT_MAX = 2**31 - 1
LIMIT = 8_388_608

BAD_IDENTIFIER = "Invalid identifier"
BAD_TIMING = "A finite positive BPM and beat origin are required"
BAD_SHAPE = "Empty recording or recording resource limit exceeded"
DUPLICATE_AXIS = "Duplicate axis"
RAGGED = "Ragged recording"
BAD_SAMPLE = "Invalid sample"
OUTSIDE = "Pip outside non-looping recording"

BELOW_ONE = math.nextafter(-1.0, -2.0)
ABOVE_ONE = math.nextafter(1.0, 2.0)


def arguments(**changes):
    base = dict(name="rec", dimensions=["x", "y"], samples=[[0.5, -0.5]], bpm=120.0)
    base.update(changes)
    return base



def test_registered_before_offset3():
    names = list(vars(kinetrope))
    assert names.index("SampledRecording") < names.index("Offset3")


@pytest.mark.parametrize(
    "changes, message",
    [
        (dict(name=""), BAD_IDENTIFIER),
        (dict(name="Rec"), BAD_IDENTIFIER),
        (dict(name="9rec"), BAD_IDENTIFIER),
        (dict(name="r" * 129), BAD_IDENTIFIER),
        (dict(name="ré"), BAD_IDENTIFIER),
        (dict(bpm=0), BAD_TIMING),
        (dict(bpm=-120.0), BAD_TIMING),
        (dict(bpm=math.nan), BAD_TIMING),
        (dict(bpm=math.inf), BAD_TIMING),
        (dict(bpm=1e-308), BAD_TIMING),
        (dict(beat_zero_seconds=math.nan), BAD_TIMING),
        (dict(beat_zero_seconds=-math.inf), BAD_TIMING),
        (dict(dimensions=[]), BAD_SHAPE),
        (dict(samples=[]), BAD_SHAPE),
        (dict(start_pip=INT_MAX), BAD_SHAPE),
        (dict(start_pip=INT_MAX - 1, samples=[[0.0, 0.0]] * 2), BAD_SHAPE),
        (dict(dimensions=["x", "Y"]), BAD_IDENTIFIER),
        (dict(dimensions=["x", "y", "x"], samples=[[0.0] * 3]), DUPLICATE_AXIS),
        (dict(samples=[[0.5, 0.5], [0.5]]), RAGGED),
        (dict(samples=[[0.5, 0.5, 0.5]]), RAGGED),
        (dict(samples=[[0.5, 0.5], []]), RAGGED),
        (dict(samples=[[0.0, math.nan]]), BAD_SAMPLE),
        (dict(samples=[[math.inf, 0.0]]), BAD_SAMPLE),
        (dict(samples=[[0.0, ABOVE_ONE]]), BAD_SAMPLE),
        (dict(samples=[[BELOW_ONE, 0.0]]), BAD_SAMPLE),
        (dict(samples=[[0.0, 2]]), BAD_SAMPLE),
    ],
    ids=lambda v: repr(v)[:40] if isinstance(v, dict) else None,
)
def test_each_failure_at_its_boundary(changes, message):
    with pytest.raises(ValueError) as caught:
        SampledRecording(**arguments(**changes))
    assert str(caught.value) == message


@pytest.mark.parametrize(
    "changes, message",
    [
        (dict(name="Bad", bpm=math.nan), BAD_IDENTIFIER),
        (dict(bpm=0.0, dimensions=[]), BAD_TIMING),
        (dict(beat_zero_seconds=math.inf, samples=[]), BAD_TIMING),
        (dict(dimensions=["x", "x"], samples=[]), BAD_SHAPE),
        (dict(dimensions=["x", "x"], samples=[[0.5]]), DUPLICATE_AXIS),
        (dict(dimensions=["x", "x", "Bad"], samples=[[0.5]]), DUPLICATE_AXIS),
        (dict(dimensions=["Bad", "x", "x"], samples=[[0.5]]), BAD_IDENTIFIER),
        (dict(samples=[[1.5, 0.0], [0.0]]), BAD_SAMPLE),
        (dict(samples=[[0.0, 0.0], [math.nan]]), RAGGED),
        (dict(samples=[[0.0], [math.nan, 0.0]]), RAGGED),
    ],
)
def test_first_failing_step_is_reported(changes, message):
    with pytest.raises(ValueError, match=f"^{message}$"):
        SampledRecording(**arguments(**changes))


@pytest.mark.parametrize(
    "changes",
    [
        dict(name=None),
        dict(name=5),
        dict(name="\udc80"),
        dict(dimensions="xy"),
        dict(dimensions=["x", None]),
        dict(samples="ab"),
        dict(samples=["ab"]),
        dict(samples=[b"\x00\x01"]),
        dict(samples=[[0.5, "0.5"]]),
        dict(samples=[[0.5, None]]),
        dict(bpm="120"),
        dict(bpm=None),
        dict(beat_zero_seconds="0"),
        dict(start_pip=1.0),
        dict(start_pip=INT_MAX + 1),
        dict(start_pip=INT_MIN - 1),
        # Conversion comes first: a bad name or a ragged early row does not
        # hide an unconvertible later value.
        dict(name="Bad", samples=[["x"]]),
        dict(samples=[[0.5], [0.5, "x"]]),
    ],
)
def test_unconvertible_arguments_raise_type_error(changes):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        SampledRecording(**arguments(**changes))


@pytest.mark.parametrize(
    "name, dimensions, samples, row",
    [
        (b"rec", [b"x", bytearray(b"y")], [[0.5, -0.5]], [0.5, -0.5]),
        ("rec", ("x", "y"), ((0.5, -0.5),), [0.5, -0.5]),
        ("rec", (a for a in "xy"), (r for r in [[0.5, -0.5]]), [0.5, -0.5]),
        ("rec", {"x": 1, "y": 2}.keys(), [{-0.5: 0, 0.5: 1}.keys()], [-0.5, 0.5]),
        ("rec", ["x", "y"], [[decimal.Decimal("0.5"), Index(-1)]], [0.5, -1.0]),
    ],
)
def test_sequences_and_numbers_convert(name, dimensions, samples, row):
    rec = SampledRecording(name, dimensions, samples, 120)
    assert (rec.name, rec.dimensions) == ("rec", ["x", "y"])
    assert rec.sample(0) == row


def test_properties_and_defaults():
    rec = SampledRecording("rec", ["x"], [[True]], 120)
    assert (rec.name, rec.sample_count, rec.start_pip) == ("rec", 1, 0)
    assert type(rec.bpm) is float and rec.bpm == 120.0
    assert type(rec.beat_zero_seconds) is float and rec.beat_zero_seconds == 0.0
    assert rec.sample(0) == [1.0]


def test_keywords_and_decimal_start_pip():
    rec = SampledRecording(
        samples=[[0.0]], bpm=90.5, beat_zero_seconds=-3.5, start_pip=decimal.Decimal("5.9"), dimensions=["x"], name="r"
    )
    assert (rec.bpm, rec.beat_zero_seconds, rec.start_pip) == (90.5, -3.5, 5)
    assert rec.sample(pip=5) == [0.0]


def test_dimensions_is_a_new_list_on_every_read():
    rec = SampledRecording(**arguments())
    first = rec.dimensions
    first.append("z")
    first[0] = "changed"
    assert rec.dimensions == ["x", "y"]
    assert rec.dimensions is not rec.dimensions


@pytest.mark.parametrize("attribute", ["name", "dimensions", "sample_count", "bpm", "beat_zero_seconds", "start_pip"])
def test_properties_are_read_only(attribute):
    rec = SampledRecording(**arguments())
    with pytest.raises(AttributeError):
        setattr(rec, attribute, getattr(rec, attribute))


@pytest.mark.parametrize(
    "start_pip, rows, covered, outside",
    [
        (0, 1, [0], [1, -1]),
        (100, 3, [100, 101, 102], [99, 103]),
        (-5, 2, [-5, -4], [-6, -3]),
        (INT_MIN, 1, [INT_MIN], [INT_MIN + 1, INT_MAX]),
        (INT_MAX - 1, 1, [INT_MAX - 1], [INT_MAX, INT_MAX - 2, INT_MIN]),
        (-1, 2, [-1, 0], [INT_MAX, INT_MIN]),
    ],
)
def test_reads_back_exact_rows_inside_the_stretch_only(start_pip, rows, covered, outside):
    values = [[math.nextafter(0.1 * r, 1.0), -1.0, 1.0, 5e-324 * (r + 1)] for r in range(rows)]
    rec = SampledRecording("rec", ["a", "b", "c", "d"], values, 120.0, start_pip=start_pip)
    assert rec.sample_count == rows
    for pip in covered:
        assert rec.sample(pip) == values[pip - start_pip]
    for pip in outside:
        with pytest.raises(IndexError, match=f"^{OUTSIDE}$"):
            rec.sample(pip)


def test_negative_zero_keeps_its_sign():
    rec = SampledRecording("rec", ["x"], [[-0.0]], 120.0)
    assert math.copysign(1.0, rec.sample(0)[0]) == -1.0


@pytest.mark.parametrize("pip", [2.0, 1.5, "1", None, decimal.Decimal(1), INT_MAX + 1, INT_MIN - 1])
def test_sample_pip_is_not_converted(pip):
    rec = SampledRecording("rec", ["x"], [[0.25]] * 3, 120.0)
    with pytest.raises(TypeError):
        rec.sample(pip)


@pytest.mark.parametrize("pip, row", [(True, 1), (False, 0), (Index(2), 2)])
def test_sample_accepts_ints_and_index_objects(pip, row):
    rec = SampledRecording("rec", ["x"], [[0.0], [0.5], [1.0]], 120.0)
    assert rec.sample(pip) == [row / 2]


@pytest.mark.parametrize("bpm", [1e-300, 3.3376107877608025e-307, 1e308, 5])
def test_tiny_and_huge_tempos_accepted(bpm):
    assert SampledRecording(**arguments(bpm=bpm)).bpm == float(bpm)


@pytest.mark.parametrize("bpm", [1e-308, math.nextafter(3.3376107877608025e-307, 0.0), 5e-324, -1e-300])
def test_tempos_whose_beat_overflows_refused(bpm):
    with pytest.raises(ValueError, match=f"^{BAD_TIMING}$"):
        SampledRecording(**arguments(bpm=bpm))


# Large recordings are built cheaply by repeating one row object.


@pytest.mark.parametrize("axes", [1, 2, 8])
def test_value_limit_accepted_exactly(axes):
    rows = LIMIT // axes
    first, last = [-1.0] * axes, [1.0] * axes
    samples = [first] + [[0.5] * axes] * (rows - 2) + [last]
    rec = SampledRecording("big", [f"a{i}" for i in range(axes)], samples, 120.0, start_pip=-3)
    assert rec.sample_count == rows
    assert rec.sample(-3) == first
    assert rec.sample(rows - 4) == last
    with pytest.raises(IndexError):
        rec.sample(rows - 3)


@pytest.mark.parametrize("axes", [1, 2, 8])
@pytest.mark.parametrize("row_value", [1.5, math.nan], ids=["invalid", "nan"])
@pytest.mark.parametrize("short_by", [0, 1], ids=["full_rows", "ragged_rows"])
def test_one_row_past_value_limit_refused_before_rows_are_examined(axes, row_value, short_by):
    row = [row_value] * (axes - short_by)
    with pytest.raises(ValueError, match=f"^{BAD_SHAPE}$"):
        SampledRecording("big", [f"a{i}" for i in range(axes)], [row] * (LIMIT // axes + 1), 120.0)


@pytest.mark.parametrize("rows", [1, LIMIT])
def test_last_covered_pip_limit(rows):
    start = INT_MAX - rows
    rec = SampledRecording("edge", ["x"], [[0.25]] * rows, 120.0, start_pip=start)
    assert rec.sample(INT_MAX - 1) == [0.25]
    with pytest.raises(IndexError):
        rec.sample(INT_MAX)
    with pytest.raises(ValueError, match=f"^{BAD_SHAPE}$"):
        SampledRecording("edge", ["x"], [[0.25]] * rows, 120.0, start_pip=start + 1)


# Property-based: any mix of good and bad parts either builds a recording
# that reads back what it was given or fails with the first documented error.

GOOD_NAMES = ["x", "y", "z", "rec", "a_1", "left_hand", "w" * 128]
BAD_NAMES = ["Bad", "", "1a", "y" * 129, "a-b"]
# Mostly good names, so that later steps are reached often.
identifiers = st.sampled_from(GOOD_NAMES * 4 + BAD_NAMES)
finite_or_not = st.one_of(
    st.floats(min_value=-1.0, max_value=1.0),
    st.floats(min_value=-1.0, max_value=1.0),
    st.floats(allow_nan=True, allow_infinity=True),
    st.sampled_from([-1.0, 1.0, ABOVE_ONE, BELOW_ONE, -0.0, 5e-324]),
)
tempos = st.one_of(
    st.floats(min_value=1e-3, max_value=1e3),
    st.floats(min_value=1e-3, max_value=1e3),
    st.floats(allow_nan=True, allow_infinity=True),
    st.sampled_from([1e-300, 1e-308, 0.0, -120.0]),
)
origins = st.one_of(st.floats(-1e6, 1e6), st.floats(-1e6, 1e6), st.floats(allow_nan=True, allow_infinity=True))
pips = st.one_of(st.integers(-1000, 1000), st.integers(-1000, 1000), st.integers(INT_MIN, INT_MAX), st.sampled_from([INT_MAX - 5, INT_MAX, INT_MIN]))


@st.composite
def recordings(draw):
    distinct_good = st.lists(st.sampled_from(GOOD_NAMES), min_size=1, max_size=4, unique=True)
    axes = draw(st.one_of(distinct_good, distinct_good, st.lists(identifiers, max_size=4)))
    row_length = st.one_of(st.just(len(axes)), st.just(len(axes)), st.integers(0, 5))
    row = row_length.flatmap(lambda n: st.lists(finite_or_not, min_size=n, max_size=n))
    rows = draw(st.one_of(st.lists(row, min_size=1, max_size=6), st.lists(row, max_size=6)))
    return axes, rows


LOWER = set("abcdefghijklmnopqrstuvwxyz")
IDENTIFIER_BYTES = LOWER | set("0123456789_")


def first_documented_error(name, axes, rows, bpm, beat_zero, start_pip):
    def is_identifier(text):
        return 1 <= len(text) <= 128 and text[0] in LOWER and all(c in IDENTIFIER_BYTES for c in text)

    if not is_identifier(name):
        return BAD_IDENTIFIER
    if not (math.isfinite(bpm) and bpm > 0 and math.isfinite(60.0 / bpm) and math.isfinite(beat_zero)):
        return BAD_TIMING
    if not axes or not rows or len(rows) * len(axes) > LIMIT or start_pip + len(rows) > INT_MAX:
        return BAD_SHAPE
    for i, axis in enumerate(axes):
        if not is_identifier(axis):
            return BAD_IDENTIFIER
        if axis in axes[:i]:
            return DUPLICATE_AXIS
    for row in rows:
        if len(row) != len(axes):
            return RAGGED
        if not all(math.isfinite(v) and abs(v) <= 1.0 for v in row):
            return BAD_SAMPLE
    return None


@settings(max_examples=400, deadline=None)
@given(
    name=identifiers,
    shape=recordings(),
    bpm=tempos,
    beat_zero=origins,
    start_pip=pips,
)
def test_builds_or_reports_first_documented_error(name, shape, bpm, beat_zero, start_pip):
    axes, rows = shape
    expected = first_documented_error(name, axes, rows, bpm, beat_zero, start_pip)
    if expected is not None:
        with pytest.raises(ValueError) as caught:
            SampledRecording(name, axes, rows, bpm, beat_zero, start_pip)
        assert str(caught.value) == expected
        return
    rec = SampledRecording(name, axes, rows, bpm, beat_zero, start_pip)
    assert (rec.dimensions, rec.sample_count, rec.start_pip) == (axes, len(rows), start_pip)
    for r, row in enumerate(rows):
        assert rec.sample(start_pip + r) == row
    for pip in (start_pip - 1, start_pip + len(rows)):
        if INT_MIN <= pip <= INT_MAX:
            with pytest.raises(IndexError):
                rec.sample(pip)


@settings(max_examples=200, deadline=None)
@given(
    rows=st.lists(
        st.lists(st.one_of(finite_or_not, st.integers(-2, 2), st.booleans(), st.none(), st.text(max_size=1)), max_size=3),
        max_size=4,
    ),
    pip=st.one_of(st.integers(-(2**40), 2**40), st.floats(), st.none()),
)
def test_mixed_inputs_never_crash(rows, pip):
    try:
        rec = SampledRecording("rec", ["x", "y"], rows, 120.0)
    except (TypeError, ValueError) as error:
        if isinstance(error, ValueError):
            assert str(error) in {BAD_SHAPE, RAGGED, BAD_SAMPLE}
        return
    try:
        assert len(rec.sample(pip)) == 2
    except (TypeError, IndexError):
        pass
