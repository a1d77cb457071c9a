"""Running a show from a file: ``python -m kinetrope_tools.show SHOW.toml``.

A show file (TOML) names fixture profiles, patches groups of fixtures into
universes with the motion each group plays and its options, picks the clock
source (internal tempo, tap tempo, Ableton Link, MIDI clock) and the outputs
(Art-Net, sACN, OSC, a browser preview). ``read`` checks a file and says
exactly where a fault is; ``build_show`` turns it into the rig this process
plays. The status line uses rich (the 'show' extra)."""

from kinetrope_tools.show.build import Show, build_show
from kinetrope_tools.show.schema import ShowFileError, ShowSpec, read

__all__ = ["Show", "ShowFileError", "ShowSpec", "build_show", "read"]
