"""MidiClockSource: a sender process plays MIDI beat clock over a mido
socket port on 127.0.0.1; the clock must follow it closely and never step
back. The transport messages are checked on messages fed by hand."""

import json
import os
import socket
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

mido = pytest.importorskip("mido", reason="the 'midi' extra (mido) is not installed")
import mido.sockets  # noqa: E402

from kinetrope_tools.live import LiveClock, MidiClockSource  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Start, then ticks on time (a sleep, then a spin for the last instant) at
# each tempo of the plan in turn, then Stop; prints when each tick was due.
SENDER = textwrap.dedent(
    """
    import json, os, sys, time
    import mido, mido.sockets

    PLAN = [(128.0, 2.5), (140.0, 2.5)]
    try:  # keep time as a clock device does, where the system allows it
        os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(10))
    except (AttributeError, OSError):
        pass
    server = mido.sockets.PortServer("127.0.0.1", int(sys.argv[1]))
    print("listening", flush=True)
    out = server.accept()
    due = time.monotonic() + 0.3
    out.send(mido.Message("start"))
    ticks, late = [], []
    for bpm, seconds in PLAN:
        for _ in range(round(seconds * bpm / 60 * 24)):
            left = due - time.monotonic()
            if left > 0.002:
                time.sleep(left - 0.0015)
            while time.monotonic() < due:
                pass
            out.send(mido.Message("clock"))
            ticks.append(due)
            late.append(time.monotonic() - due)
            due += 60 / bpm / 24
    out.send(mido.Message("stop"))
    print(json.dumps({"ticks": ticks, "late": late}), flush=True)
    out.close()
    server.close()
    """
)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def test_the_clock_follows_midi_clock_within_2_ms_and_never_steps_back():
    sender = subprocess.Popen([sys.executable, "-c", SENDER, str(free_port())], stdout=subprocess.PIPE, text=True)
    port = None
    try:
        assert sender.stdout.readline().strip() == "listening"
        port = mido.sockets.connect("127.0.0.1", int(sender.args[-1]))
        clock = LiveClock(100.0, running=False)
        samples = []
        with MidiClockSource(clock, port, realtime=True) as midi:
            give_up = time.monotonic() + 15
            while sender.poll() is None and time.monotonic() < give_up:
                now = time.monotonic()
                samples.append((now, clock.position(now), midi.playing))
                time.sleep(0.003)
            while midi.playing and time.monotonic() < give_up:  # the Stop may still be on its way
                time.sleep(0.01)
        sent = json.loads(sender.stdout.read())
        ticks, late = np.array(sent["ticks"]), np.array(sent["late"])
    finally:
        sender.kill()
        if port is not None:
            port.close()
    assert sender.wait() == 0
    samples = np.array(samples)
    playing = samples[(samples[:, 0] > ticks[0]) & (samples[:, 0] < ticks[-1])]
    positions = np.arange(len(ticks)) * 64 / 24
    truth = np.interp(playing[:, 0], ticks, positions)
    pips_per_second = np.interp(playing[:, 0], ticks[1:], 64 / 24 / np.diff(ticks))
    error_ms = (playing[:, 1] - truth) / pips_per_second * 1000

    assert np.all(np.diff(samples[:, 1]) >= 0), "the clock stepped back"
    change = ticks[round(2.5 * 128 / 60 * 24)]
    locked = ((playing[:, 0] > ticks[0] + 60 / 128) & (playing[:, 0] < change)) | (playing[:, 0] > change + 60 / 140)
    p99 = np.percentile(np.abs(error_ms[locked]), 99)
    if os.environ.get("SHOW_ERRORS"):
        print(np.round(error_ms[::10], 2), np.round(playing[::10, 0] - ticks[0], 2))
    print(f"MIDI clock: position error p99 {p99:.3f} ms, worst {np.abs(error_ms[locked]).max():.3f} ms; "
          f"ticks sent late by p99 {np.percentile(late, 99) * 1e3:.3f} ms")
    assert p99 <= 2.0
    assert clock.bpm == pytest.approx(140.0, rel=0.02)
    assert not clock.running


class Hand:
    def __init__(self):
        self.t = 10.0

    def __call__(self):
        return self.t


def play(source, hand, script):
    """Feeds ``script``: message names (with an argument for songpos), or a
    number of ticks at 120 BPM (each a 48th of a second apart)."""
    for step in script:
        if isinstance(step, int):
            for _ in range(step):
                hand.t += 0.5 / 24
                source.handle(mido.Message("clock"), hand.t)
        elif isinstance(step, tuple):
            source.handle(mido.Message(step[0], pos=step[1]), hand.t)
        else:
            source.handle(mido.Message(step), hand.t)


# script -> (position just after the last tick, running)
@pytest.mark.parametrize(
    "script, position, running",
    [
        (["start"], 0.0, False),  # held at 0 until the first tick
        (["start", 1], 0.0, True),  # the first tick after Start is pip 0
        (["start", 25], 64.0, True),  # a beat later
        (["start", 25, "stop"], 64.0, False),
        (["start", 25, "stop", 30], 64.0, False),  # ticks while stopped move nothing
        (["start", 25, "stop", "continue", 1], 64.0 + 64 / 24, True),  # on from the next tick
        (["start", 25, "stop", ("songpos", 8), "continue", 1], 128.0, True),  # 8 sixteenths
        (["start", 25, ("songpos", 8)], 64.0, True),  # ignored while playing
        ([("songpos", 4), "continue", 13], 64.0 + 32.0, True),
        (["start", 49, "start", 1], 0.0, True),  # Start again: back to 0
    ],
)
def test_transport_messages(script, position, running):
    hand = Hand()
    clock = LiveClock(120.0, running=False, time=hand)
    source = MidiClockSource(clock, port=object())
    play(source, hand, script)
    assert clock.position() == pytest.approx(position, abs=1e-6)
    assert clock.running is running


def test_the_line_follows_a_tempo_change_and_shrugs_off_late_ticks():
    """Ticks with one-sided delays (mostly small, some of several ms), at
    120 then 150 BPM: the tempo is right soon after the change, and the line
    sits through the earliest arrivals, not the average ones."""
    rng = np.random.default_rng(7)
    hand = Hand()
    clock = LiveClock(100.0, running=False, time=hand)
    source = MidiClockSource(clock, port=object())
    source.handle(mido.Message("start"), hand.t)
    due = hand.t + 0.01
    estimates = []
    for bpm in (120.0, 150.0):
        for _ in range(24 * 6):
            delay = rng.exponential(0.0003) + (rng.random() < 0.1) * rng.uniform(0.002, 0.008)
            hand.t = due + delay
            source.handle(mido.Message("clock"), hand.t)
            estimates.append(source.bpm)
            due += 60 / bpm / 24
    assert estimates[24 * 6 - 1] == pytest.approx(120.0, rel=0.002)
    assert estimates[24 * 6 + 24] == pytest.approx(150.0, rel=0.01)  # a beat after the change
    assert estimates[-1] == pytest.approx(150.0, rel=0.002)
    last_due = due - 60 / 150 / 24
    assert abs(source.line.at(source.line.ticks[-1][0]) - last_due) < 0.0005


@pytest.mark.parametrize("module, extra, name", [("aalink", "link", "LinkSource"), ("mido", "midi", "MidiClockSource")])
def test_a_missing_extra_is_an_import_error_naming_it(module, extra, name):
    script = (f"import sys; sys.modules[{module!r}] = None\n"
              "import kinetrope_tools.live as live\n"
              "live.LiveClock(); live.FrameDriver\n"
              f"try:\n    getattr(live, {name!r})\nexcept ImportError as error:\n    print(error)\n")
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, cwd=ROOT, timeout=60)
    assert done.returncode == 0, done.stderr
    assert f"'{extra}' extra" in done.stdout and f"kinetrope[{extra}]" in done.stdout


def test_a_master_that_goes_away_leaves_the_clock_running():
    server = mido.sockets.PortServer("127.0.0.1", 0)
    address = server._socket.getsockname()
    client = mido.sockets.connect(*address)
    connection = server.accept()
    clock = LiveClock(120.0, running=False)
    with MidiClockSource(clock, client) as midi:
        connection.send(mido.Message("start"))
        due = time.monotonic()
        for _ in range(30):  # on a schedule, so that a late wake-up does not slow the tempo
            connection.send(mido.Message("clock"))
            due += 0.5 / 24
            time.sleep(max(due - time.monotonic(), 0.0))
        connection._socket.shutdown(socket.SHUT_RDWR)  # mido's close leaves the connection up
        connection.close()
        server.close()
        midi._thread.join(5)
        assert not midi._thread.is_alive()
    assert clock.running and clock.bpm == pytest.approx(120.0, rel=0.05)
