"""What the preview page draws: the rig's patched fixtures placed on a stage,
and each frame taken back through the fixtures' profiles into the values the
page needs (pan, tilt, dimmer, colour), packed once for every page watching.

Decoding happens here, in Python, once per frame whatever the number of
pages, with the arithmetic of the profile's own ``decode`` (16-bit pairs,
ranges) read from the profile and done for all fixtures of a profile at once
(tests hold it equal to ``decode``, bit for bit). The page gets degrees and
levels ready to draw, so it needs no copy of the profiles in JavaScript, and
its own state can be compared with the rig's mapping directly.

A frame message is little-endian: uint32 frame number, uint32 fixture count,
float64 position of the frame in pips (NaN when the frame does not carry
one; a show's frames do), then six float32 per fixture in patch order (pan
and tilt in degrees, dimmer 0..1, red, green, blue 0..1); NaN where a
fixture has no such value or its slots are missing from the frame.
"""

from __future__ import annotations

import json
import math
import struct
from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from typing import Any, NamedTuple

import numpy as np

HEADER = struct.Struct("<IId")
VALUES_PER_FIXTURE = 6
UNIVERSE_SLOTS = 512
# Stage coordinates: x across (-1 stage left .. 1 stage right), y up (-1 floor
# .. 1 top), z towards the audience (-1 upstage .. 1 downstage).
TRUSS_HEIGHT = 0.8
STAGE_WIDTH = 1.8


@dataclass(frozen=True)
class Placed:
    """One patched fixture as the page knows it."""

    name: str
    group: str
    index: int
    universe: int
    address: int
    channels: int
    kind: str  # "head" (has pan or tilt) or "cell" (level and colour only)
    pan_centre: float  # degrees at the middle of the range: the head's straight-down reference
    tilt_centre: float
    x: float
    y: float
    z: float


def is_head(fixture: Any) -> bool:
    return fixture.offset("pan") is not None or fixture.offset("tilt") is not None


def spread_across(count: int) -> list[float]:
    """``count`` evenly spaced positions across the stage width, centred."""
    return [STAGE_WIDTH * ((i + 0.5) / count - 0.5) for i in range(count)]


def truss_depths(count: int) -> list[float]:
    """Depth of each heads group's truss, upstage first, spread over the stage."""
    if count == 1:
        return [0.0]
    return [-0.6 + 1.2 * i / (count - 1) for i in range(count)]


def place(rig: Any) -> list[Placed]:
    """Every patched fixture, in patch order, on a truss of its group (heads:
    profiles with pan or tilt) or in a row of its group (cells)."""
    patch = list(rig.patch)
    kinds = ["head" if is_head(entry.fixture) else "cell" for entry in patch]
    members: dict[str, list[int]] = {}
    for number, entry in enumerate(patch):
        members.setdefault(entry.group, []).append(number)
    head_groups = [g for g, numbers in members.items() if any(kinds[n] == "head" for n in numbers)]
    depth = dict(zip(head_groups, truss_depths(len(head_groups)), strict=True))
    placed: list[Placed | None] = [None] * len(patch)
    for group, numbers in members.items():
        for x, number in zip(spread_across(len(numbers)), numbers, strict=True):
            entry = patch[number]
            placed[number] = Placed(
                name=entry.name, group=group, index=entry.index, universe=entry.universe,
                address=entry.address, channels=entry.fixture.channels, kind=kinds[number],
                pan_centre=entry.fixture.pan_range / 2.0, tilt_centre=entry.fixture.tilt_range / 2.0,
                x=x, y=TRUSS_HEIGHT, z=depth.get(group, 0.0),
            )
    return [p for p in placed if p is not None]


def layout_message(placed: Sequence[Placed]) -> str:
    """The page's first message: every fixture, and the groups in patch order."""
    groups = list(dict.fromkeys(p.group for p in placed))
    return json.dumps({
        "type": "layout",
        "groups": groups,
        "fixtures": [
            {"name": p.name, "group": p.group, "index": p.index, "universe": p.universe,
             "address": p.address, "kind": p.kind, "panCentre": p.pan_centre, "tiltCentre": p.tilt_centre,
             "x": p.x, "y": p.y, "z": p.z}
            for p in placed
        ],
    }, separators=(",", ":"))


VALUE_ROLES = ("pan", "tilt", "dimmer", "red", "green", "blue")
COLOUR_ROLES = VALUE_ROLES[3:]


@dataclass(frozen=True)
class ProfileReading:
    """How one profile's slots read as the six values, taken from the profile
    itself (its channel offsets and ranges): the arithmetic of its ``decode``,
    done for many fixtures at once."""

    columns: np.ndarray  # which of the six values the profile has
    coarse: np.ndarray  # their coarse offsets in the fixture's slots
    fine: np.ndarray  # their fine offsets, -1 where 8-bit
    scale: np.ndarray  # degrees of the full range for pan and tilt, 1 for levels
    absent: np.ndarray  # (6,) the value of each one the profile lacks


def profile_reading(fixture: Any) -> ProfileReading:
    columns, coarse, fine, scale = [], [], [], []
    for column, role in enumerate(VALUE_ROLES):
        offset = fixture.offset(role)
        if offset is None:
            continue
        fine_offset = fixture.offset(role + "_fine")
        columns.append(column)
        coarse.append(offset)
        fine.append(-1 if fine_offset is None else fine_offset)
        scale.append({"pan": fixture.pan_range, "tilt": fixture.tilt_range}.get(role, 1.0))
    # No dimmer channel: always full. Colour: none without any colour channel,
    # a missing primary reads as 0 beside the others.
    has_colour = any(fixture.offset(role) is not None for role in COLOUR_ROLES)
    absent = [math.nan, math.nan, 1.0] + [0.0 if has_colour else math.nan] * 3
    return ProfileReading(np.array(columns, dtype=np.intp), np.array(coarse, dtype=np.intp),
                          np.array(fine, dtype=np.intp), np.array(scale, dtype=np.float64),
                          np.array(absent, dtype=np.float64))


def read_slots(reading: ProfileReading, slots: np.ndarray) -> np.ndarray:
    """(n, 6) values of n fixtures' slots (n, channels) of one profile."""
    values = np.tile(reading.absent, (len(slots), 1))
    coarse = slots[:, reading.coarse].astype(np.float64)
    fine = slots[:, np.maximum(reading.fine, 0)].astype(np.float64)
    wide = reading.fine >= 0
    share = np.where(wide, (coarse * 256.0 + fine) / 65535.0, coarse / 255.0)
    values[:, reading.columns] = share * reading.scale
    return values


@dataclass(frozen=True)
class Block:
    """The patched fixtures of one profile: where their slots start in the
    frame's universes laid end to end, and where they end in their universe."""

    rows: np.ndarray
    reading: ProfileReading
    slot_indices: np.ndarray  # (n, channels) indices into the universes laid end to end
    universe_rows: np.ndarray
    ends: np.ndarray


class FrameEncoder:
    """Packs frames into page messages: the universes laid end to end, then
    every profile's fixtures read at once."""

    def __init__(self, rig: Any, placed: Sequence[Placed]) -> None:
        self.universes = sorted({p.universe for p in placed})
        universe_row = {universe: row for row, universe in enumerate(self.universes)}
        self.buffer = np.zeros(len(self.universes) * UNIVERSE_SLOTS, dtype=np.uint8)
        self.lengths = np.zeros(len(self.universes), dtype=np.intp)
        self.values = np.empty((len(placed), VALUES_PER_FIXTURE), dtype=np.float64)
        by_profile: dict[int, list[int]] = {}
        fixtures = [entry.fixture for entry in rig.patch]
        for row, fixture in enumerate(fixtures):
            by_profile.setdefault(id(fixture), []).append(row)
        self.blocks = []
        for rows in by_profile.values():
            fixture = fixtures[rows[0]]
            universe_rows = np.array([universe_row[placed[r].universe] for r in rows], dtype=np.intp)
            starts = universe_rows * UNIVERSE_SLOTS + np.array([placed[r].address - 1 for r in rows], dtype=np.intp)
            self.blocks.append(Block(
                np.array(rows, dtype=np.intp), profile_reading(fixture),
                starts[:, None] + np.arange(fixture.channels, dtype=np.intp), universe_rows,
                np.array([placed[r].address - 1 + fixture.channels for r in rows], dtype=np.intp)))

    def gather(self, frame: Mapping[int, bytes]) -> None:
        for row, universe in enumerate(self.universes):
            data = frame.get(universe)
            length = 0 if data is None else min(len(data), UNIVERSE_SLOTS)
            if data is not None and length:
                start = row * UNIVERSE_SLOTS
                self.buffer[start:start + length] = np.frombuffer(data, dtype=np.uint8, count=length)
            self.lengths[row] = length

    def encode(self, number: int, frame: Mapping[int, bytes], position: float = math.nan) -> bytes:
        self.gather(frame)
        for block in self.blocks:
            values = read_slots(block.reading, self.buffer[block.slot_indices])
            values[block.ends > self.lengths[block.universe_rows]] = math.nan  # slots missing from the frame
            self.values[block.rows] = values
        header = HEADER.pack(number & 0xFFFFFFFF, len(self.values), position)
        return header + self.values.astype("<f4").tobytes()


class FrameMessage(NamedTuple):
    number: int
    position: float
    values: np.ndarray  # (fixtures, 6)


def decode_message(message: bytes) -> FrameMessage:
    """A frame message read back as the page reads it."""
    number, count, position = HEADER.unpack_from(message)
    values = np.frombuffer(message, dtype="<f4", offset=HEADER.size)
    return FrameMessage(number, position, values.reshape(count, VALUES_PER_FIXTURE))
