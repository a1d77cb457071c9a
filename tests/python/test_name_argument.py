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
@pytest.mark.parametrize("name, shown", [
    ("nö", "nö"), ("", ""),
    # Every byte of the name, NUL bytes and what follows them included.
    (b"a\x00b", "a\x00b"), (b"bounce\x00", "bounce\x00"), ("bounce\x00z", "bounce\x00z"),
    (bytearray(b"\x00sway\x00"), "\x00sway\x00"), (bytearray(b"x" * 129 + b"\x00y"), "x" * 129 + "\x00y"),
])
def test_unknown_names_are_reported_with_their_bytes(sampler, name, shown):
    with pytest.raises(ValueError) as refused:
        sampler(name, 0)
    assert str(refused.value) == "Unknown kinetrope: " + shown


@pytest.mark.parametrize("sampler", SAMPLERS)
@pytest.mark.parametrize("name", [b"\xff", b"ok\x00\xff", bytearray(b"\xc3\x00")])
def test_unknown_names_that_are_not_utf8_cannot_become_a_message(sampler, name):
    with pytest.raises(UnicodeDecodeError):
        sampler(name, 0)


class Resizing:
    """A pip whose conversion rewrites and grows the bytearray passed as the
    name, which moves its buffer while the call is under way."""

    def __init__(self, name):
        self.name, self.spare = name, []

    def __index__(self):
        self.name[:] = b"circle" + b"_" * 4096
        self.spare.append(bytearray(b"circle"))  # likely to take over the freed buffer
        return 16


@pytest.mark.parametrize("sampler", SAMPLERS)
def test_bytearray_name_is_read_as_passed_even_if_resized_during_the_call(sampler):
    name = bytearray(b"bounce")
    assert sampler(name, Resizing(name)).as_tuple() == kinetrope.bounce(16).as_tuple()
    name = bytearray(b"z" * 300)
    with pytest.raises(ValueError) as refused:
        sampler(name, Resizing(name))
    assert str(refused.value) == "Unknown kinetrope: " + "z" * 300
