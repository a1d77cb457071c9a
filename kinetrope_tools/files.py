"""Saving patterns and recordings to a file, and loading them back.

The file is UTF-8 JSON (described in docs/file-format.md): a header naming
the format and its version, then one entry per item. Every number is
written as the shortest decimal that reads back as the same double, so a
round trip keeps every value to the last bit, the sign of zero included.

Saving writes a temporary file beside the target, forces it to disk and
then puts it in the target's place in one step: the target is at every
moment either the old file, whole, or the new one. Loading builds every
item through the kinetrope classes themselves, so whatever they refuse is
refused here too, and returns nothing at all unless the whole file is good.
"""

from __future__ import annotations

import json
import math
import os
import secrets
import stat
from collections.abc import Iterable, Iterator
from pathlib import Path
from typing import TYPE_CHECKING, Any, TypeAlias

# Importing kinetrope_tools leaves the kinetrope module unloaded (render also
# serves builds that bind the same classes under another module), so
# kinetrope is imported in the functions that use it.
if TYPE_CHECKING:
    import kinetrope

FORMAT_NAME = "kinetrope-motions"
FORMAT_VERSION = 1
PATTERN = "pattern"
RECORDING = "recording"
PATTERN_FIELDS = ("kind", "name", "description", "samples")
RECORDING_FIELDS = ("kind", "name", "axes", "bpm", "beat_zero_seconds", "start_pip", "rows")
FIRST_PIP = -(2**31)
LAST_PIP = 2**31 - 1

PathLike: TypeAlias = str | os.PathLike[str]


class BadItem(ValueError):
    """A fault in one item of a file being read; the loader adds the path
    and the item."""


# Saving


def save(
    path: PathLike, items: Iterable[kinetrope.SampledPattern | kinetrope.SampledRecording | kinetrope.PatternLibrary]
) -> None:
    """Writes ``items`` to ``path``, replacing any file there atomically.

    Items are ``SampledPattern`` and ``SampledRecording`` objects, kept in
    the order given; a ``PatternLibrary`` contributes the patterns it holds
    of its own (not the built-in ones), in its catalogue's order, and they
    load back as separate patterns. Anything else is a TypeError. The file
    is only touched once every item has been read and written out in
    memory, so a failure leaves any existing file as it was.
    """
    text = dumps(items)
    # Through a symbolic link, the file it points to is the one replaced.
    target = Path(os.path.realpath(path))
    check_target(target, path)
    try:
        write_atomically(target, text.encode("utf-8"))
    except OSError as error:
        if error.filename is None:
            raise
        # The temporary file is ours; the path to tell about is the user's.
        raise type(error)(error.errno, error.strerror, os.fspath(path)) from None


def check_target(target: Path, given: PathLike) -> None:
    """Only a regular file is ever replaced: a FIFO, a device or a folder
    at the target is refused before anything is written."""
    try:
        mode = target.stat().st_mode
    except FileNotFoundError:
        return
    if not stat.S_ISREG(mode):
        raise ValueError(f"{os.fspath(given)}: not a regular file, so it is not replaced")


def dumps(items: Iterable[kinetrope.SampledPattern | kinetrope.SampledRecording | kinetrope.PatternLibrary]) -> str:
    """The whole file's text for ``items``."""
    import kinetrope

    if isinstance(items, (kinetrope.SampledPattern, kinetrope.SampledRecording, kinetrope.PatternLibrary)):
        raise TypeError("save takes a list of items; put a single item in a list")
    if isinstance(items, (str, bytes)) or not isinstance(items, Iterable):
        raise TypeError(f"save takes a list of items, not {type(items).__name__}")
    entries = [entry_text(item) for item in flattened(items)]
    body = ",\n".join(entries)
    items_text = f"[\n{body}\n  ]" if entries else "[]"
    return (
        "{\n"
        f'  "format": {json.dumps(FORMAT_NAME)},\n'
        f'  "version": {FORMAT_VERSION},\n'
        f'  "items": {items_text}\n'
        "}\n"
    )


def flattened(items: Iterable[object]) -> Iterator[kinetrope.SampledPattern | kinetrope.SampledRecording]:
    import kinetrope

    for index, item in enumerate(items):
        if isinstance(item, kinetrope.PatternLibrary):
            try:
                patterns = library_patterns(item)
            except UnicodeDecodeError:
                raise ValueError(
                    f"item {index}: a pattern of this library has a description that is not UTF-8 text, "
                    "which this file format cannot hold"
                ) from None
            yield from patterns
        elif isinstance(item, (kinetrope.SampledPattern, kinetrope.SampledRecording)):
            yield item
        else:
            raise TypeError(
                f"item {index}: cannot save a {type(item).__name__} "
                "(only SampledPattern, SampledRecording and PatternLibrary)"
            )


def library_patterns(library: kinetrope.PatternLibrary) -> list[kinetrope.SampledPattern]:
    """The patterns a library holds of its own: its catalogue lists the
    built-in motions first and then its own patterns."""
    import kinetrope

    own_rows = library.catalogue()[len(kinetrope.catalogue()) :]
    return [
        kinetrope.SampledPattern(
            row["name"],
            row["description"],
            [library.sample(row["name"], pip).as_tuple() for pip in range(row["period_pips"])],
        )
        for row in own_rows
    ]


def entry_text(item: kinetrope.SampledPattern | kinetrope.SampledRecording) -> str:
    import kinetrope

    if isinstance(item, kinetrope.SampledRecording):
        return recording_text(item)
    try:
        return pattern_text(item)
    except UnicodeDecodeError:
        raise ValueError(
            f"pattern {item.name!r}: its description is not UTF-8 text, which this file format cannot hold"
        ) from None


def pattern_text(pattern: kinetrope.SampledPattern) -> str:
    rows = (pattern.sample(pip).as_tuple() for pip in range(pattern.period_pips))
    return entry(
        [
            ("kind", json.dumps(PATTERN)),
            ("name", text(pattern.name)),
            ("description", text(pattern.description)),
            ("samples", table(rows)),
        ]
    )


def recording_text(recording: kinetrope.SampledRecording) -> str:
    first = recording.start_pip
    rows = (recording.sample(pip) for pip in range(first, first + recording.sample_count))
    return entry(
        [
            ("kind", json.dumps(RECORDING)),
            ("name", text(recording.name)),
            ("axes", "[" + ", ".join(text(axis) for axis in recording.dimensions) + "]"),
            ("bpm", number(recording.bpm)),
            ("beat_zero_seconds", number(recording.beat_zero_seconds)),
            ("start_pip", str(first)),
            ("rows", table(rows)),
        ]
    )


def entry(fields: list[tuple[str, str]]) -> str:
    lines = ",\n".join(f"      {json.dumps(key)}: {value}" for key, value in fields)
    return "    {\n" + lines + "\n    }"


def text(value: str) -> str:
    return json.dumps(value, ensure_ascii=False)


def number(value: float) -> str:
    """The shortest decimal that reads back as exactly ``value``."""
    return repr(float(value))


def table(rows: Iterable[Iterable[float]]) -> str:
    lines = ",\n".join("        [" + ", ".join(number(value) for value in row) + "]" for row in rows)
    return "[\n" + lines + "\n      ]"


def write_atomically(path: Path, data: bytes) -> None:
    """Puts ``data`` at ``path`` through a temporary file in the same folder:
    written, flushed to disk, then renamed over the target. A file already
    there keeps its permissions."""
    folder = path.parent
    mode = stat.S_IMODE(path.stat().st_mode) if path.exists() else None
    temporary, handle = create_temporary(folder, path.name)
    try:
        with os.fdopen(handle, "wb") as stream:
            stream.write(data)
            stream.flush()
            if mode is not None:
                os.fchmod(stream.fileno(), mode)
            os.fsync(stream.fileno())
        os.replace(temporary, path)
    except BaseException:
        temporary.unlink(missing_ok=True)
        raise
    sync_folder(folder)


def create_temporary(folder: Path, name: str) -> tuple[Path, int]:
    """A new file of the user's default permissions beside the target,
    named after it within the folder's limit on name length."""
    stem = temporary_stem(name, longest_name(folder) - len(".") - len(".00000000.tmp"))
    while True:
        candidate = folder / f".{stem}.{secrets.token_hex(4)}.tmp"
        try:
            return candidate, os.open(candidate, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666)
        except FileExistsError:
            continue


def longest_name(folder: Path) -> int:
    try:
        return os.pathconf(folder, "PC_NAME_MAX")
    except (OSError, ValueError):
        return 255


def temporary_stem(name: str, room: int) -> str:
    """``name`` cut to at most ``room`` bytes of the file system's encoding,
    whole characters only."""
    while len(os.fsencode(name)) > room:
        name = name[:-1]
    return name


def sync_folder(folder: Path) -> None:
    """Makes the rename itself durable."""
    handle = os.open(folder, os.O_RDONLY)
    try:
        os.fsync(handle)
    finally:
        os.close(handle)


# Loading


def load(path: PathLike) -> list[kinetrope.SampledPattern | kinetrope.SampledRecording]:
    """The items saved in ``path``, in their order: a new ``SampledPattern``
    or ``SampledRecording`` for each (a saved library's patterns come back
    as separate patterns).

    A file that is not in this format, of a version this reader does not
    know, or holding an item that the kinetrope classes refuse, is a
    ValueError naming the path, the item and the reason; nothing is
    returned from it.
    """
    where = Path(path)
    data = where.read_bytes()
    try:
        document = parse(data)
        entries = checked_header(document)
    except BadItem as error:
        raise ValueError(f"{where}: {error}") from None
    items: list[kinetrope.SampledPattern | kinetrope.SampledRecording] = []
    for index, fields in enumerate(entries):
        try:
            items.append(item_from(fields))
        except BadItem as error:
            raise ValueError(f"{where}: item {index}{item_label(fields)}: {error}") from None
    return items


def load_patterns(path: PathLike) -> list[kinetrope.SampledPattern]:
    """The patterns saved in ``path``, in their order, typed as patterns;
    the file is read and checked whole, as by ``load``, and any recordings
    in it are left out."""
    import kinetrope

    return [item for item in load(path) if isinstance(item, kinetrope.SampledPattern)]


def load_recordings(path: PathLike) -> list[kinetrope.SampledRecording]:
    """The recordings saved in ``path``, in their order, typed as
    recordings; the file is read and checked whole, as by ``load``, and any
    patterns in it are left out."""
    import kinetrope

    return [item for item in load(path) if isinstance(item, kinetrope.SampledRecording)]


def parse(data: bytes) -> object:
    try:
        content = data.decode("utf-8-sig")  # an editor's byte order mark is no fault
    except UnicodeDecodeError as error:
        raise BadItem(f"not UTF-8 text (byte {error.start})") from None
    try:
        return json.loads(content, object_pairs_hook=unique_keys, parse_constant=refuse_constant,
                          parse_int=json_integer, parse_float=json_float)
    except json.JSONDecodeError as error:
        where = f"line {error.lineno} column {error.colno}"
        raise BadItem(f"not a complete JSON document: {error.msg} at {where}") from None
    except RecursionError:
        raise BadItem("lists or objects nested too deeply") from None


def unique_keys(pairs: list[tuple[str, Any]]) -> dict[str, Any]:
    result: dict[str, Any] = {}
    for key, value in pairs:
        if key in result:
            raise BadItem(f"the field {key!r} appears twice in one object")
        result[key] = value
    return result


class Unreadable:
    """A number in the file that no double holds: kept as its text until
    the item that holds it is read, so the refusal can name the item."""

    def __init__(self, text: str, reason: str) -> None:
        self.text, self.reason = text, reason

    def __repr__(self) -> str:
        return self.text if len(self.text) <= 24 else f"{self.text[:20]}..."


# An integer of more digits than this is beyond every double (and past the
# length Python converts to int without being asked).
MOST_INTEGER_DIGITS = 309


def json_integer(text: str) -> int | Unreadable:
    digits = len(text.lstrip("-"))
    if digits > MOST_INTEGER_DIGITS:
        return Unreadable(text, f"an integer of {digits} digits is beyond the largest double")
    return int(text)


def json_float(text: str) -> float | Unreadable:
    """The double a decimal names; one too large for a double, or too small
    to be anything but zero, is refused: the file holds exact values."""
    value = float(text)
    if math.isinf(value):
        return Unreadable(text, f"{text} is beyond the largest double")
    mantissa = text.lower().partition("e")[0]
    if value == 0.0 and mantissa.strip("-+.0"):
        return Unreadable(text, f"{text} is too small for a double (it would read as zero)")
    return value


def refuse_constant(constant: str) -> float:
    raise BadItem(f"{constant} is not a number this format allows")


def checked_header(document: object) -> list[object]:
    if not isinstance(document, dict) or document.get("format") != FORMAT_NAME:
        raise BadItem(f"not a {FORMAT_NAME} file (no \"format\": \"{FORMAT_NAME}\" at the top)")
    version = document.get("version")
    if type(version) is not int or version != FORMAT_VERSION:
        raise BadItem(f"format version {version!r} is not one this reader knows (it reads version {FORMAT_VERSION})")
    unknown = sorted(set(document) - {"format", "version", "items"})
    if unknown:
        raise BadItem(f"unknown top-level fields {', '.join(map(repr, unknown))}")
    entries = document.get("items")
    if not isinstance(entries, list):
        raise BadItem('"items" must be a list')
    return entries


def item_label(fields: object) -> str:
    if not (isinstance(fields, dict) and isinstance(fields.get("name"), str)):
        return ""
    kind = fields.get("kind")
    return f" ({kind} {fields['name']!r})" if kind in (PATTERN, RECORDING) else f" ({fields['name']!r})"


def item_from(fields: object) -> kinetrope.SampledPattern | kinetrope.SampledRecording:
    if not isinstance(fields, dict):
        raise BadItem("an item must be a JSON object")
    kind = fields.get("kind")
    if kind == PATTERN:
        return pattern_from(checked_fields(fields, PATTERN_FIELDS))
    if kind == RECORDING:
        return recording_from(checked_fields(fields, RECORDING_FIELDS))
    raise BadItem(f"unknown kind {kind!r} (expected {PATTERN!r} or {RECORDING!r})")


def checked_fields(fields: dict[str, Any], expected: tuple[str, ...]) -> dict[str, Any]:
    missing = [key for key in expected if key not in fields]
    if missing:
        raise BadItem(f"missing field {missing[0]!r}")
    unknown = sorted(set(fields) - set(expected))
    if unknown:
        raise BadItem(f"unknown field {unknown[0]!r}")
    return fields


def pattern_from(fields: dict[str, Any]) -> kinetrope.SampledPattern:
    import kinetrope

    name = string(fields["name"], "name")
    description = string(fields["description"], "description")
    samples = number_rows(fields["samples"], "samples", width=3)
    try:
        return kinetrope.SampledPattern(name, description, samples)
    except (ValueError, TypeError) as error:
        raise BadItem(str(error)) from None


def recording_from(fields: dict[str, Any]) -> kinetrope.SampledRecording:
    import kinetrope

    name = string(fields["name"], "name")
    axes = fields["axes"]
    if not isinstance(axes, list):
        raise BadItem('"axes" must be a list of names')
    axis_names = [string(axis, f"axes[{index}]") for index, axis in enumerate(axes)]
    bpm = real(fields["bpm"], "bpm")
    beat_zero_seconds = real(fields["beat_zero_seconds"], "beat_zero_seconds")
    start_pip = pip(fields["start_pip"], "start_pip")
    rows = number_rows(fields["rows"], "rows", width=None)
    try:
        return kinetrope.SampledRecording(name, axis_names, rows, bpm, beat_zero_seconds, start_pip)
    except (ValueError, TypeError) as error:
        raise BadItem(str(error)) from None


def string(value: object, what: str) -> str:
    if not isinstance(value, str):
        raise BadItem(f'"{what}" must be a string')
    try:
        value.encode("utf-8")
    except UnicodeEncodeError as error:
        raise BadItem(f'"{what}" holds a lone surrogate (\\u{ord(value[error.start]):04x}), which is not text') \
            from None
    return value


def real(value: object, what: str) -> float:
    """A JSON number as a double; an integer must convert exactly."""
    if isinstance(value, float):
        return value
    if isinstance(value, Unreadable):
        raise BadItem(f'"{what}": {value.reason}')
    if isinstance(value, int) and not isinstance(value, bool):
        try:
            converted = float(value)
        except OverflowError:
            converted = math.nan
        if converted == value:
            return converted
        raise BadItem(f'"{what}": the integer {value} has no exact double')
    raise BadItem(f'"{what}" must be a number, not {json.dumps(value, default=repr)[:40]}')


def pip(value: object, what: str) -> int:
    if isinstance(value, Unreadable):
        raise BadItem(f'"{what}": {value.reason}')
    if not isinstance(value, int) or isinstance(value, bool):
        raise BadItem(f'"{what}" must be a whole number')
    if not FIRST_PIP <= value <= LAST_PIP:
        raise BadItem(f'"{what}" {value} is outside the signed 32-bit pip range')
    return value


def number_rows(value: object, what: str, *, width: int | None) -> list[list[float]]:
    """A list of rows of numbers; every row ``width`` long when given
    (a recording's row lengths are left to the recording to judge)."""
    if not isinstance(value, list):
        raise BadItem(f'"{what}" must be a list of rows')
    rows: list[list[float]] = []
    for index, row in enumerate(value):
        if not isinstance(row, list):
            raise BadItem(f'"{what}" row {index} must be a list of numbers')
        if width is not None and len(row) != width:
            raise BadItem(f'"{what}" row {index} has {len(row)} numbers, not {width}')
        rows.append([real(number, f"{what}[{index}]") for number in row])
    return rows
