"""Companion tools for kinetrope."""

from kinetrope_tools.files import load, save
from kinetrope_tools.keyframes import pattern_from_keyframes
from kinetrope_tools.takes import play, recording_from_timed

__all__ = ["load", "pattern_from_keyframes", "play", "recording_from_timed", "save"]
