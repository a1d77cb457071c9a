"""Musical time against seconds: a tempo map, and a live beat clock.

A pip is 1/64 of a beat. A tempo map turns pips into seconds and back,
through any number of tempo changes; a beat clock tells the pip now.
"""

from __future__ import annotations

import bisect
import math
import operator
import time
from collections.abc import Callable, Iterable
from fractions import Fraction
from typing import TYPE_CHECKING, SupportsFloat, SupportsIndex, cast

import numpy as np
import numpy.typing as npt

from kinetrope_tools._pips import FIRST_PIP, LAST_PIP, int_text, whole_pip

if TYPE_CHECKING:
    import kinetrope

PIPS_PER_BEAT = 64
SECONDS_PER_MINUTE = 60.0


def _number(value: object, what: str) -> float:
    if isinstance(value, (bool, np.bool_, str, bytes)) or not isinstance(value, (SupportsFloat, SupportsIndex)):
        raise ValueError(f"{what} must be a number, not {type(value).__name__}")
    try:
        return float(value)
    except OverflowError:  # an integer past the largest double
        raise ValueError(f"{what} {int_text(operator.index(cast(SupportsIndex, value)))} is outside the range of a double") from None


def _finite(value: object, what: str) -> float:
    number = _number(value, what)
    if not math.isfinite(number):
        raise ValueError(f"{what} must be finite, not {number!r}")
    return number


def seconds_per_pip(bpm: object, what: str = "bpm") -> float:
    """The length of one pip at ``bpm``; ValueError naming ``what`` for a
    tempo that is not finite and positive, or so extreme that a pip would
    last no time or forever."""
    tempo = _finite(bpm, what)
    if tempo <= 0.0:
        raise ValueError(f"{what} must be positive, not {tempo!r}")
    length = SECONDS_PER_MINUTE / tempo / PIPS_PER_BEAT
    if not (math.isfinite(length) and length > 0.0):
        raise ValueError(f"{what} {tempo!r} is outside the usable tempo range")
    return length


def _pip(value: object, what: str) -> int:
    """A pip of the tempo map's own settings: any fault is a ValueError, as
    the map promises."""
    try:
        return whole_pip(value, what)
    except (TypeError, OverflowError) as error:
        raise ValueError(str(error)) from None


def _pip_or_end(value: object) -> int:
    """A pip, or the boundary after the last one."""
    if isinstance(value, int) and not isinstance(value, bool) and value == LAST_PIP + 1:
        return value
    return whole_pip(value)


class TempoMap:
    """Pips against seconds at a tempo that may change at given pips.

    ``bpm`` is the tempo before the first change (and everywhere, without
    changes); ``beat_zero_seconds`` is the instant pip 0 starts; ``changes``
    are (pip, bpm) pairs in strictly increasing pip order, each tempo taking
    effect at its pip. Pips of changes may be negative. Bad input is a
    ValueError that names the value.

    Every pip has one start instant, ``seconds_at(pip)``, which never
    decreases as the pip grows and is continuous across a tempo change: the
    pip before a change lasts as long as its own tempo says, and the change
    pip starts right after it. ``pip_at(t)`` is the pip in progress at ``t``:
    the last pip that has started by then, so
    ``seconds_at(pip_at(t)) <= t < seconds_at(pip_at(t) + 1)``. Pips are the
    signed 32-bit pips of kinetrope; an instant before pip -2**31 starts or
    after pip 2**31 - 1 ends is an OverflowError.
    """

    def __init__(
        self,
        bpm: SupportsFloat,
        beat_zero_seconds: SupportsFloat = 0.0,
        changes: Iterable[tuple[SupportsIndex, SupportsFloat]] = (),
    ) -> None:
        length = seconds_per_pip(bpm)
        origin = _finite(beat_zero_seconds, "beat_zero_seconds")
        tempos = [(FIRST_PIP, float(bpm), length)]
        for index, change in enumerate(changes):
            pip, tempo = self._change(change, index)
            if pip <= tempos[-1][0] and index > 0:
                raise ValueError(f"changes[{index}]: pip {pip} does not follow pip {tempos[-1][0]}")
            tempos.append((pip, float(tempo), seconds_per_pip(tempo, f"changes[{index}] bpm")))
        self._bpm = float(bpm)
        self._beat_zero_seconds = origin
        self._changes = tuple((pip, tempo) for pip, tempo, _ in tempos[1:])
        self._starts, self._lengths, self._anchor_pips, self._anchor_seconds = self._segments(tempos, origin)
        self._start_seconds = [self.seconds_at(pip) for pip in self._starts]
        if not (math.isfinite(self.seconds_at(FIRST_PIP)) and math.isfinite(self.seconds_at(LAST_PIP + 1))):
            slowest = min([self._bpm] + [tempo for _, tempo in self._changes])
            raise ValueError(
                f"32-bit pips would start beyond the range of a double (bpm {slowest!r}, "
                f"beat_zero_seconds {origin!r}): the tempo is too slow or the origin too far"
            )

    @staticmethod
    def _change(change: object, index: int) -> tuple[int, float]:
        if not isinstance(change, tuple | list) or len(change) != 2:
            raise ValueError(f"changes[{index}] must be a (pip, bpm) pair")
        return _pip(change[0], f"changes[{index}] pip"), _finite(change[1], f"changes[{index}] bpm")

    @staticmethod
    def _segments(
        tempos: list[tuple[int, float, float]], origin: float
    ) -> tuple[list[int], list[float], list[int], list[float]]:
        """Each segment's first pip and pip length, and an anchor: a pip and
        its start instant, from which the segment's other pips are counted.
        The segment holding pip 0 is anchored there; every other segment at
        the boundary it shares with its neighbour towards pip 0, whose start
        instant it takes from that neighbour, so no change makes a jump."""
        starts = [pip for pip, _, _ in tempos]
        lengths = [length for _, _, length in tempos]
        home = bisect.bisect_right(starts, 0) - 1
        anchor_pips = [0] * len(tempos)
        anchor_seconds = [origin] * len(tempos)
        for k in range(home + 1, len(tempos)):
            anchor_pips[k] = starts[k]
            anchor_seconds[k] = anchor_seconds[k - 1] + float(starts[k] - anchor_pips[k - 1]) * lengths[k - 1]
        for k in range(home - 1, -1, -1):
            anchor_pips[k] = starts[k + 1]
            anchor_seconds[k] = anchor_seconds[k + 1] + float(starts[k + 1] - anchor_pips[k + 1]) * lengths[k + 1]
        return starts, lengths, anchor_pips, anchor_seconds

    @classmethod
    def for_recording(cls, recording: kinetrope.SampledRecording) -> TempoMap:
        """The steady tempo and beat origin a recording carries."""
        return cls(recording.bpm, recording.beat_zero_seconds)

    @property
    def bpm(self) -> float:
        return self._bpm

    @property
    def beat_zero_seconds(self) -> float:
        return self._beat_zero_seconds

    @property
    def changes(self) -> tuple[tuple[int, float], ...]:
        return self._changes

    def seconds_at(self, pip: SupportsIndex) -> float:
        """The instant ``pip`` starts, in seconds; ``seconds_at(2**31)`` is
        the instant the last pip ends."""
        whole = pip if type(pip) is int and FIRST_PIP <= pip <= LAST_PIP + 1 else _pip_or_end(pip)
        k = max(bisect.bisect_right(self._starts, whole) - 1, 0)
        return self._anchor_seconds[k] + float(whole - self._anchor_pips[k]) * self._lengths[k]

    def pip_at(self, seconds: SupportsFloat) -> int:
        """The pip in progress at ``seconds``."""
        t = float(seconds)
        self._check_instant(t)
        k = max(bisect.bisect_right(self._start_seconds, t) - 1, 0)
        estimate = self._anchor_pips[k] + math.floor((t - self._anchor_seconds[k]) / self._lengths[k])
        pip = min(max(estimate, FIRST_PIP), LAST_PIP)
        if self.seconds_at(pip) <= t < self.seconds_at(pip + 1):
            return pip
        return self._search(t)

    def _check_instant(self, t: float) -> None:
        if math.isnan(t):
            raise ValueError("seconds must not be NaN")
        if not self.seconds_at(FIRST_PIP) <= t < self.seconds_at(LAST_PIP + 1):
            raise OverflowError(f"no 32-bit pip is in progress at {t!r} s")

    def _search(self, t: float) -> int:
        """The last pip started by ``t``, by bisection over every pip: the
        answer wherever rounding put ``t`` beside the estimate."""
        low, high = FIRST_PIP, LAST_PIP + 1  # seconds_at(low) <= t < seconds_at(high)
        while high - low > 1:
            middle = (low + high) // 2
            if self.seconds_at(middle) <= t:
                low = middle
            else:
                high = middle
        return low

    def pips_at(self, seconds: npt.ArrayLike) -> npt.NDArray[np.int32]:
        """``pip_at`` of every instant of an array, as an int32 array of the
        same shape; the same arithmetic, element by element."""
        times = np.asarray(seconds, dtype=np.float64)
        flat = times.reshape(-1)
        if np.isnan(flat).any():
            raise ValueError("seconds must not be NaN")
        outside = ~((flat >= self.seconds_at(FIRST_PIP)) & (flat < self.seconds_at(LAST_PIP + 1)))
        if outside.any():
            self._check_instant(float(flat[np.flatnonzero(outside)[0]]))
        k = np.maximum(np.searchsorted(np.array(self._start_seconds), flat, side="right") - 1, 0)
        anchor_pips = np.array(self._anchor_pips, dtype=np.int64)[k]
        offsets = np.floor((flat - np.array(self._anchor_seconds)[k]) / np.array(self._lengths)[k])
        pips = anchor_pips + np.clip(offsets, FIRST_PIP - anchor_pips, LAST_PIP - anchor_pips).astype(np.int64)
        settled = (self._seconds_at_array(pips) <= flat) & (flat < self._seconds_at_array(pips + 1))
        for i in np.flatnonzero(~settled).tolist():
            pips[i] = self._search(float(flat[i]))
        result: npt.NDArray[np.int32] = pips.astype(np.int32).reshape(times.shape)
        return result

    def _seconds_at_array(self, pips: npt.NDArray[np.int64]) -> npt.NDArray[np.float64]:
        k = np.maximum(np.searchsorted(np.array(self._starts, dtype=np.int64), pips, side="right") - 1, 0)
        steps = (pips - np.array(self._anchor_pips, dtype=np.int64)[k]).astype(np.float64)
        result: npt.NDArray[np.float64] = np.array(self._anchor_seconds)[k] + steps * np.array(self._lengths)[k]
        return result

    def __repr__(self) -> str:
        changes = f", changes={list(self._changes)!r}" if self._changes else ""
        return f"TempoMap({self._bpm!r}, beat_zero_seconds={self._beat_zero_seconds!r}{changes})"


class BeatClock:
    """A live clock in pips: starts at ``start_pip`` when made and runs at
    ``bpm``. ``time_ns`` is the nanosecond clock it reads (monotonic by
    default); a test can pass its own.

    The position is kept as an exact fraction of a pip, so a tempo change
    or a long run never shifts it by rounding.
    """

    def __init__(
        self, bpm: SupportsFloat, *, start_pip: SupportsIndex = 0, time_ns: Callable[[], int] = time.monotonic_ns
    ) -> None:
        self._time_ns = time_ns
        self._rate = self._pips_per_ns(bpm)
        self._bpm = float(bpm)
        self._origin_ns = time_ns()
        self._origin = Fraction(whole_pip(start_pip, "start_pip"))

    @staticmethod
    def _pips_per_ns(bpm: SupportsFloat) -> Fraction:
        seconds_per_pip(bpm)
        return Fraction(float(bpm)) * PIPS_PER_BEAT / (60 * 10**9)

    @property
    def bpm(self) -> float:
        return self._bpm

    def _position(self, now: int) -> Fraction:
        return self._origin + (now - self._origin_ns) * self._rate

    def pip(self) -> int:
        """The pip in progress now."""
        return math.floor(self._position(self._time_ns()))

    def set_bpm(self, bpm: SupportsFloat) -> None:
        """Runs on at ``bpm`` from where the clock is now, without a jump."""
        rate = self._pips_per_ns(bpm)
        now = self._time_ns()
        self._origin, self._origin_ns = self._position(now), now
        self._rate, self._bpm = rate, float(bpm)

    def seek(self, pip: SupportsIndex) -> None:
        """Moves to the start of ``pip`` and runs on from there."""
        self._origin, self._origin_ns = Fraction(whole_pip(pip)), self._time_ns()

