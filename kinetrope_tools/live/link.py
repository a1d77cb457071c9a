"""Following an Ableton Link session (extra ``link``, through ``aalink``).

The source joins the session as a peer, then a few times a frame reads the
session's tempo and beat and steers the clock towards them: the tempo at
once (no jump), the phase within a bar (the quantum) by slewing. The clock
keeps its own count of bars, so a cue that moves it by whole bars stays in
phase with the session.
"""

from __future__ import annotations

import asyncio
import threading
from typing import SupportsFloat

from kinetrope_tools._extras import require

require("aalink", "aalink", "link", "kinetrope_tools.live.LinkSource")

import aalink  # type: ignore[import-not-found, import-untyped, unused-ignore]  # noqa: E402

from kinetrope_tools.live.clock import LiveClock  # noqa: E402
from kinetrope_tools.live.sources import DEFAULT_JUMP_BEYOND, ListeningSource, nearest  # noqa: E402
from kinetrope_tools.tempo import PIPS_PER_BEAT, _finite, seconds_per_pip  # noqa: E402

# A reading of the session's beat is trusted only when it took less than
# this long, so the instant it is taken at is known to a few microseconds.
READING_WITHIN = 0.0002


class LinkSource(ListeningSource):
    """The clock follows a Link session: ``open()`` (or ``with``) joins it,
    ``close()`` leaves it. ``quantum`` is the phase the session shares, one
    bar of the clock by default; ``poll`` is how often the session is read,
    in seconds. The session starts at the clock's tempo and position if no
    one else is in it; joining one already playing moves the clock to its
    phase (a jump where that is more than ``jump_beyond`` pips away)."""

    name = "link"

    def __init__(
        self,
        clock: LiveClock,
        *,
        quantum: SupportsFloat | None = None,
        poll: SupportsFloat = 0.01,
        jump_beyond: SupportsFloat = DEFAULT_JUMP_BEYOND,
    ) -> None:
        super().__init__(clock)
        self.quantum = float(clock.beats_per_bar) if quantum is None else _finite(quantum, "quantum")
        if self.quantum <= 0.0:
            raise ValueError(f"quantum must be positive, not {self.quantum!r}")
        self.poll = _finite(poll, "poll")
        if not 0.0 < self.poll <= 1.0:
            raise ValueError(f"poll must be above 0 and at most 1 second, not {self.poll!r}")
        self.jump_beyond = _finite(jump_beyond, "jump_beyond")
        self.peers = 0
        self.session_bpm = clock.bpm
        # The last reading of the session: (instant, beat, tempo).
        self.reading: tuple[float, float, float] | None = None
        self._asked_bpm: float | None = None
        self._joined = threading.Event()
        self._failure: BaseException | None = None

    def open(self) -> LinkSource:
        """Joins the session (returns once the peer is enabled)."""
        if self._thread is None:
            self._listen_in_thread(self._run, "kinetrope-link")
            self._joined.wait(5.0)
            if self._failure is not None:
                self._stop_listening()
                raise self._failure
        return self

    def close(self) -> None:
        """Leaves the session; the clock runs on at the last tempo."""
        self._stop_listening()
        self._joined.clear()

    def set_bpm(self, bpm: SupportsFloat) -> None:
        """Asks the whole session to play at ``bpm``."""
        seconds_per_pip(bpm)
        self._asked_bpm = float(bpm)

    def _run(self) -> None:
        try:
            asyncio.run(self._follow())
        except BaseException as error:  # reported to open(), or lost if it came later
            self._failure = error
            self._joined.set()

    async def _follow(self) -> None:
        link = aalink.Link(self.clock.bpm)
        link.quantum = self.quantum
        link.request_beat(self.clock.position() / PIPS_PER_BEAT)
        link.enabled = True
        self._joined.set()
        try:
            while not self._leaving.is_set():
                self._ask_tempo(link)
                self._read(link)
                await asyncio.sleep(self.poll)
        finally:
            link.enabled = False

    def _ask_tempo(self, link: aalink.Link) -> None:
        asked, self._asked_bpm = self._asked_bpm, None
        if asked is not None:
            link.tempo = asked

    def _read(self, link: aalink.Link) -> None:
        before = self.clock.now()
        beat = link.beat
        after = self.clock.now()
        if after - before > READING_WITHIN:
            return
        now = (before + after) / 2
        bpm = link.tempo
        peers = link.num_peers
        # News of a tempo change reaches this peer a little after the change:
        # the clock ran on at the old tempo meanwhile, and on a busy machine
        # that can add up to more than a jump's worth. Slew that away too.
        retimed = bpm != self.session_bpm and peers == self.peers
        self.peers = peers
        self.session_bpm = bpm
        self.reading = (now, beat, bpm)
        if bpm != self.clock.bpm:
            self.clock.set_bpm(bpm, now)
        if self.clock.running:
            here = self.clock.position(now)
            target = nearest(here, beat * PIPS_PER_BEAT, self.quantum * PIPS_PER_BEAT)
            self.steer(target, now, max(self.jump_beyond, PIPS_PER_BEAT) if retimed else self.jump_beyond)
