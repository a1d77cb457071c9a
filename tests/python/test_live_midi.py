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
    assert clock.bpm == pytest.approx(140.0, rel=0.01)
    assert not clock.running
