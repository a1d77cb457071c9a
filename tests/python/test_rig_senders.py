"""Art-Net and sACN on the wire: packets read back on loopback, the send
contract, and a real lighting daemon (OLA's olad) receiving a shortened show
inside a network namespace of its own."""

import socket
import subprocess
import sys
import time
from pathlib import Path

import pytest
from olad_support import (SACN_ADDRESS, network_up, olad_config, recorded_frames, recorded_in_namespace, running_olad,
                          unavailable, wait_for, without_preamble)

from kinetrope_tools.rig import ArtNetSender, Fixture, Rig, SacnSender

FPS = 44
SECONDS = 3  # the 30-second run, shortened
FRAMES = FPS * SECONDS


def listener():
    receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    receiver.bind(("127.0.0.1", 0))
    receiver.settimeout(5.0)
    return receiver


FRAMES_ON_THE_WIRE = [
    {1: bytes(range(256)) * 2},
    {0: b"\x01\x02\x03", 17: bytes(512), 32767: b"\xff" * 511},  # odd lengths are padded for Art-Net
    {300: b"\x07" * 24, 5: b"\x09" * 512},
]


@pytest.mark.parametrize("frame", FRAMES_ON_THE_WIRE)
def test_artnet_packets(frame):
    with listener() as receiver, ArtNetSender("127.0.0.1", receiver.getsockname()[1]) as sender:
        for sequence in (1, 2):
            assert sender.send(frame)
            for universe in sorted(frame):
                packet = receiver.recv(1024)
                length = int.from_bytes(packet[16:18], "big")
                assert packet[:12] == b"Art-Net\0\x00\x50\x00\x0e"
                assert (packet[12], packet[14] | packet[15] << 8) == (sequence, universe)
                assert length % 2 == 0 and packet[18:18 + len(frame[universe])] == frame[universe]
                assert len(packet) == 18 + length and packet[18 + len(frame[universe]):] in (b"", b"\0")


def test_artnet_sequence_runs_1_to_255_and_skips_0():
    with listener() as receiver, ArtNetSender("127.0.0.1", receiver.getsockname()[1]) as sender:
        seen = []
        for _ in range(257):
            sender.send({1: b"\0\0"})
            seen.append(receiver.recv(64)[12])
    assert seen == [*range(1, 256), 1, 2]


@pytest.mark.parametrize("frame", FRAMES_ON_THE_WIRE[::2])
def test_sacn_packets_read_back_by_the_library(frame):
    pytest.importorskip("sacn")
    from sacn.messages.data_packet import DataPacket
    with listener() as receiver, SacnSender("127.0.0.1", receiver.getsockname()[1], source_name="desk",
                                            priority=150) as sender:
        for sequence in (0, 1):
            assert sender.send(frame)
            for universe in sorted(frame):
                packet = DataPacket.make_data_packet(receiver.recv(1024))
                assert (packet.universe, packet.sequence, packet.sourceName, packet.priority) == (
                    universe, sequence, "desk", 150)
                assert bytes(packet.dmxData) == frame[universe].ljust(512, b"\0")


class RefusingSocket:
    """Stands in for a socket whose network has gone away."""

    def __init__(self, failures):
        self.failures, self.sent = failures, 0

    def sendto(self, data, destination):
        if self.failures:
            self.failures -= 1
            raise OSError(101, "Network is unreachable")
        self.sent += 1

    def close(self):
        pass


@pytest.mark.parametrize("make", [ArtNetSender, SacnSender])
def test_a_failed_send_is_counted_never_raised(make):
    if make is SacnSender:
        pytest.importorskip("sacn")
    with make("127.0.0.1") as sender:
        sender._socket.close()
        sender._socket = RefusingSocket(failures=2)
        results = [sender.send({1: bytes(512), 2: bytes(512)}) for _ in range(3)]
        assert results == [False, False, True] and sender.errors == 2
        assert isinstance(sender.last_error, OSError) and sender._socket.sent == 2


@pytest.mark.parametrize("make, universe", [(ArtNetSender, 32768), (ArtNetSender, -1), (SacnSender, 0),
                                            (SacnSender, 64000)])
def test_universes_a_protocol_cannot_carry_are_refused(make, universe):
    if make is SacnSender:
        pytest.importorskip("sacn")
    with make("127.0.0.1") as sender, pytest.raises(ValueError, match="universe must be an int"):
        sender.send({universe: bytes(512)})


# ---------------------------------------------------------------- a real receiver


def show_rig():
    """16 moving heads chasing a circle and a 64-pixel bar pulsing to a roll."""
    head = Fixture("Head", ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", ("shutter", 255)])
    pixel = Fixture("Pixel", ["red", "green", "blue"])
    rig = Rig()
    rig.group("heads", head, 16, universe=1, address=1, motion="circle", pan_swing=120, tilt_swing=60,
              dimmer=1.0)
    rig.group("bar", pixel, 64, universe=2, address=1, motion="single_stroke_roll", red=("y", 0.0, -0.72),
              green=("x", -1.0, 1.0), blue=0.1)
    return rig


def show_positions():
    """128 BPM at 44 frames a second, in pips."""
    return [frame * 128 / 60 * 64 / FPS for frame in range(FRAMES)]


def make_sender(protocol):
    return ArtNetSender("127.0.0.1") if protocol == "artnet" else SacnSender(SACN_ADDRESS)


def namespace_run(config, recording, protocol):
    """Inside the new network namespace, as root: olad receiving universes 1
    and 2 over the protocol with a recorder on both, then the show sent at
    44 frames a second."""
    network_up(protocol)
    rig, positions = show_rig(), show_positions()
    with make_sender(protocol) as sender, running_olad(config, recording, (1, 2), sender, protocol):
        start = time.perf_counter()
        for number, position in enumerate(positions):
            delay = start + number / FPS - time.perf_counter()
            if delay > 0:
                time.sleep(delay)
            assert sender.send(rig.frame(position))
        assert sender.errors == 0
        wait_for(lambda: sum(map(len, recorded_frames(recording).values())) >= 2 * FRAMES, 30,
                 "the last frames")


@pytest.mark.parametrize("protocol", ["artnet", "sacn"])
def test_olad_receives_every_frame_byte_for_byte(protocol):
    if protocol == "sacn":
        pytest.importorskip("sacn")
    reason = unavailable(protocol)
    if reason:
        pytest.skip(reason)
    config = olad_config(protocol)
    recording = config / "show.rec"
    received = recorded_in_namespace(f"import test_rig_senders as t; t.namespace_run({str(config)!r}, "
                                     f"{str(recording)!r}, {protocol!r})", config, recording)
    rig = show_rig()
    expected = [rig.frame(position) for position in show_positions()]
    for universe in (1, 2):
        frames = without_preamble(received[universe])
        assert len(frames) == FRAMES, f"universe {universe}: {len(frames)} of {FRAMES} frames arrived"
        wrong = [number for number, frame in enumerate(expected) if frames[number] != frame[universe]]
        assert wrong == [], f"universe {universe}: frames {wrong[:10]} differ"


def test_without_the_extra_only_sacn_asks_for_it():
    script = ("import sys\nsys.modules['sacn'] = None\nfrom kinetrope_tools.rig import ArtNetSender, SacnSender\n"
              "ArtNetSender().close()\ntry:\n    SacnSender()\nexcept ImportError as error:\n    print(error)\n")
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60,
                            cwd=Path(__file__).resolve().parents[2])
    assert result.returncode == 0, result.stderr
    assert "pip install 'kinetrope[rig]'" in result.stdout
