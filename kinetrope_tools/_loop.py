"""One loop of a motion, read once: the shared ground of voices and describe.

A motion is a pure looping function of the pip, so everything a voice or a
description needs is the motion's catalogue row and its values at pips
0 .. period - 1. This module resolves a source (a built-in name, a
SampledPattern, or a PatternLibrary with a name) to that loop.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import TYPE_CHECKING, Any, TypeAlias

import numpy as np

from kinetrope_tools._names import NameIndex
from kinetrope_tools._render import render

# kinetrope is imported where it is used, not with the package: render also
# serves classes that another binding of the core registers, and that module
# cannot be loaded beside kinetrope.
if TYPE_CHECKING:
    import kinetrope

Name: TypeAlias = str | bytes | bytearray
FloatArray: TypeAlias = np.ndarray[tuple[Any, ...], np.dtype[np.float64]]


@dataclass(frozen=True)
class CatalogueEntry:
    """What the catalogue says about one motion."""

    name: str
    description: str
    period_pips: int
    dimensions: int


@dataclass(frozen=True, eq=False)
class MotionLoop:
    """A motion's catalogue entry and its values over one loop, shape (period, 3)."""

    entry: CatalogueEntry
    values: FloatArray


def entry_from_row(row: Any) -> CatalogueEntry:
    return CatalogueEntry(str(row["name"]), str(row["description"]),
                          int(row["period_pips"]), int(row["dimensions"]))


BUILTIN_ENTRIES: dict[str, CatalogueEntry] = {}


def builtin_entries() -> dict[str, CatalogueEntry]:
    """The built-in catalogue by name, read on first use: it is fixed when the module is built."""
    if not BUILTIN_ENTRIES:
        import kinetrope

        BUILTIN_ENTRIES.update((row["name"], entry_from_row(row)) for row in kinetrope.catalogue())
    return BUILTIN_ENTRIES


def text_of(name: Name) -> str:
    """A name as text; bytes that are not UTF-8 keep their bytes visible as escapes."""
    if isinstance(name, str):
        return name
    return bytes(name).decode("utf-8", errors="backslashreplace")


BUILTIN_NAMES: list[NameIndex] = []


def builtin_names() -> NameIndex:
    """The built-in names, indexed on first use."""
    if not BUILTIN_NAMES:
        BUILTIN_NAMES.append(NameIndex(list(builtin_entries())))
    return BUILTIN_NAMES[0]


def unknown_name(name: str, names: NameIndex) -> ValueError:
    """The unknown-name error, with the closest names when there are any."""
    message = f"Unknown kinetrope: {name}"
    near = names.closest(name, 3)
    if near:
        message += f" (did you mean: {', '.join(near)}?)"
    return ValueError(message)


def library_entry(library: kinetrope.PatternLibrary, name: str) -> CatalogueEntry:
    """The entry of `name` in a library: the library's own rows, then the built-ins."""
    builtin = builtin_entries()
    if name in builtin:
        return builtin[name]
    rows = library.catalogue()[len(builtin):]
    own = {row["name"]: row for row in rows}
    if name in own:
        return entry_from_row(own[name])
    raise unknown_name(name, NameIndex([*builtin, *own]))


def builtin_entry(name: str) -> CatalogueEntry:
    entries = builtin_entries()
    if name in entries:
        return entries[name]
    raise unknown_name(name, builtin_names())


def axes_used(values: FloatArray) -> int:
    """3 if any z is non-zero, else 2 if any y is, else 1 (x alone never raises it)."""
    if np.any(values[:, 2] != 0.0):
        return 3
    if np.any(values[:, 1] != 0.0):
        return 2
    return 1


def checked_library_name(source: object, name: Name | None) -> None:
    """A library needs a name and nothing else takes one."""
    import kinetrope

    if isinstance(source, kinetrope.PatternLibrary):
        if name is None:
            raise TypeError("a PatternLibrary source needs the name of the motion to render")
    elif name is not None:
        raise TypeError("name is taken only with a PatternLibrary source")


def read_loop(source: Name | kinetrope.SampledPattern | kinetrope.PatternLibrary,
              name: Name | None = None) -> MotionLoop:
    """Resolve `source` and read its values at pips 0 .. period - 1."""
    import kinetrope

    checked_library_name(source, name)
    if isinstance(source, kinetrope.PatternLibrary):
        assert name is not None
        entry = library_entry(source, text_of(name))
        return MotionLoop(entry, read_only(render(source, range(entry.period_pips), name)))
    if isinstance(source, kinetrope.SampledPattern):
        values = read_only(render(source, range(source.period_pips)))
        entry = CatalogueEntry(source.name, source.description, source.period_pips, axes_used(values))
        return MotionLoop(entry, values)
    if isinstance(source, (str, bytes, bytearray)):
        entry = builtin_entry(text_of(source))
        return MotionLoop(entry, read_only(render(source, range(entry.period_pips))))
    if isinstance(source, kinetrope.SampledRecording):
        raise TypeError("a SampledRecording does not loop: give a motion name, a SampledPattern "
                        "or a PatternLibrary with a name")
    raise TypeError("source must be a motion name (str, bytes or bytearray), a SampledPattern or a "
                    f"PatternLibrary with a name, not {type(source).__name__}")


def read_only(values: FloatArray) -> FloatArray:
    values.setflags(write=False)
    return values

