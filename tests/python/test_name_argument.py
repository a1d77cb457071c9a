"""Name arguments are read as views of the caller's bytes, by a conversion of
the module's own: it must accept and refuse exactly what a text argument of
the binding library does, for both callables that take a motion name."""

import pytest

import kinetrope


class Text(str):
    pass


class Raw(bytes):
    pass


def library_sample(name, pip):
    return kinetrope.PatternLibrary().sample(name, pip)


SAMPLERS = [pytest.param(kinetrope.sample, id="sample"), pytest.param(library_sample, id="PatternLibrary.sample")]


@pytest.mark.parametrize("sampler", SAMPLERS)
@pytest.mark.parametrize("name", ["sway", b"sway", bytearray(b"sway"), Text("sway"), Raw(b"sway"),
                                  "".join(["sw", "ay"])])
def test_text_of_every_accepted_kind_names_the_motion(sampler, name):
    assert sampler(name, 37).as_tuple() == kinetrope.sway(37).as_tuple()


@pytest.mark.parametrize("sampler", SAMPLERS)
@pytest.mark.parametrize("name", ["sway\ud800", None, 5, memoryview(b"sway"), ["sway"]])
def test_other_objects_are_refused_before_the_lookup(sampler, name):
    with pytest.raises(TypeError):
        sampler(name, 0)


@pytest.mark.parametrize("sampler", SAMPLERS)
@pytest.mark.parametrize("name, shown", [("nö", "nö"), (b"a\x00b", "a"), ("", "")])
def test_unknown_names_are_reported_with_their_bytes(sampler, name, shown):
    # The message carries the name up to its first NUL byte: C++ exception
    # texts end there.
    with pytest.raises(ValueError) as refused:
        sampler(name, 0)
    assert str(refused.value) == "Unknown kinetrope: " + shown
