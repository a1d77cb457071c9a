"""Running a show file: the frames and messages that reach a receiver on this
machine, the last frame at home, and the OSC output's messages."""

import io
import math
import socket
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


@pytest.mark.parametrize("share, universes", [(None, [1, 2]), ("2", [2]), ("1-1", [1])])
def test_a_run_sends_the_share_on_time_and_ends_at_home(tmp_path, share, universes):
    pytest.importorskip("kinetrope_tools.live")
    from kinetrope_tools.show.cli import main

    with receiver() as listener:
        port = listener.getsockname()[1]
        path = show_file(tmp_path, f"[outputs.artnet]\nport = {port}\n")
        errors = io.StringIO()
        arguments = [str(path), "--seconds", "1"] + (["--universes", share] if share else [])
        assert main(arguments, errors) == 0
        packets = drain(listener)
    show = build_show(read(path))
    home = show.home_frame()
    by_universe = {}
    for packet in packets:
        assert packet[:12] == b"Art-Net\0\x00\x50\x00\x0e"
        by_universe.setdefault(int.from_bytes(packet[14:16], "little"), []).append(packet[18:])
    assert sorted(by_universe) == universes
    for universe, frames in by_universe.items():
        assert 20 <= len(frames) <= 46  # 44 fps for a second, with room for a loaded machine
        assert frames[-1] == home[universe]
        assert len(set(frames[:-1])) > len(frames) // 2  # the motion moves
    assert errors.getvalue().count("\n") == 1 and "0 send errors" in errors.getvalue()
