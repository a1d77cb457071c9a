"""FrameDriver: slots, drops, late frames, failed sends and the last frame on
a simulated time source; signals on a real process."""

import io
import os
import signal
import subprocess
import sys
import textwrap

import pytest

from kinetrope_tools.live import FrameDriver, LiveClock

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class Sim:
    """Simulated time: sleeping advances it (long sleeps by any oversleep asked too), and
    so does reading it, a little, as a real clock does."""

    def __init__(self):
        self.t = 50.0
        self.oversleep = 0.0

    def time(self):
        self.t += 1e-6
        return self.t

    def sleep(self, seconds):
        self.t += seconds + (self.oversleep if seconds > 0.001 else 0.0)


class Recorder:
    name = "recorder"

    def __init__(self, fail=None):
        self.frames = []
        self.fail = fail
        self.errors = 0
        self.last_error = None

    def send(self, frame):
        if self.fail == "raise":
            raise OSError("unreachable")
        if self.fail == "false":
            self.errors += 1
            self.last_error = OSError("network is unreachable")
            return False
        self.frames.append(dict(frame))
        return True


class Rig:
    def frame(self, position):
        return {1: int(position).to_bytes(4, "little") * 128}

    def home_frame(self):
        return {1: bytes(512)}


def driver(sim, outputs, render=None, **options):
    clock = LiveClock(120, time=sim.time)  # 128 pips a second
    return FrameDriver(44, render or Rig().frame, outputs, clock, time=sim.time, sleep=sim.sleep, **options)


# (frame at which render is slow, how many frame periods it takes, oversleep) -> dropped, late
@pytest.mark.parametrize(
    "slow_frame, cost, oversleep, dropped, late",
    [
        (None, 0.0, 0.0, 0, 0),
        (10, 0.5, 0.0, 0, 0),  # slow, but done before the next slot
        (10, 1.2, 0.0, 0, 1),  # the next frame goes out late
        (10, 2.5, 0.0, 1, 1),  # one slot missed whole: dropped
        (10, 7.9, 0.0, 6, 1),
        (None, 0.0, 0.0015, 0, 0),  # oversleeping the coarse sleep is absorbed by the margin
    ],
)
def test_slots_drops_and_late_frames(slow_frame, cost, oversleep, dropped, late):
    sim = Sim()
    sim.oversleep = oversleep
    positions = []

    def render(position):
        positions.append(position)
        if len(positions) == slow_frame:
            sim.t += cost / 44
        return Rig().frame(position)

    out = Recorder()
    run = driver(sim, [out], render, home=Rig().home_frame)
    stats = run.run(seconds=2.0)
    assert (stats.dropped, stats.late) == (dropped, late)
    assert stats.frames == 88 - dropped == len(positions)
    assert len(out.frames) == stats.frames + 1  # and the home frame
    assert out.frames[-1] == {1: bytes(512)}
    gaps = [b - a for a, b in zip(positions, positions[1:])]
    assert min(gaps) > 0
    assert sum(gaps) == pytest.approx(positions[-1] - positions[0])
    if late == 0:
        assert max(gaps) - min(gaps) < 0.05 and stats.jitter_p99 < 0.001


@pytest.mark.parametrize(
    "home, expected",
    [(None, {1: bytes(512)}), ({2: b"\x01" * 512}, {2: b"\x01" * 512}),
     (lambda: {3: b"\x02" * 512}, {3: b"\x02" * 512}), (False, None)],
)
def test_the_last_frame(home, expected):
    sim = Sim()
    out = Recorder()
    driver(sim, [out], home=home).run(frames=5)
    assert len(out.frames) == (5 if home is False else 6)
    if home is not False:
        assert out.frames[-1] == expected


def test_the_last_frame_follows_a_failing_render():
    sim = Sim()
    out = Recorder()

    def render(position):
        raise RuntimeError("bad group")

    run = FrameDriver(44, render, [out], LiveClock(time=sim.time), home={1: bytes(512)}, time=sim.time,
                      sleep=sim.sleep)
    with pytest.raises(RuntimeError, match="bad group"):
        run.run(seconds=1)
    assert out.frames == [{1: bytes(512)}]


@pytest.mark.parametrize("fail", ["false", "raise"])
def test_failed_sends_are_counted_reported_once_a_second_and_the_show_goes_on(fail):
    sim = Sim()
    good, bad = Recorder(), Recorder(fail)
    report = io.StringIO()
    stats = driver(sim, [bad, good], errors=report).run(seconds=3.5)
    assert stats.frames == 154 and len(good.frames) == 155
    assert stats.send_errors == 155
    lines = report.getvalue().splitlines()
    assert len(lines) == 4  # at 0, 1, 2 and 3 seconds
    assert all("recorder" in line and "failed" in line for line in lines)
    assert "network is unreachable" in lines[0] or fail == "raise"


@pytest.mark.parametrize("bad", [{"fps": 0}, {"fps": -44}, {"fps": float("nan")}, {"late_after": "x"}])
def test_bad_settings(bad):
    options = {"fps": 44, **bad}
    fps = options.pop("fps")
    with pytest.raises(ValueError):
        FrameDriver(fps, Rig().frame, [], LiveClock(), **options)


SHOW = textwrap.dedent(
    """
    import sys
    from kinetrope_tools.live import FrameDriver, LiveClock

    class Out:
        def __init__(self):
            self.sent = 0
        def send(self, frame):
            self.sent += 1
            if self.sent == 3:
                print("running", flush=True)
            self.last = frame
            return True

    class Rig:
        def frame(self, position):
            return {1: b"\\x07" * 512}
        def home_frame(self):
            return {1: b"\\x00" * 512}

    out = Out()
    stats = FrameDriver(44, Rig().frame, [out], LiveClock()).run(seconds=20)
    print("stopped", stats.frames, out.last[1][:4].hex(), flush=True)
    """
)


@pytest.mark.parametrize(
    "number, inherited_ignored",
    [(signal.SIGINT, False), (signal.SIGINT, True), (signal.SIGTERM, False)],
)
def test_signals_stop_the_show_after_the_home_frame(number, inherited_ignored):
    def ignore_sigint():
        signal.signal(signal.SIGINT, signal.SIG_IGN)

    child = subprocess.Popen(
        [sys.executable, "-c", SHOW], cwd=ROOT, stdout=subprocess.PIPE, text=True,
        preexec_fn=ignore_sigint if inherited_ignored else None,
    )
    try:
        assert child.stdout.readline().strip() == "running"
        child.send_signal(number)
        out, _ = child.communicate(timeout=10)
    finally:
        child.kill()
    words = out.split()
    assert child.returncode == 0
    assert words[0] == "stopped" and int(words[1]) < 20 * 44 and words[2] == "00000000"
