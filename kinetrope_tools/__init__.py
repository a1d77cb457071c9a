"""Companion tools for kinetrope."""

from kinetrope_tools.describe import MotionInfo, describe, suggest
from kinetrope_tools.voices import Crossfade, Voice, crossfade, spread

__all__ = ["Crossfade", "MotionInfo", "Voice", "crossfade", "describe", "spread", "suggest"]
