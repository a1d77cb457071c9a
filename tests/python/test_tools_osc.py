"""The OSC bridge, end to end against a python-osc server on 127.0.0.1."""

import os
import re
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

import pytest

import kinetrope

pytest.importorskip("pythonosc", reason="python-osc is not installed (the osc extra)")

from pythonosc.dispatcher import Dispatcher  # noqa: E402
from pythonosc.osc_server import ThreadingOSCUDPServer  # noqa: E402

from kinetrope_tools.osc import Sender, SendErrors, Show, run  # noqa: E402
from kinetrope_tools.tempo import BeatClock  # noqa: E402

MOTIONS = ["bounce", "helix", kinetrope.catalogue()[-1]["name"]]


class Receiver:
    """A python-osc UDP server on an ephemeral loopback port, in a thread."""

    def __init__(self):
        self.messages, self.arrived = [], threading.Event()
        dispatcher = Dispatcher()
        dispatcher.set_default_handler(self.take)
        self.server = ThreadingOSCUDPServer(("127.0.0.1", 0), dispatcher)
        self.target = f"127.0.0.1:{self.server.server_address[1]}"
        self.thread = threading.Thread(target=self.server.serve_forever, args=(0.05,), daemon=True)
        self.thread.start()

    def take(self, address, *args):
        """Keeps a message. It returns None: python-osc sends back whatever a handler returns."""
        self.messages.append((address, args))
        self.arrived.set()

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


# The bridge runs from the checkout being tested (its package joins the installed one, as in-process).
CHECKOUT = dict(os.environ, PYTHONPATH=str(Path(__file__).resolve().parents[2]))


def bridge(*args, **options):
    return subprocess.Popen([sys.executable, "-m", "kinetrope_tools.osc", *map(str, args)],
                            cwd=tempfile.gettempdir(), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            env=CHECKOUT, **options)


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
    assert "Traceback" not in stderr and re.match(r"sent \d+ frames? of 1 motion to", stderr)
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


def test_a_clock_past_the_last_pip_ends_the_show():
    clock = FakeTime()
    client = SlowClient(clock, 0.0)
    beat_clock = BeatClock(60, start_pip=2**31 - 64, time_ns=clock)
    with pytest.raises(OverflowError, match="pip 2147483648"):
        run(Show(["bounce"], "/k", fps=1, frames=5), client, beat_clock, clock, clock.sleep)
    assert [params[0] for _, _, params in client.sent] == [2**31 - 64]


@pytest.mark.parametrize(
    "args, message",
    [
        (["circel"], "error: Unknown kinetrope: circel (did you mean: circle"),
        (["circle", "--bpm", "1e-320"], "--bpm: outside the usable tempo range: '1e-320'"),
        (["circle", "--bpm", "1e309"], "--bpm: must be positive"),
        (["circle", "--fps", "1e-300"], "--fps: too slow to count in nanoseconds: '1e-300'"),
        (["circle", "--frames", "1.5"], "--frames: not a whole number: '1.5'"),
        (["circle", "--to", "127.0.0.1:65536"], "not HOST:PORT"),
        ([os.fsdecode(b"ci\xffrcle")], "error: motion name 'ci\\xffrcle' is not UTF-8 text"),
    ],
)
def test_each_bad_argument_is_one_line_and_exit_2_before_the_first_frame(receiver, args, message):
    process = bridge(*args, "--to", receiver.target) if "--to" not in args else bridge(*args)
    _, stderr = process.communicate(timeout=60)
    assert process.returncode == 2
    assert len(stderr.splitlines()) == 1 and message in stderr, stderr
    time.sleep(0.2)
    assert receiver.messages == []


def isolated(*args):
    """The bridge in a network namespace of its own, whose loopback is down:
    no name resolves and no address is reachable, and nothing leaves the machine."""
    probe = subprocess.run(["unshare", "-n", "true"], capture_output=True)
    if probe.returncode != 0:
        pytest.skip("cannot make a network namespace here (unshare -n)")
    return subprocess.run(["unshare", "-n", sys.executable, "-m", "kinetrope_tools.osc", *args],
                          cwd=tempfile.gettempdir(), capture_output=True, text=True, timeout=60, env=CHECKOUT)


@pytest.mark.parametrize("target, message", [
    ("no-such-host.invalid:9000", "error: --to no-such-host.invalid:9000: cannot resolve 'no-such-host.invalid'"),
    ("127.0.0.1:9000", "error: --to 127.0.0.1:9000: cannot send there (Network is unreachable)"),
])
def test_a_target_that_cannot_be_reached_is_one_line_and_exit_2(target, message):
    done = isolated("circle", "--frames", "3", "--to", target)
    assert done.returncode == 2
    assert done.stderr.splitlines() == [done.stderr.strip()] and message in done.stderr, done.stderr


def ignore_sigint():
    signal.signal(signal.SIGINT, signal.SIG_IGN)


@pytest.mark.parametrize("number", [signal.SIGINT, signal.SIGTERM], ids=["SIGINT", "SIGTERM"])
@pytest.mark.parametrize("started", [None, ignore_sigint], ids=["foreground", "background job"])
def test_a_signal_ends_an_endless_show_cleanly_however_it_was_started(receiver, number, started):
    process = bridge("sway", "--fps", 50, "--to", receiver.target, preexec_fn=started)
    try:
        assert receiver.arrived.wait(timeout=30), "nothing arrived"
        process.send_signal(number)
        _, stderr = process.communicate(timeout=30)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    assert process.returncode == 0
    assert re.fullmatch(r"sent \d+ frames? of 1 motion to 127.0.0.1:\d+\n", stderr), stderr


class Receiving:
    """A plain UDP socket on a fixed loopback port that can go away and come back."""

    def __init__(self):
        self.socket = None
        self.port = self.open(0)

    def open(self, port):
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.socket.bind(("127.0.0.1", port))
        self.socket.setblocking(False)
        return self.socket.getsockname()[1]

    def close(self):
        self.socket.close()

    def count(self):
        arrived = 0
        while True:
            try:
                self.socket.recv(2048)
            except BlockingIOError:
                return arrived
            arrived += 1


class Cable:
    """The sender, with the receiver pulled at frame 10 and back at frame 20."""

    def __init__(self, receiving, sender):
        self.receiving, self.sender, self.sends, self.before = receiving, sender, 0, 0

    def send(self, message):
        if self.sends == 10:
            self.before = self.receiving.count()
            self.receiving.close()
        if self.sends == 20:
            self.receiving.open(self.receiving.port)
        self.sends += 1
        self.sender.send(message)


def test_a_show_rides_through_a_receiver_that_goes_away_and_comes_back(capsys):
    receiving = Receiving()
    sender = Sender("127.0.0.1", receiving.port)
    clock, errors = FakeTime(), SendErrors()
    cable = Cable(receiving, sender)
    try:
        sent = run(Show(["bounce"], "/k", fps=4, frames=30), cable, BeatClock(60, time_ns=clock), clock, clock.sleep,
                   errors)
        after = receiving.count()
    finally:
        receiving.close()
        sender.close()
    assert sent == 30 and cable.sends == 30
    assert cable.before == 10 and after == 10
    assert 1 <= errors.total <= 10
    lines = capsys.readouterr().err.splitlines()
    assert lines == errors.lines and 1 <= len(lines) <= 3  # at most one a second of the 2.5 s without a receiver
    assert all("failed (Connection refused); the show goes on" in line for line in lines)
