"""Rigs: fixture profiles, the patch, fixture groups playing motions, and DMX
frames sent over Art-Net or sACN (the senders' optional library behind the
'rig' extra)."""

from kinetrope_tools.rig.mapping import Mapping
from kinetrope_tools.rig.patch import PatchedFixture
from kinetrope_tools.rig.profiles import Channel, Fixture, FixtureState
from kinetrope_tools.rig.rig import FixtureGroup, Frame, Rig
from kinetrope_tools.rig.senders import ArtNetSender, SacnSender

__all__ = ["ArtNetSender", "Channel", "Fixture", "FixtureGroup", "FixtureState", "Frame", "Mapping",
           "PatchedFixture", "Rig", "SacnSender"]
