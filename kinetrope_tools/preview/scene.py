"""What the preview page draws: the rig's patched fixtures placed on a stage,
and each frame taken back through the fixtures' profiles into the values the
page needs (pan, tilt, dimmer, colour), packed once for every page watching.

Decoding happens here, in Python, with the profile's own ``decode``: the page
then shows exactly what the profile says the bytes mean (16-bit pairs,
inversions, ranges), and no second decoder has to be kept in step with the
profiles in JavaScript. The cost is paid once per frame whatever the number
of pages, and a fixture whose slots did not change is not decoded again.

A frame message is little-endian: uint32 frame number, uint32 fixture count,
then six float32 per fixture in patch order (pan and tilt in degrees, dimmer
0..1, red, green, blue 0..1); NaN where a fixture has no such value or its
slots are missing from the frame.
"""

from __future__ import annotations

import json
import math
import struct
from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from typing import Any

import numpy as np

HEADER = struct.Struct("<II")
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


def is_head(state: Any) -> bool:
    return state.pan is not None or state.tilt is not None


def fixture_slots(frame: Mapping[int, bytes], universe: int, address: int, channels: int) -> bytes | None:
    """A fixture's slots in the frame (address counted from 1), None when the frame lacks them."""
    data = frame.get(universe)
    start = address - 1
    if data is None or start < 0 or start + channels > len(data):
        return None
    return bytes(data[start:start + channels])


def spread_across(count: int) -> list[float]:
    """``count`` evenly spaced positions across the stage width, centred."""
    return [STAGE_WIDTH * ((i + 0.5) / count - 0.5) for i in range(count)]


def truss_depths(count: int) -> list[float]:
    """Depth of each heads group's truss, upstage first, spread over the stage."""
    if count == 1:
        return [0.0]
    return [-0.6 + 1.2 * i / (count - 1) for i in range(count)]


def place(rig: Any) -> list[Placed]:
    """Every patched fixture, in patch order, on a truss of its group (heads)
    or in a row of its group (cells); the kind is read from the home frame."""
    home = rig.home_frame()
    patch = list(rig.patch)
    kinds = []
    for entry in patch:
        slots = fixture_slots(home, entry.universe, entry.address, entry.fixture.channels)
        kinds.append("head" if slots is not None and is_head(entry.fixture.decode(slots)) else "cell")
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


def state_values(state: Any) -> tuple[float, float, float, float, float, float]:
    colour = state.color if state.color is not None else (math.nan,) * 3
    return (
        math.nan if state.pan is None else state.pan,
        math.nan if state.tilt is None else state.tilt,
        state.dimmer,
        *colour,
    )


class FrameEncoder:
    """Packs frames into page messages; keeps each fixture's last slots and
    values so that unchanged fixtures are not decoded again."""

    def __init__(self, rig: Any, placed: Sequence[Placed]) -> None:
        self.fixtures = [entry.fixture for entry in rig.patch]
        self.placed = list(placed)
        self.values = np.full((len(self.placed), VALUES_PER_FIXTURE), np.nan, dtype="<f4")
        self.last_slots: list[bytes | None] = [None] * len(self.placed)

    def encode(self, number: int, frame: Mapping[int, bytes]) -> bytes:
        for row, (fixture, p) in enumerate(zip(self.fixtures, self.placed)):
            slots = fixture_slots(frame, p.universe, p.address, p.channels)
            if slots == self.last_slots[row]:
                continue
            self.last_slots[row] = slots
            self.values[row] = math.nan if slots is None else state_values(fixture.decode(slots))
        return HEADER.pack(number & 0xFFFFFFFF, len(self.placed)) + self.values.tobytes()


def decode_message(message: bytes) -> tuple[int, np.ndarray]:
    """Frame number and (fixtures, 6) values of a frame message, as the page reads it."""
    number, count = HEADER.unpack_from(message)
    values = np.frombuffer(message, dtype="<f4", offset=HEADER.size)
    return number, values.reshape(count, VALUES_PER_FIXTURE)
