"""Companion tools for kinetrope: whole timelines rendered into NumPy arrays,
a tempo map and a live beat clock, an OSC bridge (``python -m
kinetrope_tools.osc``, extra ``osc``) and a gallery of every motion
(``python -m kinetrope_tools.gallery``, extra ``gallery``); voices that play
any motion with their own phase, rate, size, rotation and offset in continuous
time, spreads and crossfades of voices, and one-loop descriptions of motions;
patterns from keyframes, recordings from timed controller takes, playback
past a recording's ends, and a file format that keeps motions to the last
bit."""

from pkgutil import extend_path

# In a source checkout the compiled _render exists only in the installed
# copy of this package; run from the checkout's root, both copies together
# make up the package (the checkout's own modules first).
__path__ = extend_path(__path__, __name__)

from kinetrope_tools._render import render  # noqa: E402
from kinetrope_tools.describe import MotionInfo, describe, suggest  # noqa: E402
from kinetrope_tools.files import load, load_patterns, load_recordings, save  # noqa: E402
from kinetrope_tools.keyframes import pattern_from_keyframes  # noqa: E402
from kinetrope_tools.takes import play, recording_from_timed  # noqa: E402
from kinetrope_tools.tempo import BeatClock, TempoMap  # noqa: E402
from kinetrope_tools.voices import Crossfade, Voice, crossfade, spread  # noqa: E402

__all__ = [
    "BeatClock",
    "Crossfade",
    "MotionInfo",
    "TempoMap",
    "Voice",
    "crossfade",
    "describe",
    "load",
    "load_patterns",
    "load_recordings",
    "pattern_from_keyframes",
    "play",
    "recording_from_timed",
    "render",
    "save",
    "spread",
    "suggest",
]
