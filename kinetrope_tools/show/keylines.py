"""Where each key of a TOML text sits: a light line scan, for error messages.

tomllib hands back plain dicts with no positions, so a fault found after
parsing (a count of zero, an unknown profile) is placed by scanning the text
for table headers and ``key =`` lines. The scan knows enough TOML for that
(quoted and dotted keys, comments, arrays and strings over several lines)
and nothing more: a key it cannot place is reported at its table's line.
"""

from __future__ import annotations

import re
from collections.abc import Iterator

KeyPath = tuple[str | int, ...]

BARE_KEY = re.compile(r"[A-Za-z0-9_-]+")
MULTILINE_QUOTES = ('"""', "'''")


def read_key(text: str, start: int) -> tuple[tuple[str, ...], int] | None:
    """The dotted key at ``text[start:]`` and where it ends, or None."""
    parts: list[str] = []
    at = start
    while True:
        while at < len(text) and text[at] in " \t":
            at += 1
        if at < len(text) and text[at] in "\"'":
            end = text.find(text[at], at + 1)
            if end < 0:
                return None
            parts.append(text[at + 1:end])
            at = end + 1
        else:
            match = BARE_KEY.match(text, at)
            if match is None:
                return None
            parts.append(match.group())
            at = match.end()
        while at < len(text) and text[at] in " \t":
            at += 1
        if at < len(text) and text[at] == ".":
            at += 1
            continue
        return tuple(parts), at


def open_brackets(value: str) -> int:
    """Net count of [ and { opened by a value, outside strings and comments."""
    depth, quote = 0, ""
    for char in value:
        if quote:
            if char == quote:
                quote = ""
        elif char in "\"'":
            quote = char
        elif char == "#":
            break
        elif char in "[{":
            depth += 1
        elif char in "]}":
            depth -= 1
    return depth


def scan(text: str) -> Iterator[tuple[int, KeyPath, bool]]:
    """(line number, full key path, is a table header) for every table
    header and key line."""
    table: KeyPath = ()
    arrays: dict[KeyPath, int] = {}
    inside_string = ""
    depth = 0
    for number, line in enumerate(text.splitlines(), start=1):
        if inside_string:
            if line.count(inside_string) % 2 == 1:
                inside_string = ""
            continue
        if depth > 0:
            depth = max(0, depth + open_brackets(line))
            continue
        stripped = line.strip()
        if stripped.startswith("[["):
            header = read_key(stripped, 2)
            if header is not None:
                path: KeyPath = header[0]
                arrays[path] = arrays.get(path, -1) + 1
                table = path + (arrays[path],)
                yield number, table, True
            continue
        if stripped.startswith("["):
            header = read_key(stripped, 1)
            if header is not None:
                table = header[0]
                yield number, table, True
            continue
        key = read_key(stripped, 0)
        if key is None or not stripped[key[1]:].startswith("="):
            continue
        yield number, table + key[0], False
        value = stripped[key[1] + 1:]
        for quotes in MULTILINE_QUOTES:
            if value.count(quotes) % 2 == 1:
                inside_string = quotes
                break
        else:
            depth = max(0, open_brackets(value))


def line_of(text: str, path: KeyPath) -> int | None:
    """The line of ``path``, or of its nearest enclosing table or key."""
    lines: dict[KeyPath, int] = {}
    for number, found, _ in scan(text):
        lines.setdefault(found, number)
    while path:
        if path in lines:
            return lines[path]
        path = path[:-1]
    return None


def key_at(text: str, line: int) -> KeyPath:
    """The key path a line belongs to: its key, or the table above it."""
    table: KeyPath = ()
    for number, path, header in scan(text):
        if number > line:
            break
        if number == line:
            return path
        if header:
            table = path
    return table


def dotted(path: KeyPath) -> str:
    """``groups.heads.offset[2]``; keys that are not bare are quoted."""
    text = ""
    for part in path:
        if isinstance(part, int):
            text += f"[{part}]"
        else:
            name = part if BARE_KEY.fullmatch(part) else '"' + part.replace('"', '\\"') + '"'
            text += f".{name}" if text else name
    return text
