"""Profiles from the `.qxf` fixture definitions of the open lighting consoles'
fixture library (XML: channels with a preset or a group and byte, modes that
list channels by name, physical pan and tilt ranges per fixture or per mode).

Each channel gets a role from its preset, or else from its group, byte and
colour; anything else holds its default. A role that a mode repeats (a
multi-head bar's second red, a second dimmer) keeps its first channel and the
rest hold their defaults. A shutter rests at its first "open" value, so the
light shows. Any fault in a definition is a ValueError naming the file and
the element.
"""

from __future__ import annotations

import os
import xml.etree.ElementTree as ElementTree
from pathlib import Path

from kinetrope_tools.rig.profiles import DRIVEN_ROLES, FINE_ROLES, Channel, Fixture

# Fixture definitions are a few kilobytes; refuse to parse anything huge.
LARGEST_DEFINITION = 4 * 1024 * 1024
DEFAULT_PAN, DEFAULT_TILT = 540.0, 270.0

PRESET_ROLES = {
    "PositionPan": "pan", "PositionPanFine": "pan_fine",
    "PositionTilt": "tilt", "PositionTiltFine": "tilt_fine",
    "IntensityDimmer": "dimmer", "IntensityDimmerFine": "dimmer_fine",
    "IntensityMasterDimmer": "dimmer", "IntensityMasterDimmerFine": "dimmer_fine",
    "IntensityRed": "red", "IntensityRedFine": "red_fine",
    "IntensityGreen": "green", "IntensityGreenFine": "green_fine",
    "IntensityBlue": "blue", "IntensityBlueFine": "blue_fine",
    "IntensityWhite": "white", "IntensityWhiteFine": "white_fine",
}
COLOUR_ROLES = {"Red": "red", "Green": "green", "Blue": "blue", "White": "white"}


def local(tag: str) -> str:
    """A tag without its XML namespace."""
    return tag.rpartition("}")[2]


def children(element: ElementTree.Element, tag: str) -> list[ElementTree.Element]:
    return [child for child in element if local(child.tag) == tag]


def child_text(element: ElementTree.Element, tag: str) -> str | None:
    found = children(element, tag)
    return (found[0].text or "").strip() if found else None


class Definition:
    """One parsed file, with errors that name it."""

    def __init__(self, path: Path) -> None:
        self.path = path
        size = os.stat(path).st_size
        if size > LARGEST_DEFINITION:
            self.fail("FixtureDefinition", f"{size} bytes is too large for a fixture definition")
        try:
            root = ElementTree.parse(path).getroot()
        except ElementTree.ParseError as error:
            self.fail("FixtureDefinition", f"not well-formed XML ({error})")
        except (UnicodeError, ValueError) as error:
            self.fail("FixtureDefinition", f"unreadable ({error})")
        if local(root.tag) != "FixtureDefinition":
            self.fail("FixtureDefinition", f"the root element is <{local(root.tag)}>")
        self.root = root

    def fail(self, element: str, reason: str) -> None:
        raise ValueError(f"{self.path}: <{element}>: {reason}")

    def number(self, element: str, text: str | None, low: int, high: int) -> int:
        try:
            value = int(text or "")
        except ValueError:
            self.fail(element, f"{text!r} is not a whole number")
        if not low <= value <= high:
            self.fail(element, f"{value} is outside {low}..{high}")
        return value

    def channel(self, element: ElementTree.Element) -> Channel:
        """The role and default of a <Channel> definition."""
        name = element.get("Name", "")
        where = f'Channel Name="{name}"'
        default = self.number(where, element.get("Default", "0"), 0, 255)
        role = PRESET_ROLES.get(element.get("Preset", ""))
        group = children(element, "Group")
        preset = element.get("Preset", "")
        if role is None and group:
            kind = (group[0].text or "").strip()
            fine = self.number(f"{where}> <Group", group[0].get("Byte", "0"), 0, 1) == 1
            colour = child_text(element, "Colour")
            if kind in ("Pan", "Tilt"):
                role = kind.lower()
            elif kind == "Intensity":
                role = COLOUR_ROLES.get(colour or "", "dimmer" if colour is None else None)
            elif kind in ("Shutter", "Speed") and not fine:
                role = kind.lower()
            if role is not None and fine:
                role = role + "_fine" if role + "_fine" in FINE_ROLES else None
        elif role is None and (preset.startswith("Shutter") or preset.startswith("Speed")):
            role = "shutter" if preset.startswith("Shutter") else "speed"
        if role == "shutter" and "Default" not in element.attrib:
            default = self.open_shutter(element, where)
        return Channel(role or "constant", default)

    def open_shutter(self, element: ElementTree.Element, where: str) -> int:
        for capability in children(element, "Capability"):
            text = (capability.text or "").lower()
            if capability.get("Preset") == "ShutterOpen" or (not capability.get("Preset") and "open" in text):
                return self.number(f"{where}> <Capability", capability.get("Min"), 0, 255)
        return 0

    def ranges(self, mode: ElementTree.Element) -> tuple[float, float]:
        """Pan and tilt degrees: the mode's own <Physical> first, then the fixture's."""
        for holder in (mode, self.root):
            for physical in children(holder, "Physical"):
                for focus in children(physical, "Focus"):
                    return (self.degrees(focus, "PanMax", DEFAULT_PAN), self.degrees(focus, "TiltMax", DEFAULT_TILT))
        return (DEFAULT_PAN, DEFAULT_TILT)

    def degrees(self, focus: ElementTree.Element, attribute: str, fallback: float) -> float:
        value = self.number(f"Focus {attribute}", focus.get(attribute, "0"), 0, 100000)
        return float(value) if value > 0 else fallback


def read_qxf(path: str | os.PathLike[str], mode: str | None = None) -> Fixture:
    """The profile of one mode (the first when None) of a .qxf definition."""
    definition = Definition(Path(path))
    root = definition.root
    maker = child_text(root, "Manufacturer") or ""
    model = child_text(root, "Model") or ""
    if not model:
        definition.fail("Model", "missing or empty")
    defined = {element.get("Name", ""): element for element in children(root, "Channel")}
    modes = children(root, "Mode")
    if not modes:
        definition.fail("Mode", "the definition has no modes")
    names = [element.get("Name", "") for element in modes]
    if mode is None:
        chosen = modes[0]
    elif mode in names:
        chosen = modes[names.index(mode)]
    else:
        raise ValueError(f"{definition.path}: <Mode>: no mode named {mode!r}; modes: {', '.join(names)}")
    mode_name = chosen.get("Name", "")
    where = f'Mode Name="{mode_name}"'
    slots: dict[int, Channel] = {}
    for entry in children(chosen, "Channel"):
        number = definition.number(f"{where}> <Channel Number", entry.get("Number"), 0, 511)
        name = (entry.text or "").strip()
        if name not in defined:
            definition.fail(f"{where}> <Channel Number=\"{number}\"", f"no channel named {name!r}")
        if number in slots:
            definition.fail(f"{where}> <Channel Number=\"{number}\"", "the number appears twice")
        slots[number] = definition.channel(defined[name])
    if not slots:
        definition.fail(where, "the mode has no channels")
    if sorted(slots) != list(range(len(slots))):
        definition.fail(where, "channel numbers are not 0, 1, 2, ... without gaps")
    layout = first_of_each_role([slots[number] for number in range(len(slots))])
    pan, tilt = definition.ranges(chosen)
    return Fixture(f"{maker} {model} ({mode_name})".strip(), layout, pan_range=pan, tilt_range=tilt)


def first_of_each_role(channels: list[Channel]) -> list[Channel]:
    """A driven or fine role kept on its first channel only; a fine channel
    without its coarse one holds its default."""
    seen: set[str] = set()
    out = []
    for channel in channels:
        role = channel.role
        if role in DRIVEN_ROLES or role in FINE_ROLES:
            if role in seen:
                role = "constant"
            seen.add(channel.role)
        out.append(Channel(role, channel.value))
    roles = {channel.role for channel in out}
    return [Channel("constant", channel.value)
            if channel.role in FINE_ROLES and channel.role.removesuffix("_fine") not in roles else channel
            for channel in out]
