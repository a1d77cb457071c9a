import decimal
import gc
import math
import os
import subprocess
import sys
import textwrap

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import kinetrope
from support import Index, bits
from kinetrope import PatternLibrary, SampledPattern

BUILTINS = kinetrope.catalogue()
BUILTIN_NAMES = [row["name"] for row in BUILTINS]
BOUNCE_ROW = next(row for row in BUILTINS if row["name"] == "bounce")



def flat(name, count=1, x=0.0):
    return SampledPattern(name, "", [(x, 0.0, 0.0)] * count)


def ramp(name, count):
    return SampledPattern(name, "ramp", [(i / count, 0.0, 0.0) for i in range(count)])


def bounce_samples():
    return [kinetrope.bounce(i).as_tuple() for i in range(BOUNCE_ROW["period_pips"])]


def bounce_copy(description=BOUNCE_ROW["description"], samples=None):
    return SampledPattern("bounce", description, bounce_samples() if samples is None else samples)


@pytest.mark.parametrize("make", [PatternLibrary, lambda: PatternLibrary([]), lambda: PatternLibrary(patterns=())])
def test_library_without_patterns_answers_like_the_module(make):
    library = make()
    assert library.catalogue() == kinetrope.catalogue()
    for name in BUILTIN_NAMES:
        for pip in (0, 37, -1):
            assert bits(*library.sample(name, pip).as_tuple()) == bits(*kinetrope.sample(name, pip).as_tuple())


def test_own_patterns_sample_with_their_own_period():
    library = PatternLibrary([ramp("wave_a", 4), ramp("wave_b", 3)])
    assert library.sample("wave_a", 5).as_tuple() == (0.25, 0.0, 0.0)
    assert library.sample(name="wave_b", pip_count=-1).as_tuple() == (2 / 3, 0.0, 0.0)
    assert library.sample(b"wave_b", 1).as_tuple() == library.sample(bytearray(b"wave_b"), 1).as_tuple()


def test_catalogue_lists_builtins_then_kept_patterns_in_input_order():
    p1 = SampledPattern("zeta", "first", [(0.0, 0.5, 0.0)] * 3)
    p2 = SampledPattern("alpha", "", [(0.0, 0.0, 0.0), (0.0, 0.0, -0.25)])
    rows = PatternLibrary([p1, bounce_copy(), p2]).catalogue()
    assert rows[: len(BUILTINS)] == BUILTINS
    assert rows[len(BUILTINS) :] == [
        {"name": "zeta", "description": "first", "period_pips": 3, "dimensions": 2},
        {"name": "alpha", "description": "", "period_pips": 2, "dimensions": 3},
    ]
    assert [list(row) for row in rows[-2:]] == [["name", "description", "period_pips", "dimensions"]] * 2
    assert BUILTIN_NAMES.count("bounce") == [row["name"] for row in rows].count("bounce") == 1


def test_exact_copy_of_a_builtin_is_left_out():
    library = PatternLibrary([bounce_copy()])
    assert library.catalogue() == BUILTINS
    for pip in range(-70, 70):
        assert bits(*library.sample("bounce", pip).as_tuple()) == bits(*kinetrope.bounce(pip).as_tuple())


def nudged_last_bit(samples, pip, axis):
    row = list(samples[pip])
    row[axis] = math.nextafter(row[axis], 1.0 if row[axis] < 1.0 else -1.0)
    return samples[:pip] + [tuple(row)] + samples[pip + 1 :]


@pytest.mark.parametrize(
    "patterns, message",
    [
        (lambda: [flat("my_pattern"), flat("my_pattern", 2)], "Duplicate pattern name: my_pattern"),
        (lambda: [bounce_copy(), bounce_copy()], "Duplicate pattern name: bounce"),
        (lambda: [flat(f"p{i}") for i in range(1025)], "Too many patterns"),
        (lambda: [flat("mine"), bounce_copy(description="")], "Cannot override default pattern: bounce"),
    ],
)
def test_library_refusals_raise_value_error(patterns, message):
    with pytest.raises(ValueError) as caught:
        PatternLibrary(patterns())
    assert str(caught.value) == message


def test_library_keeps_copies_and_leaves_patterns_whole():
    pattern = ramp("wave_a", 4)
    first = PatternLibrary([pattern])
    second = PatternLibrary([pattern])
    assert (pattern.name, pattern.description, pattern.period_pips) == ("wave_a", "ramp", 4)
    assert pattern.sample(1).as_tuple() == (0.25, 0.0, 0.0)
    del pattern
    gc.collect()
    for pip in range(-5, 5):
        assert first.sample("wave_a", pip).as_tuple() == second.sample("wave_a", pip).as_tuple()
    assert first.catalogue() == second.catalogue()


def test_subclass_instances_are_copied_as_patterns():
    class Named(SampledPattern):
        pass

    library = PatternLibrary([Named("sub", "", [(0.5, 0.5, 0.5)])])
    assert library.sample("sub", 9).as_tuple() == (0.5, 0.5, 0.5)


@pytest.mark.parametrize(
    "make_patterns",
    [
        pytest.param(lambda ps: tuple(ps), id="tuple"),
        pytest.param(lambda ps: (p for p in ps), id="generator"),
        pytest.param(lambda ps: set(ps), id="set"),
        pytest.param(lambda ps: frozenset(ps), id="frozenset"),
        pytest.param(lambda ps: dict.fromkeys(ps).keys(), id="dict-keys"),
        pytest.param(lambda ps: dict(enumerate(ps)).values(), id="dict-values"),
        pytest.param(lambda ps: map(lambda p: p, ps), id="map"),
    ],
)
def test_iterables_of_patterns_are_accepted(make_patterns):
    library = PatternLibrary(make_patterns([flat("one", x=0.25), flat("two", x=0.5)]))
    assert (library.sample("one", 0).x, library.sample("two", 0).x) == (0.25, 0.5)


def test_patterns_held_only_by_a_drained_generator_are_copied_whole():
    # The generator's patterns live only in the tuple it is drained into; they
    # must still be intact when the library copies them.
    library = PatternLibrary(SampledPattern(f"gen_{i}", "d" * 64, [(i / 64, 0.0, 0.0)] * 40) for i in range(64))
    rows = library.catalogue()[len(BUILTINS) :]
    assert [row["name"] for row in rows] == [f"gen_{i}" for i in range(64)]
    assert all(library.sample(f"gen_{i}", 7).x == i / 64 for i in range(64))


class OnDemand:
    """A sequence that builds each pattern when it is asked for and keeps none."""

    def __len__(self):
        return 3

    def __getitem__(self, i):
        if i >= 3:
            raise IndexError(i)
        return SampledPattern(f"pattern_{i}_with_a_long_name", "d" * 48, [(0.25 * i, 0.0, 0.0)] * (i + 1))


def test_patterns_that_a_sequence_builds_on_demand_are_copied_whole():
    library = PatternLibrary(OnDemand())
    rows = library.catalogue()[len(BUILTINS) :]
    assert [(row["name"], row["description"], row["period_pips"]) for row in rows] == [
        (f"pattern_{i}_with_a_long_name", "d" * 48, i + 1) for i in range(3)]
    assert [library.sample(row["name"], 0).x for row in rows] == [0.0, 0.25, 0.5]


class Posing:
    """Answers like a pattern, through the interoperability method and its
    __class__; answering drops the first element of `patterns`."""

    def __init__(self, patterns):
        self.patterns, self.stand_in = patterns, flat("stand_in")

    def _pybind11_conduit_v1_(self, *args):
        self.patterns[0] = None
        return self.stand_in._pybind11_conduit_v1_(*args)

    @property
    def __class__(self):
        self.patterns[0] = None
        return SampledPattern


def test_objects_posing_as_patterns_are_refused_without_running_their_code():
    patterns = [ramp("first_pattern_with_a_long_name", 4)]
    patterns.append(Posing(patterns))
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        PatternLibrary(patterns)
    assert patterns[0].sample(1).as_tuple() == (0.25, 0.0, 0.0)


@pytest.fixture(scope="module")
def full_patterns():
    """16 patterns of 65,535 samples: 16 samples short of a library's limit."""
    return [SampledPattern(f"big_{i}", "", [(0.0, 0.0, 0.0)] * 65535) for i in range(16)]


@pytest.mark.parametrize(
    "after, message",
    [
        pytest.param([flat("tail", 16)], None, id="at-the-limit"),
        pytest.param([flat("tail", 17)], "Pattern pack is too large", id="one-over"),
        pytest.param([flat("big_0", 17)], "Duplicate pattern name: big_0", id="duplicate-first"),
    ],
)
def test_the_first_fault_is_reported_around_the_sample_limit(full_patterns, after, message):
    patterns = full_patterns + after
    if message is None:
        assert len(PatternLibrary(patterns).catalogue()) == len(BUILTINS) + 17
        return
    with pytest.raises(ValueError) as caught:
        PatternLibrary(patterns)
    assert str(caught.value) == message


@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""), reason="an address-space limit stops ASan")
def test_inputs_far_over_the_limits_are_refused_without_being_copied():
    # Under an address-space limit of 512 MiB more than the interpreter
    # uses, copying 1,024 or more patterns of 65,535 samples (1.5 GiB) would
    # end in MemoryError instead of the library's own refusal.
    script = textwrap.dedent(
        """
        import resource
        import kinetrope
        full = kinetrope.SampledPattern("full", "", [(0.0, 0.0, 0.0)] * 65535)
        with open("/proc/self/statm") as statm:
            in_use = int(statm.read().split()[0]) * resource.getpagesize()
        resource.setrlimit(resource.RLIMIT_AS, (in_use + 2**29, in_use + 2**29))
        for count in (1025, 5000, 1024):
            try:
                kinetrope.PatternLibrary([full] * count)
            except ValueError as refused:
                print(refused)
        """
    )
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert run.stdout.splitlines() == ["Too many patterns", "Too many patterns", "Duplicate pattern name: full"]


@pytest.mark.parametrize(
    "patterns",
    [
        pytest.param(None, id="None"),
        pytest.param([1], id="int-element"),
        pytest.param(lambda: [flat("ok"), "flat"], id="str-element"),
        pytest.param(lambda: iter([flat("ok")]), id="plain-iterator"),
        pytest.param(lambda: zip([flat("ok")]), id="zip-of-1-tuples"),
        pytest.param(lambda: {flat("ok"): 1}, id="dict"),
        pytest.param("ab", id="str"),
        pytest.param(lambda: [[flat("ok")]], id="nested-list"),
    ],
)
def test_non_pattern_input_raises_type_error(patterns):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        PatternLibrary(patterns() if callable(patterns) else patterns)


@pytest.mark.parametrize(
    "patterns",
    [
        pytest.param([None], id="only"),
        pytest.param(lambda: [flat("ok"), None], id="after-pattern"),
        pytest.param(lambda: (p for p in [None, flat("ok")]), id="generator"),
    ],
)
def test_none_element_raises_runtime_error_without_message(patterns):
    with pytest.raises(RuntimeError) as caught:
        PatternLibrary(patterns() if callable(patterns) else patterns)
    assert type(caught.value) is RuntimeError and str(caught.value) == ""


def test_unknown_names_fail_like_the_module():
    library = PatternLibrary([flat("mine")])
    for name in ("no_such", "mine_", "Mine", ""):
        with pytest.raises(ValueError) as caught:
            library.sample(name, 0)
        assert str(caught.value) == "Unknown kinetrope: " + name
    with pytest.raises(UnicodeDecodeError):
        library.sample(b"\xff", 0)
    with pytest.raises(TypeError):
        library.sample(None, 0)


@pytest.mark.parametrize("pip", [3.0, decimal.Decimal(3), "3", None, 2**31])
def test_pip_count_is_not_converted(pip):
    with pytest.raises(TypeError):
        PatternLibrary().sample("bounce", pip)


def test_pip_count_takes_index_objects():
    library = PatternLibrary()
    assert library.sample("bounce", Index(5)).as_tuple() == kinetrope.bounce(5).as_tuple()


def test_non_utf8_description_fails_when_the_catalogue_is_read():
    library = PatternLibrary([SampledPattern("odd", b"\xc3", [(0.0, 0.0, 0.0)])])
    assert library.sample("odd", 0).as_tuple() == (0.0, 0.0, 0.0)
    with pytest.raises(UnicodeDecodeError):
        library.catalogue()


def test_only_the_documented_members_are_bound():
    public = {name for name in dir(PatternLibrary) if not name.startswith("__")}
    assert public == {"sample", "catalogue", "_pybind11_conduit_v1_"}
    with pytest.raises(AttributeError):
        PatternLibrary().patterns = []
    with pytest.raises(TypeError):
        len(PatternLibrary())


def test_signatures_show_names_and_the_empty_list_default():
    assert PatternLibrary.__init__.__doc__.startswith(
        "__init__(self: kinetrope.PatternLibrary, patterns: collections.abc.Sequence[kinetrope.SampledPattern] = [])"
    )
    assert PatternLibrary.sample.__doc__.startswith(
        "sample(self: kinetrope.PatternLibrary, name: str, pip_count: int) -> kinetrope.Offset3"
    )


# Property: a random pack, drawn from a few names that include built-ins,
# either builds a library that answers from its kept patterns and the
# built-ins exactly, or fails with the first fault in input order.

OWN_NAMES = ["mine_a", "mine_b", "mine_c"]
BOUNCE_SAMPLES = bounce_samples()

unit = st.one_of(st.floats(-1.0, 1.0), st.sampled_from([1.0, -1.0, -0.0]))
own_tables = st.lists(st.tuples(unit, unit, unit), min_size=1, max_size=6)
nudges = st.tuples(st.integers(0, len(BOUNCE_SAMPLES) - 1), st.integers(0, 2))


@st.composite
def pack_entries(draw):
    """(name, description, samples, exact copy of a built-in?)."""
    kind = draw(st.sampled_from(["own", "own", "bounce", "bounce_nudged", "builtin_short"]))
    if kind == "own":
        return draw(st.sampled_from(OWN_NAMES)), draw(st.text(max_size=4)), draw(own_tables), False
    if kind == "bounce":
        return "bounce", BOUNCE_ROW["description"], BOUNCE_SAMPLES, True
    if kind == "bounce_nudged":
        pip, axis = draw(nudges)
        return "bounce", BOUNCE_ROW["description"], nudged_last_bit(BOUNCE_SAMPLES, pip, axis), False
    return draw(st.sampled_from(BUILTIN_NAMES)), "", draw(own_tables), False


def expected_pack_failure(entries):
    seen = set()
    for name, _, _, exact in entries:
        if name in seen:
            return "Duplicate pattern name: " + name
        seen.add(name)
        if name in BUILTIN_NAMES and not exact:
            return "Cannot override default pattern: " + name
    return None


@settings(deadline=None, max_examples=200)
@given(st.lists(pack_entries(), max_size=5), st.lists(st.integers(-(2**31), 2**31 - 1), max_size=4))
def test_every_pack_builds_a_faithful_library_or_fails_as_documented(entries, pips):
    patterns = [SampledPattern(name, description, samples) for name, description, samples, _ in entries]
    message = expected_pack_failure(entries)
    if message is not None:
        with pytest.raises(ValueError) as caught:
            PatternLibrary(patterns)
        assert str(caught.value) == message
        return

    library = PatternLibrary(patterns)
    kept = [(name, description, samples) for name, description, samples, exact in entries if not exact]
    rows = library.catalogue()
    assert rows[: len(BUILTINS)] == BUILTINS
    assert [(row["name"], row["description"], row["period_pips"]) for row in rows[len(BUILTINS) :]] == [
        (name, description, len(samples)) for name, description, samples in kept
    ]
    for name, _, samples in kept:
        for pip in pips + [0, -1]:
            assert bits(*library.sample(name, pip).as_tuple()) == bits(*samples[pip % len(samples)])
    for pip in pips:
        assert bits(*library.sample("bounce", pip).as_tuple()) == bits(*kinetrope.bounce(pip).as_tuple())
