"""Playing motions live: a clock with a fractional position that follows a
tempo source without jumps (internal, tap tempo, Ableton Link with the
``link`` extra, MIDI beat clock with the ``midi`` extra), and a frame driver
that renders and sends frames at a fixed rate.

``LinkSource`` and ``MidiClockSource`` load their libraries when first
named, so the rest works without the extras."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

from kinetrope_tools.live.clock import LiveClock, bar_and_beat
from kinetrope_tools.live.driver import FrameDriver, FrameStats
from kinetrope_tools.live.sources import InternalSource, Source, TapTempo

if TYPE_CHECKING:
    from kinetrope_tools.live.link import LinkSource
    from kinetrope_tools.live.midi import MidiClockSource

__all__ = [
    "FrameDriver",
    "FrameStats",
    "InternalSource",
    "LinkSource",
    "LiveClock",
    "MidiClockSource",
    "Source",
    "TapTempo",
    "bar_and_beat",
]

_OPTIONAL = {"LinkSource": "kinetrope_tools.live.link", "MidiClockSource": "kinetrope_tools.live.midi"}


def __getattr__(name: str) -> Any:
    if name in _OPTIONAL:
        import importlib

        return getattr(importlib.import_module(_OPTIONAL[name]), name)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
