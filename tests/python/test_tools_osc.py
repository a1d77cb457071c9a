"""The OSC bridge, end to end against a python-osc server on 127.0.0.1."""

import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

import pytest

import kinetrope

pytest.importorskip("pythonosc", reason="python-osc is not installed (the osc extra)")

from pythonosc.dispatcher import Dispatcher  # noqa: E402
from pythonosc.osc_server import ThreadingOSCUDPServer  # noqa: E402

from kinetrope_tools.osc import Show, run  # noqa: E402
from kinetrope_tools.tempo import BeatClock  # noqa: E402

MOTIONS = ["bounce", "helix", kinetrope.catalogue()[-1]["name"]]


class Receiver:
    """A python-osc UDP server on an ephemeral loopback port, in a thread."""

    def __init__(self):
        self.messages, self.arrived = [], threading.Event()
        dispatcher = Dispatcher()
        dispatcher.set_default_handler(lambda address, *args: (self.messages.append((address, args)),
                                                                self.arrived.set()))
        self.server = ThreadingOSCUDPServer(("127.0.0.1", 0), dispatcher)
        self.target = f"127.0.0.1:{self.server.server_address[1]}"
        self.thread = threading.Thread(target=self.server.serve_forever, args=(0.05,), daemon=True)
        self.thread.start()

    def settle(self, count, timeout=10.0):
        """The messages, once `count` have arrived or the timeout has passed."""
        deadline = time.monotonic() + timeout
        while len(self.messages) < count and time.monotonic() < deadline:
            time.sleep(0.01)
        return list(self.messages)

    def close(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(timeout=5)


@pytest.fixture
def receiver():
    server = Receiver()
    yield server
    server.close()


def bridge(*args, **options):
    return subprocess.Popen([sys.executable, "-m", "kinetrope_tools.osc", *map(str, args)],
                            cwd=tempfile.gettempdir(), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            **options)


def as_float32(value):
    return struct.unpack(">f", struct.pack(">f", value))[0]


def assert_carries_the_module_values(messages, prefix="/kinetrope"):
    for address, args in messages:
        assert address.startswith(prefix + "/")
        motion = address[len(prefix) + 1:]
        pip, *position = args
        assert isinstance(pip, int)
        assert position == [as_float32(v) for v in kinetrope.sample(motion, pip).as_tuple()], (motion, pip)


def test_bounded_run_sends_each_motion_every_frame(receiver):
    frames = 8
    process = bridge(*MOTIONS, "--frames", frames, "--fps", 100, "--bpm", 480, "--to", receiver.target)
    _, stderr = process.communicate(timeout=60)
    assert process.returncode == 0, stderr
    assert f"sent {frames} frames of {len(MOTIONS)} motions" in stderr
    messages = receiver.settle(frames * len(MOTIONS))
    assert len(messages) == frames * len(MOTIONS)
    assert_carries_the_module_values(messages)
    for motion in MOTIONS:
        pips = [args[0] for address, args in messages if address == f"/kinetrope/{motion}"]
        assert len(pips) == frames and pips == sorted(pips)
    # A frame's motions share its pip, in the order given.
    assert [address for address, _ in messages[: len(MOTIONS)]] == [f"/kinetrope/{m}" for m in MOTIONS]
    assert len({args[0] for _, args in messages[: len(MOTIONS)]}) == 1


def test_seconds_and_prefix(receiver):
    process = bridge("circle", "--seconds", 0.3, "--fps", 20, "--prefix", "/show/", "--to", receiver.target)
    _, stderr = process.communicate(timeout=60)
    assert process.returncode == 0, stderr
    messages = receiver.settle(6)
    assert 1 <= len(messages) <= 6
    assert all(address == "/show/circle" for address, _ in messages)
    assert_carries_the_module_values(messages, prefix="/show")


@pytest.mark.parametrize(
    "args, message",
    [
        (["bounce", "no_such_motion"], "error: Unknown kinetrope: no_such_motion"),
        (["bounce", "--bpm", "0"], "must be positive"),
        (["bounce", "--frames", "2", "--seconds", "1"], "not allowed with argument"),
        (["bounce", "--to", "nowhere"], "not HOST:PORT"),
        (["bounce", "--prefix", "show"], "--prefix must start with '/'"),
    ],
)
def test_refusals_exit_2_before_anything_is_sent(receiver, args, message):
    process = bridge(*args, "--to", receiver.target) if "--to" not in args else bridge(*args)
    _, stderr = process.communicate(timeout=60)
    assert process.returncode == 2
    assert message in stderr
    if "Unknown" in message:
        assert stderr.strip() == message  # one line
    time.sleep(0.2)
    assert receiver.messages == []


def test_ctrl_c_ends_an_endless_run_cleanly(receiver):
    process = bridge("sway", "--fps", 50, "--to", receiver.target)
    try:
        assert receiver.arrived.wait(timeout=30), "nothing arrived"
        process.send_signal(signal.SIGINT)
        _, stderr = process.communicate(timeout=30)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    assert process.returncode == 0
    assert "Traceback" not in stderr and "frames of 1 motions" in stderr
    assert_carries_the_module_values(receiver.messages)


class FakeTime:
    def __init__(self):
        self.now = 0
        self.sleeps = []

    def __call__(self):
        return self.now

    def sleep(self, seconds):
        self.sleeps.append(seconds)
        self.now += round(seconds * 1e9)


class SlowClient:
    """Takes `cost` seconds of the fake clock to send each message."""

    def __init__(self, clock, cost):
        self.clock, self.cost, self.sent = clock, cost, []

    def send(self, message):
        self.sent.append((self.clock.now, message.address, message.params))
        self.clock.now += round(self.cost * 1e9)


@pytest.mark.parametrize("cost, due", [(0.001, [0, 100, 200, 300, 400]), (0.25, [0, 300, 600, 900, 1200])])
def test_frames_keep_their_times_and_late_ones_are_dropped(cost, due):
    clock = FakeTime()
    client = SlowClient(clock, cost)
    sent = run(Show(["bounce"], "/k", fps=10, frames=5), client, BeatClock(60, time_ns=clock), clock, clock.sleep)
    assert sent == 5
    assert [round(at / 1e6) for at, _, _ in client.sent] == due  # milliseconds
    assert all(s > 0 for s in clock.sleeps)
    assert [params[0] for _, _, params in client.sent] == [ms * 64 // 1000 for ms in due]  # one beat a second
