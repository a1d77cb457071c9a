"""The preview output without a browser: the frames taken back through the
profiles, what the server answers, and how frames reach pages (latest first,
never queued for a slow page), stopping and the output contract."""

import http.client
import json
import math
import socket
import subprocess
import sys
import time
from pathlib import Path

import numpy as np
import pytest

pytest.importorskip("websockets", reason="websockets is not installed (extra 'preview')")

from websockets.exceptions import ConnectionClosed, InvalidStatus  # noqa: E402
from websockets.sync.client import connect  # noqa: E402

from kinetrope_tools.preview import PreviewOutput  # noqa: E402
from kinetrope_tools.preview.scene import FrameEncoder, decode_message, place, profile_reading, read_slots  # noqa: E402
from kinetrope_tools.preview.server import WINDOW  # noqa: E402
from kinetrope_tools.rig import Fixture, Rig  # noqa: E402

SPOT = Fixture("Spot", ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", "red", "green", "blue", ("shutter", 255)])
WASH8 = Fixture("Wash8", ["tilt", "pan", "dimmer"], pan_range=360, tilt_range=180, home=(90, 45))
PIXEL = Fixture("Pixel", ["red", "green", "blue"])
LAMP = Fixture("Lamp", ["dimmer"])


def small_rig():
    rig = Rig()
    rig.group("spots", SPOT, 4, universe=1, address=1, motion="circle", pan_swing=90, tilt_swing=60,
              dimmer=("x", -1.0, 1.0), red=1.0, green=("y", -1.0, 1.0), blue=0.25)
    rig.group("washes", WASH8, 2, universe=1, address=101, motion="figure_eight", invert_pan=True)
    rig.group("bar", PIXEL, 12, universe=3, address=1, motion="sway", red=("x", -1.0, 1.0), phase_span=0.5)
    rig.group("lamps", LAMP, 2, universe=3, address=500, motion="bounce", dimmer=("z", -1.0, 1.0))
    return rig


RIG = small_rig()


class ShowFrame(dict):
    position = None


def decoded(fixture, slots):
    """A profile's own reading of its slots as the page's six values."""
    state = fixture.decode(bytes(slots))
    colour = state.color or (math.nan,) * 3
    return [math.nan if state.pan is None else state.pan, math.nan if state.tilt is None else state.tilt,
            state.dimmer, *colour]


def expected_values(rig, frame):
    """What each patched fixture's slots decode to, straight from its profile."""
    return np.array([decoded(entry.fixture, frame[entry.universe][entry.address - 1:entry.last])
                     for entry in rig.patch], dtype=np.float32)


@pytest.mark.parametrize("fixture", [
    SPOT, WASH8, PIXEL, LAMP,
    Fixture("Fine first", ["tilt_fine", "pan_fine", "tilt", "pan", "blue"], pan_range=630, tilt_range=265.5),
    Fixture("Tilt only", ["dimmer", "dimmer_fine", "tilt", "tilt_fine", "red", "white"]),
    Fixture("Red and blue", [("constant", 9), "blue", "red", "speed"]),
], ids=lambda fixture: fixture.name)
def test_all_fixtures_of_a_profile_read_at_once_as_its_own_decode(fixture):
    rng = np.random.default_rng(len(fixture.name))
    slots = rng.integers(0, 256, size=(300, fixture.channels), dtype=np.uint8)
    slots[:2] = [[0] * fixture.channels, [255] * fixture.channels]
    expected = np.array([decoded(fixture, row) for row in slots])
    np.testing.assert_array_equal(read_slots(profile_reading(fixture), slots), expected)  # bit for bit, NaN in place


def test_fixtures_are_placed_in_patch_order_as_heads_or_cells():
    placed = place(RIG)
    assert [p.name for p in placed] == [entry.name for entry in RIG.patch]
    assert {p.group: p.kind for p in placed} == {"spots": "head", "washes": "head", "bar": "cell", "lamps": "cell"}
    for group in ("spots", "washes", "bar"):
        xs = [p.x for p in placed if p.group == group]
        assert xs == sorted(xs) and -1 < xs[0] < 0 < xs[-1] < 1 and xs[0] == pytest.approx(-xs[-1])
    depths = {p.group: p.z for p in placed if p.kind == "head"}
    assert depths["spots"] < depths["washes"]  # one truss per group of heads
    assert {(p.pan_centre, p.tilt_centre) for p in placed if p.group == "washes"} == {(180.0, 90.0)}


def test_frames_decode_as_the_profiles_say_and_missing_slots_show_no_values():
    encoder = FrameEncoder(RIG, place(RIG))
    positions = [math.nan, 0.0, 37.5, 1000.25, -64.0]
    frames = [RIG.home_frame()] + [RIG.frame(p) for p in positions[1:]]
    for number, (frame, position) in enumerate(zip(frames, positions), start=1):
        got = decode_message(encoder.encode(number, frame, position))
        assert got.number == number and got.position == pytest.approx(position, nan_ok=True)
        np.testing.assert_array_equal(got.values, expected_values(RIG, frame))
    # A fixture whose universe is missing, or whose slots the frame cuts short, shows no values.
    partial = {1: frames[-1][1][:102], 3: frames[-1][3]}  # the first wash takes slots 101-103
    values = decode_message(encoder.encode(99, partial)).values
    lost = [i for i, entry in enumerate(RIG.patch) if entry.group == "washes"]
    assert np.isnan(values[lost]).all()
    kept = [i for i, entry in enumerate(RIG.patch) if entry.group != "washes"]
    np.testing.assert_array_equal(values[kept], expected_values(RIG, frames[-1])[kept])


@pytest.fixture
def preview():
    with PreviewOutput(RIG) as output:
        yield output


def socket_url(preview):
    return preview.url.replace("http://", "ws://") + "ws"


def http_get(preview, path, host=None):
    connection = http.client.HTTPConnection("127.0.0.1", preview.port, timeout=10)
    try:
        connection.request("GET", path, headers={"Host": host or f"127.0.0.1:{preview.port}"})
        response = connection.getresponse()
        return response.status, dict(response.getheaders()), response.read()
    finally:
        connection.close()


@pytest.mark.parametrize("path, host, status", [
    ("/", None, 200), ("/?reload=1", None, 200), ("/", "localhost:{port}", 200),
    ("/page.html", None, 404), ("/../server.py", None, 404), ("/favicon.ico", None, 404),
    ("/", "rebound.example:{port}", 421), ("/", "127.0.0.1:1", 421),
])
def test_the_server_serves_the_page_and_nothing_else(preview, path, host, status):
    got, headers, body = http_get(preview, path, host and host.format(port=preview.port))
    assert got == status
    if status == 200:
        assert headers["Content-Type"] == "text/html; charset=utf-8"
        assert "default-src 'none'" in headers["Content-Security-Policy"]
        page = body.decode()
        assert "kinetropePreview" in page and "<script src" not in page and "http" not in page.replace("http-equiv", "")


@pytest.mark.parametrize("origin, allowed", [
    (None, True), ("http://127.0.0.1:{port}", True), ("http://localhost:{port}", False),
    ("http://evil.example", False), ("null", False),
])
def test_only_pages_of_the_same_origin_may_watch(preview, origin, allowed):
    origin = origin and origin.format(port=preview.port)
    if allowed:
        with connect(socket_url(preview), origin=origin) as page:
            assert json.loads(page.recv(timeout=5))["type"] == "layout"
    else:
        with pytest.raises(InvalidStatus) as refused:
            connect(socket_url(preview), origin=origin).close()
        assert refused.value.response.status_code == 403


def receive(page, kind, timeout=5):
    """The next message of ``kind`` ('frame' or a text message type), skipping others."""
    deadline = time.monotonic() + timeout
    while True:
        message = page.recv(timeout=max(0.01, deadline - time.monotonic()))
        if isinstance(message, bytes) and kind == "frame":
            return decode_message(message)
        if isinstance(message, str) and json.loads(message)["type"] == kind:
            return json.loads(message)


def acknowledge(page, number):
    page.send(json.dumps({"ack": number, "received": 1, "missed": 0, "fps": 1}))


def wait_for(condition, timeout=5):
    deadline = time.monotonic() + timeout
    while not condition():
        assert time.monotonic() < deadline, "timed out"
        time.sleep(0.01)


def test_a_slow_page_gets_the_latest_frame_and_nothing_queues(preview):
    frames = [RIG.frame(p * 16.0) for p in range(40)]
    with connect(socket_url(preview)) as slow, connect(socket_url(preview)) as quick:
        layout = receive(slow, "layout")
        assert [f["name"] for f in layout["fixtures"]] == [entry.name for entry in RIG.patch]
        receive(quick, "layout")
        for sent, frame in enumerate(frames, start=1):  # the slow page acknowledges nothing yet
            preview.send(frame)
            number, _, values = receive(quick, "frame")
            assert number == sent
            acknowledge(quick, number)
        np.testing.assert_array_equal(values, expected_values(RIG, frames[-1]))
        # The slow page holds its window of frames, and no more: not even the status.
        held = [receive(slow, "frame")[0] for _ in range(WINDOW)]
        assert held == list(range(1, WINDOW + 1))
        preview.status({"bpm": 99.0})
        with pytest.raises(TimeoutError):
            slow.recv(timeout=0.3)
        # Once it acknowledges, it gets the status and the newest frame, not the ones it missed.
        acknowledge(slow, held[-1])
        assert receive(slow, "status")["bpm"] == 99.0
        number, _, values = receive(slow, "frame")
        assert number == len(frames)
        np.testing.assert_array_equal(values, expected_values(RIG, frames[-1]))
        wait_for(lambda: sorted(p.get("received", 0) for p in preview.pages()) == [1, 1])
        assert [(p["page"], p["sent"], p["dropped"]) for p in preview.pages()] == [
            (1, WINDOW + 1, len(frames) - WINDOW - 1), (2, len(frames), 0)]


def test_a_frame_is_shown_as_it_was_sent_even_if_its_buffers_change_after(preview):
    frame = {universe: bytearray(data) for universe, data in RIG.frame(5.0).items()}
    sent = {universe: bytes(data) for universe, data in frame.items()}
    preview.send(frame)
    for data in frame.values():
        data[:] = bytes(len(data))  # the sender reuses its buffers for the next frame
    with connect(socket_url(preview)) as page:
        np.testing.assert_array_equal(receive(page, "frame").values, expected_values(RIG, sent))


def test_acknowledgements_that_make_no_sense_are_ignored(preview):
    with connect(socket_url(preview)) as page:
        receive(page, "layout")
        for number in range(1, WINDOW + 1):
            preview.send(RIG.frame(float(number)))
            assert receive(page, "frame").number == number
        for nonsense in ['{"ack": Infinity}', '{"ack": NaN}', '{"ack": "x"}', "[1]", "7", "not json", b"\x00\xff",
                         '{"received": 5}', '{"ack": 1e400}']:
            page.send(nonsense)
        preview.send(RIG.home_frame())
        with pytest.raises(TimeoutError):  # the window is still full
            page.recv(timeout=0.3)
        acknowledge(page, WINDOW)
        assert receive(page, "frame").number == WINDOW + 1


def test_status_reaches_every_page_and_stopping_says_so(preview):
    with connect(socket_url(preview)) as first_page, connect(socket_url(preview)) as second_page:
        for page in (first_page, second_page):
            receive(page, "layout")
        preview.status({"bpm": 126.5, "bar": np.int64(9), "beat": 3, "source": "tap", "jitter_p50": np.float32(0.5),
                        "jitter_p99": math.inf, "offset": math.nan})
        for page in (first_page, second_page):
            assert receive(page, "status") == {"type": "status", "bpm": 126.5, "bar": 9, "beat": 3, "source": "tap",
                                               "jitter_p50": 0.5, "jitter_p99": None, "offset": None}
        first = ShowFrame(RIG.frame(10.0))
        first.position = 10.0  # a show's frames say where they are
        preview.send(first)
        preview.send(RIG.home_frame())  # the show's last frame, sent just before it stops
        preview.close()
        for page in (first_page, second_page):
            frames = []
            while not frames or frames[-1].number != 2:
                frames.append(receive(page, "frame"))
            assert [(f.number, f.position) for f in frames[:-1]] in ([], [(1, 10.0)])
            assert math.isnan(frames[-1].position)
            np.testing.assert_array_equal(frames[-1].values, expected_values(RIG, RIG.home_frame()))
            assert receive(page, "stopped") == {"type": "stopped"}
            with pytest.raises(ConnectionClosed) as closed:
                page.recv(timeout=5)
            assert closed.value.rcvd.code == 1001


def test_the_output_contract_holds_once_closed():
    output = PreviewOutput(RIG)
    assert output.send(RIG.home_frame()) and output.errors == 0 and output.frames == 1
    output.close()
    output.close()  # closing twice is harmless
    assert [output.send(RIG.home_frame()) for _ in range(3)] == [False] * 3
    assert output.errors == 3 and isinstance(output.last_error, OSError)
    output.status({"bpm": 120.0})  # ignored once closed
    with pytest.raises(OSError):
        http_get(output, "/")


def test_a_taken_port_fails_at_construction_not_at_send():
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        with pytest.raises(OSError):
            PreviewOutput(RIG, port=taken.getsockname()[1])


def test_without_websockets_the_import_names_the_extra():
    script = ("import sys\nsys.modules['websockets'] = None\n"
              "try:\n    import kinetrope_tools.preview\nexcept ImportError as error:\n    print(error)\n")
    result = subprocess.run([sys.executable, "-c", script], cwd=Path(__file__).resolve().parents[2],
                            capture_output=True, text=True, timeout=120)
    assert "pip install 'kinetrope[preview]'" in result.stdout, result.stderr
