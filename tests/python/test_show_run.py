"""Running a show file: the frames and messages that reach a receiver on this
machine, the last frame at home, and the OSC output's messages."""

import io
import math
import os
import signal
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

import numpy as np
import pytest

from kinetrope_tools.show import build_show, read

pytest.importorskip("pythonosc")
from pythonosc.osc_message import OscMessage  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
EXAMPLE = ROOT / "examples" / "show.toml"


def receiver():
    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.bind(("127.0.0.1", 0))
    listener.settimeout(5.0)
    return listener


def drain(listener, seconds=0.3):
    """Every datagram waiting, and whatever arrives in the next ``seconds``."""
    listener.settimeout(seconds)
    packets = []
    try:
        while len(packets) < 100_000:
            packets.append(listener.recv(2048))
    except socket.timeout:
        pass
    return packets


def show_file(tmp_path, outputs, clock='source = "internal"\nbpm = 128'):
    text = EXAMPLE.read_text().split("[outputs.artnet]")[0].replace('source = "internal"            # or "tap", '
                                                                    '"link", "midi" (with port = "...")\nbpm = 128',
                                                                    clock)
    (tmp_path / "moving-head.toml").write_text((EXAMPLE.parent / "moving-head.toml").read_text())
    path = tmp_path / "show.toml"
    path.write_text(text + outputs)
    return path


@pytest.mark.parametrize("position", [0.0, 17.25, 100.5, 4095.999])
def test_osc_output_sends_every_fixture_point_in_the_bridges_form(tmp_path, position):
    from kinetrope_tools.show.build import open_output

    with receiver() as listener:
        port = listener.getsockname()[1]
        show = build_show(read(show_file(tmp_path, f'[outputs.desk]\ntype = "osc"\nport = {port}\nprefix = "/rig/"\n')))
        output = open_output(show.spec.outputs["desk"], show)
        assert output.send(show.frame(position)) and output.send(show.home_frame())
        messages = [OscMessage(packet) for packet in drain(listener)]
        output.close()
    groups = show.rig.groups
    expected = [(f"/rig/{name}/{n + 1}", point) for name, group in groups.items()
                for n, point in enumerate(group.points(position))]
    assert [message.address for message in messages] == [address for address, _ in expected]  # home sends none
    for message, (_, point) in zip(messages, expected):
        assert message.params[0] == math.floor(position)
        assert message.params[1:] == pytest.approx(list(np.float32(point)), abs=0, rel=0)


def test_osc_output_counts_a_failed_send_and_goes_on(tmp_path):
    from kinetrope_tools.show.build import open_output

    show = build_show(read(show_file(tmp_path, '[outputs.desk]\ntype = "osc"\n')))
    output = open_output(show.spec.outputs["desk"], show)
    output.client.close()
    assert output.send(show.frame(1.0)) is False and output.send(show.frame(2.0)) is False
    assert output.errors == 2 and isinstance(output.last_error, OSError)


def slots_by_universe(kind, packets):
    """{universe: [slots, ...]} from Art-Net or sACN packets, in arrival order."""
    frames = {}
    for packet in packets:
        if kind == "artnet":
            assert packet[:12] == b"Art-Net\0\x00\x50\x00\x0e"
            universe, slots = int.from_bytes(packet[14:16], "little"), packet[18:]
        else:
            from sacn.messages.data_packet import DataPacket

            message = DataPacket.make_data_packet(packet)
            universe, slots = message.universe, bytes(message.dmxData)
        frames.setdefault(universe, []).append(slots)
    return frames


@pytest.mark.parametrize("kind, share, universes", [("artnet", None, [1, 2]), ("artnet", "2", [2]),
                                                     ("sacn", "1-1", [1])])
def test_a_run_sends_the_share_on_time_and_ends_at_home(tmp_path, kind, share, universes):
    pytest.importorskip("kinetrope_tools.live")
    if kind == "sacn":
        pytest.importorskip("sacn")
    from kinetrope_tools.show.cli import main

    with receiver() as listener:
        port = listener.getsockname()[1]
        path = show_file(tmp_path, f"[outputs.{kind}]\nport = {port}\n")
        errors = io.StringIO()
        arguments = [str(path), "--seconds", "1"] + (["--universes", share] if share else [])
        assert main(arguments, errors) == 0
        packets = drain(listener)
    show = build_show(read(path))
    home = show.home_frame()
    by_universe = slots_by_universe(kind, packets)
    assert sorted(by_universe) == universes
    for universe, frames in by_universe.items():
        assert 20 <= len(frames) <= 46  # 44 fps for a second, with room for a loaded machine
        assert frames[-1] == home[universe]
        assert len(set(frames[:-1])) > len(frames) // 2  # the motion moves
    assert errors.getvalue().count("\n") == 1 and "0 send errors" in errors.getvalue()


@pytest.mark.parametrize("preview_present", [True, False])
def test_preview_opens_a_page_or_says_plainly_that_it_is_missing(tmp_path, monkeypatch, preview_present):
    pytest.importorskip("kinetrope_tools.live")
    from kinetrope_tools.show.cli import main

    if preview_present:
        pytest.importorskip("websockets")
    else:
        monkeypatch.setitem(sys.modules, "kinetrope_tools.preview", None)
    path = show_file(tmp_path, "")
    errors = io.StringIO()
    status = main([str(path), "--preview", "--seconds", "0.3"], errors)
    lines = errors.getvalue().splitlines()
    if preview_present:
        assert status == 0 and lines[0].startswith("preview: http://127.0.0.1:"), lines
    else:
        assert status == 2 and lines == [f"{path}: --preview: the preview is not part of this installation "
                                          "(no kinetrope_tools.preview)"]


def test_taps_come_from_space_enter_and_t(tmp_path):
    from kinetrope_tools.show.runner import taps_from

    read_end, write_end = os.pipe()
    taps = []
    with os.fdopen(read_end, "r") as keys, taps_from(keys, lambda: taps.append(1)):
        os.write(write_end, b" t\nxq")
        os.close(write_end)
        deadline = time.monotonic() + 5
        while len(taps) < 3 and time.monotonic() < deadline:
            time.sleep(0.01)
    assert len(taps) == 3


@pytest.mark.parametrize("stop", [signal.SIGINT, signal.SIGTERM])
def test_a_signal_ends_the_show_with_every_fixture_at_home(tmp_path, stop):
    pytest.importorskip("kinetrope_tools.live")
    with receiver() as listener:
        path = show_file(tmp_path, f"[outputs.artnet]\nport = {listener.getsockname()[1]}\n")
        show = subprocess.Popen([sys.executable, "-m", "kinetrope_tools.show", str(path)], cwd=ROOT,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            listener.settimeout(30)
            listener.recv(2048)  # playing
            show.send_signal(stop)
            _, errors = show.communicate(timeout=30)
        finally:
            if show.poll() is None:
                show.kill()
        packets = drain(listener)
    home = build_show(read(path)).home_frame()
    assert show.returncode == 0, errors
    assert {universe: frames[-1] for universe, frames in slots_by_universe("artnet", packets).items()} == home


@pytest.mark.parametrize("clock, key, reason", [
    ('source = "midi"\nport = "no such port"', "clock.port", "cannot open the MIDI input 'no such port'"),
    ('source = "midi"\nsocket = "127.0.0.1:{closed}"', "clock.socket", "cannot connect to the MIDI socket"),
    ('source = "link"', "clock.source", "the 'link' extra installs"),
])
def test_a_clock_source_that_cannot_start_is_one_line(tmp_path, monkeypatch, clock, key, reason):
    pytest.importorskip("kinetrope_tools.live.midi", reason="the MIDI clock source is not in this installation")
    from kinetrope_tools.show.cli import main

    monkeypatch.setitem(sys.modules, "aalink", None)  # as where the link extra is not installed
    monkeypatch.delitem(sys.modules, "kinetrope_tools.live.link", raising=False)
    with socket.socket() as probe:  # a port nothing listens on
        probe.bind(("127.0.0.1", 0))
        closed = probe.getsockname()[1]
    path = show_file(tmp_path, "[outputs.artnet]\n", clock=clock.format(closed=closed))
    errors = io.StringIO()
    assert main([str(path), "--seconds", "0.1"], errors) == 2
    line = errors.getvalue()
    assert line.count("\n") == 1 and line.startswith(f"{path}:") and f": {key}: " in line and reason in line, line


def midi_master(port, start, seconds=1.5, bpm=140.0):
    """A MIDI clock master on a mido socket port: Start (if ``start``), then
    24 ticks a beat for ``seconds``, then Stop."""
    import mido
    import mido.sockets

    with mido.sockets.PortServer("127.0.0.1", port) as server:
        out = server.accept()
        if start:
            out.send(mido.Message("start"))
        due = time.monotonic()
        for _ in range(round(seconds * bpm / 60 * 24)):
            time.sleep(max(0.0, due - time.monotonic()))
            out.send(mido.Message("clock"))
            due += 60 / bpm / 24
        out.send(mido.Message("stop"))
        out.close()


@pytest.mark.parametrize("start", [True, False])
def test_a_midi_clock_show_moves_only_once_the_master_starts(tmp_path, start):
    pytest.importorskip("kinetrope_tools.live.midi", reason="the MIDI clock source is not in this installation")
    from kinetrope_tools.show.cli import main

    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    master = threading.Thread(target=midi_master, args=(port, start), daemon=True)
    master.start()
    time.sleep(0.2)  # listening
    with receiver() as listener:
        path = show_file(tmp_path, f"[outputs.artnet]\nport = {listener.getsockname()[1]}\n",
                         clock=f'source = "midi"\nsocket = "127.0.0.1:{port}"')
        errors = io.StringIO()
        assert main([str(path), "--seconds", "1.2"], errors) == 0, errors.getvalue()
        frames = slots_by_universe("artnet", drain(listener))[1][:-1]  # the last is home
    master.join(5)
    assert len(frames) > 20 and (len(set(frames)) > len(frames) // 2 if start else len(set(frames)) == 1)
