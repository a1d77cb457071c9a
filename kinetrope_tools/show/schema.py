"""The show file: reading it, checking every key, and saying where a fault is.

A show file is TOML::

    fps = 44                                  # frames a second (default 44)

    [clock]
    source = "internal"                       # internal | tap | link | midi
    bpm = 128                                 # the tempo to start from
    beats_per_bar = 4                         # the default
    # quantum = 16                            # link: beats kept in phase (a bar)
    # port = "DJ mixer"                       # midi: the input port to follow,
    # socket = "127.0.0.1:9080"               # or a mido socket port

    [profiles.head]
    file = "head.toml"                        # a profile file beside the show,
    # file = "head.qxf"; mode = "16 bit"      # or a .qxf fixture and its mode,
    [profiles.bar]                            # or the profile's keys inline
    ...

    [groups.heads]
    profile = "head"
    count = 16
    universe = 1
    address = 1                               # default 1; fixtures follow on
    motion = "circle"
    size = 0.8                                # any other key is a group option

    [outputs.artnet]                          # type defaults to the table's name
    address = "127.0.0.1"                     # the default for every output
    [outputs.desk]
    type = "osc"
    port = 9000

Everything is checked before anything is built or sent; a fault is a
ShowFileError carrying the key path and the reason, and ``one_line`` turns
it into the single line the runner prints: file, line, key, reason.
"""

from __future__ import annotations

import math
import re
import tomllib
from collections.abc import Mapping
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any

from kinetrope_tools.show.keylines import KeyPath, dotted, key_at, line_of

CLOCK_SOURCES = ("internal", "tap", "link", "midi")
OUTPUT_TYPES = ("artnet", "sacn", "osc", "preview")
PROFILE_SUFFIXES = (".toml", ".qxf")
DEFAULT_ADDRESS = "127.0.0.1"
DEFAULT_FPS = 44.0
DEFAULT_BPM = 120.0
DEFAULT_OSC_PORT = 9000
DEFAULT_OSC_PREFIX = "/kinetrope"
LARGEST_UNIVERSE = 63999
LARGEST_GROUP = 65536
SLOTS = 512

TOP_KEYS = ("fps", "clock", "profiles", "groups", "outputs")
CLOCK_KEYS = ("source", "bpm", "beats_per_bar", "quantum", "port", "socket")
LARGEST_QUANTUM = 1024.0  # beats
GROUP_KEYS = ("profile", "count", "universe", "address", "motion")
OUTPUT_KEYS = ("type", "address", "port", "prefix")
SYNTAX_POSITION = re.compile(r"\s*\(at line (\d+), column (\d+)\)")
UNEXPECTED_KEYWORD = re.compile(r"unexpected keyword argument '(\w+)'")


class ShowFileError(ValueError):
    """A fault in a show file: where (a key path, a line if known) and why."""

    def __init__(self, key: KeyPath, reason: str, line: int | None = None, column: int | None = None) -> None:
        super().__init__(reason)
        self.key = key
        self.reason = " ".join(reason.split())  # always one line
        self.line = line
        self.column = column

    def one_line(self, file: str | Path, text: str = "") -> str:
        """``show.toml:12: groups.heads.count: must be at least 1, not 0``."""
        line = self.line if self.line is not None else line_of(text, self.key)
        where = str(file)
        if line is not None:
            where += f":{line}" + (f":{self.column}" if self.column is not None else "")
        key = dotted(self.key)
        return f"{where}: {key}: {self.reason}" if key else f"{where}: {self.reason}"


@dataclass(frozen=True)
class ClockSpec:
    """Where the tempo comes from. ``quantum`` (Link only) is the span in
    beats the session keeps in phase, a bar unless given: every process of
    a split rig agrees on the position modulo the quantum, so it should be
    as long as the longest loop the show plays."""

    source: str = "internal"
    bpm: float = DEFAULT_BPM
    beats_per_bar: int = 4
    quantum: float | None = None
    port: str | None = None
    socket: tuple[str, int] | None = None

    @property
    def socket_text(self) -> str:
        return "" if self.socket is None else f"{self.socket[0]}:{self.socket[1]}"


@dataclass(frozen=True)
class ProfileSpec:
    """A profile from a file (``file``, ``mode``) or inline (``table``)."""

    name: str
    file: Path | None = None
    mode: str | None = None
    table: Mapping[str, Any] = field(default_factory=dict)


@dataclass(frozen=True)
class GroupSpec:
    name: str
    profile: str
    count: int
    universe: int
    address: int
    motion: str
    options: Mapping[str, Any] = field(default_factory=dict)


@dataclass(frozen=True)
class OutputSpec:
    name: str
    type: str
    address: str = DEFAULT_ADDRESS
    port: int | None = None
    prefix: str = DEFAULT_OSC_PREFIX
    options: Mapping[str, Any] = field(default_factory=dict)


@dataclass(frozen=True)
class ShowSpec:
    """A checked show file; ``text`` is kept to place later faults by line."""

    path: Path
    text: str
    fps: float
    clock: ClockSpec
    profiles: Mapping[str, ProfileSpec]
    groups: Mapping[str, GroupSpec]
    outputs: Mapping[str, OutputSpec]


# ------------------------------------------------------------------ values

def type_name(value: object) -> str:
    return {bool: "true/false", int: "a whole number", float: "a number", str: "a string",
            list: "an array", dict: "a table"}.get(type(value), type(value).__name__)


def table_at(value: object, key: KeyPath) -> dict[str, Any]:
    if not isinstance(value, dict):
        raise ShowFileError(key, f"must be a table, not {type_name(value)}")
    return value


def known_keys(table: Mapping[str, Any], key: KeyPath, allowed: tuple[str, ...]) -> None:
    for name in table:
        if name not in allowed:
            raise ShowFileError(key + (name,), f"unknown key; expected one of: {', '.join(allowed)}")


def whole_at(value: object, key: KeyPath, low: int, high: int) -> int:
    if isinstance(value, bool) or not isinstance(value, int):
        raise ShowFileError(key, f"must be a whole number, not {type_name(value)}")
    if not low <= value <= high:
        raise ShowFileError(key, f"must be from {low} to {high}, not {value}")
    return value


def positive_at(value: object, key: KeyPath, high: float) -> float:
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise ShowFileError(key, f"must be a number, not {type_name(value)}")
    if not (math.isfinite(value) and 0 < value <= high):
        raise ShowFileError(key, f"must be above 0 and at most {high:g}, not {value}")
    return float(value)


def text_at(value: object, key: KeyPath, choices: tuple[str, ...] = ()) -> str:
    if not isinstance(value, str):
        raise ShowFileError(key, f"must be a string, not {type_name(value)}")
    if choices and value not in choices:
        raise ShowFileError(key, f"must be one of {', '.join(choices)}, not {value!r}")
    if not choices and not value.strip():
        raise ShowFileError(key, "must not be empty")
    return value


def required(table: Mapping[str, Any], key: KeyPath, name: str) -> Any:
    if name not in table:
        raise ShowFileError(key, f"missing key '{name}'")
    return table[name]


# ------------------------------------------------------------------ sections

def read_clock(value: object) -> ClockSpec:
    key: KeyPath = ("clock",)
    table = table_at(value, key)
    known_keys(table, key, CLOCK_KEYS)
    source = text_at(table.get("source", "internal"), key + ("source",), CLOCK_SOURCES)
    bpm = positive_at(table.get("bpm", DEFAULT_BPM), key + ("bpm",), 999.0)
    beats_per_bar = whole_at(table.get("beats_per_bar", 4), key + ("beats_per_bar",), 1, 64)
    quantum = None
    if "quantum" in table:
        if source != "link":
            raise ShowFileError(key + ("quantum",), f"only a link clock has a quantum, not {source}")
        quantum = positive_at(table["quantum"], key + ("quantum",), LARGEST_QUANTUM)
    port = socket = None
    for name in ("port", "socket"):
        if name in table and source != "midi":
            raise ShowFileError(key + (name,), f"only a midi clock has a {name}, not {source}")
    if source == "midi":
        if ("port" in table) == ("socket" in table):
            raise ShowFileError(key, "a midi clock needs either port = \"input name\" or socket = \"HOST:PORT\"")
        if "port" in table:
            port = text_at(table["port"], key + ("port",))
        else:
            socket = host_and_port(text_at(table["socket"], key + ("socket",)), key + ("socket",))
    return ClockSpec(source, bpm, beats_per_bar, quantum, port, socket)


def host_and_port(text: str, key: KeyPath) -> tuple[str, int]:
    """HOST:PORT (an IPv6 host in brackets)."""
    host, separator, port = text.rpartition(":")
    if not separator or not host or not port.isdigit() or not 0 < int(port) < 65536:
        raise ShowFileError(key, f"must be HOST:PORT, not {text!r}")
    return host.removeprefix("[").removesuffix("]"), int(port)


def read_profile(name: str, value: object, folder: Path) -> ProfileSpec:
    key: KeyPath = ("profiles", name)
    table = table_at(value, key)
    if "file" not in table:
        if "mode" in table:
            raise ShowFileError(key + ("mode",), "a mode belongs to a .qxf file; add file = \"...\"")
        if not table:
            raise ShowFileError(key, "an empty profile: give file = \"...\" or the profile's keys")
        return ProfileSpec(name, table=table)
    known_keys(table, key, ("file", "mode"))
    file = Path(text_at(table["file"], key + ("file",)))
    if file.suffix.lower() not in PROFILE_SUFFIXES:
        raise ShowFileError(key + ("file",), f"a profile file ends in .toml or .qxf, not {file.name!r}")
    path = file if file.is_absolute() else folder / file
    if not path.is_file():
        raise ShowFileError(key + ("file",), f"no such file: {path}")
    mode = None
    if "mode" in table:
        if file.suffix.lower() != ".qxf":
            raise ShowFileError(key + ("mode",), "only a .qxf file has modes")
        mode = text_at(table["mode"], key + ("mode",))
    return ProfileSpec(name, file=path, mode=mode)


def read_group(name: str, value: object, profiles: Mapping[str, ProfileSpec]) -> GroupSpec:
    key: KeyPath = ("groups", name)
    table = table_at(value, key)
    profile = text_at(required(table, key, "profile"), key + ("profile",))
    if profile not in profiles:
        raise ShowFileError(key + ("profile",), f"no profile {profile!r}; the profiles are: {', '.join(profiles)}")
    count = whole_at(required(table, key, "count"), key + ("count",), 1, LARGEST_GROUP)
    universe = whole_at(required(table, key, "universe"), key + ("universe",), 0, LARGEST_UNIVERSE)
    address = whole_at(table.get("address", 1), key + ("address",), 1, SLOTS)
    motion = text_at(required(table, key, "motion"), key + ("motion",))
    options = {option: setting for option, setting in table.items() if option not in GROUP_KEYS}
    return GroupSpec(name, profile, count, universe, address, motion, options)


def read_output(name: str, value: object) -> OutputSpec:
    key: KeyPath = ("outputs", name)
    table = table_at(value, key)
    if "type" in table:
        kind = text_at(table["type"], key + ("type",), OUTPUT_TYPES)
    elif name in OUTPUT_TYPES:
        kind = name
    else:
        raise ShowFileError(key, f"missing key 'type' (one of {', '.join(OUTPUT_TYPES)})")
    address = text_at(table.get("address", DEFAULT_ADDRESS), key + ("address",))
    port = None
    if "port" in table:
        port = whole_at(table["port"], key + ("port",), 0 if kind == "preview" else 1, 65535)
    elif kind == "osc":
        port = DEFAULT_OSC_PORT
    prefix = DEFAULT_OSC_PREFIX
    if kind == "osc":
        prefix = text_at(table.get("prefix", DEFAULT_OSC_PREFIX), key + ("prefix",))
        if not prefix.startswith("/"):
            raise ShowFileError(key + ("prefix",), f"an OSC address starts with '/', not {prefix!r}")
    elif "prefix" in table:
        raise ShowFileError(key + ("prefix",), f"only an osc output has a prefix, not {kind}")
    options = {option: setting for option, setting in table.items() if option not in OUTPUT_KEYS}
    if kind in ("osc", "preview") and options:
        known_keys(options, key, OUTPUT_KEYS)
    return OutputSpec(name, kind, address, port, prefix.rstrip("/") or "/", options)


def named_tables(data: Mapping[str, Any], section: str, need_one: bool) -> dict[str, Any]:
    tables = table_at(data.get(section, {}), (section,))
    if need_one and not tables:
        raise ShowFileError((section,), f"no {section}: a show needs at least one [{section}.NAME] table")
    return tables


# ------------------------------------------------------------------ the file

def parse(text: str, path: Path) -> ShowSpec:
    """A ShowSpec from a show file's text; ShowFileError for any fault."""
    try:
        data = tomllib.loads(text)
    except tomllib.TOMLDecodeError as error:
        message = str(error)
        position = SYNTAX_POSITION.search(message)
        if position is None:
            raise ShowFileError((), f"not TOML: {message}") from None
        line, column = int(position.group(1)), int(position.group(2))
        reason = SYNTAX_POSITION.sub("", message)
        raise ShowFileError(key_at(text, line), f"not TOML: {reason}", line, column) from None
    known_keys(data, (), TOP_KEYS)
    fps = positive_at(data.get("fps", DEFAULT_FPS), ("fps",), 1000.0)
    clock = read_clock(data.get("clock", {}))
    folder = path.parent
    profiles = {name: read_profile(name, value, folder)
                for name, value in named_tables(data, "profiles", True).items()}
    groups = {name: read_group(name, value, profiles) for name, value in named_tables(data, "groups", True).items()}
    outputs = {name: read_output(name, value) for name, value in named_tables(data, "outputs", False).items()}
    return ShowSpec(path, text, fps, clock, profiles, groups, outputs)


def read(path: str | Path) -> ShowSpec:
    """The show file at ``path``, checked; ShowFileError for any fault."""
    path = Path(path)
    try:
        text = path.read_bytes().decode("utf-8")
    except OSError as error:
        raise ShowFileError((), f"cannot read: {error.strerror or error}") from None
    except UnicodeDecodeError as error:
        raise ShowFileError((), f"not UTF-8 text: {error.reason} at byte {error.start}") from None
    try:
        return parse(text, path)
    except ShowFileError as error:
        if error.line is None:
            error.line = line_of(text, error.key)
        raise


def blame(error: Exception, key: KeyPath, table: Mapping[str, Any]) -> ShowFileError:
    """A fault that building a table's object raised, placed at the key of
    that table the message names when it names one (``rate must not be
    zero``, ``unexpected keyword argument 'spead'``) or whose value it quotes
    (``Unknown kinetrope: no_such_motion``)."""
    message = str(error) or type(error).__name__
    unexpected = UNEXPECTED_KEYWORD.search(message)
    if unexpected is not None and unexpected.group(1) in table:
        return ShowFileError(key + (unexpected.group(1),), f"unknown option {unexpected.group(1)!r}")
    for name in table:
        if re.match(rf"{re.escape(name)}\b", message) or f"'{name}'" in message:
            return ShowFileError(key + (name,), message)
    for name, value in table.items():  # "Unknown kinetrope: no_such_motion"
        if isinstance(value, str) and len(value) > 2 and (message.endswith(f": {value}") or repr(value) in message):
            return ShowFileError(key + (name,), message)
    return ShowFileError(key, message)
