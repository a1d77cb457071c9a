"""The preview page in headless Chromium. A short show played with
``--preview`` at 44 frames a second: the heads the page shows point where the
frames say (pan and tilt from the DMX bytes equal to the rig's mapping within
one 16-bit step), it keeps up and it says when the show stops. A frame with
one head lit: its beam is drawn where it points (a screenshot); the page
comes back by itself when a show serves again."""

import asyncio
import io
import math
import queue
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

import numpy as np
import pytest

pytest.importorskip("websockets", reason="websockets is not installed (extra 'preview')")
Image = pytest.importorskip("PIL.Image", reason="Pillow is not installed (it comes with matplotlib)")

from kinetrope_tools.preview import PreviewOutput  # noqa: E402
from kinetrope_tools._headless import Chromium, find_chromium  # noqa: E402
from kinetrope_tools.rig import Fixture, Rig  # noqa: E402
from kinetrope_tools.show.build import build_show  # noqa: E402
from kinetrope_tools.show.schema import read  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
HEADS = 16
SPOT = Fixture("Spot", ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", "red", "green", "blue"])
PIXEL = Fixture("Pixel", ["red", "green", "blue"])
SHOW = """\
fps = 44

[clock]
source = "internal"
bpm = 120

[profiles.spot]
channels = ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", "red", "green", "blue"]
pan_range = 540
tilt_range = 270

[profiles.pixel]
channels = ["red", "green", "blue"]

[groups.fan]
profile = "spot"
count = 16
universe = 1
address = 1
motion = "circle"
phase_span = 1.0
pan_swing = 90
tilt_swing = 60
invert_pan = true
dimmer = 1.0
red = 1.0
green = ["y", -1.0, 1.0]
blue = 0.5

[groups.chase]
profile = "pixel"
count = 24
universe = 2
motion = "sway"
phase_span = 0.5
red = ["x", 0.0, 1.0]
blue = 0.4
"""
SNAPSHOT = "(s => [s.number, s.position, kinetropePreview.values(), s.received, s.missed])(kinetropePreview.state())"


def mapped_degrees(rig, position=None):
    """Each head's pan and tilt as the rig's mapping computes them before DMX
    (at home when no position), and one 16-bit step of each."""
    rows = []
    for group in rig.groups.values():
        swings = {driven.role: swing for driven, swing in group.mapping.swings}
        if not swings:
            continue
        points = None if position is None else group.points(position)
        pan, tilt = (np.full(len(group), np.clip(s.home, s.low, s.high)) if points is None else
                     np.clip(points[:, s.axis] * (s.sign * s.swing) + s.home, s.low, s.high)
                     for s in (swings["pan"], swings["tilt"]))
        rows += [(p, t, group.fixture.pan_range / 65535, group.fixture.tilt_range / 65535) for p, t in zip(pan, tilt)]
    return np.array(rows)


def assert_heads_point_as_mapped(rig, values, position):
    pan_tilt = np.array(values).reshape(-1, 6)[:HEADS, :2]
    expected = mapped_degrees(rig, position)
    assert np.all(np.abs(pan_tilt - expected[:, :2]) <= expected[:, 2:] * 1.001), position


@pytest.fixture(scope="module")
def browser():
    if find_chromium() is None:
        pytest.skip("chromium is not installed (apt-get install chromium)")
    with Chromium(size=(1100, 800)) as chromium:
        yield chromium


def open_page(browser, url):
    tab = browser.open(url)
    tab.wait_until("window.kinetropePreview && kinetropePreview.state().connected", 20)
    return tab


def lines_of(stream, into):
    for line in stream:
        into.put(line)
    into.put(None)


def test_a_show_played_with_preview_is_drawn_as_its_rig_maps_it(browser, tmp_path):
    path = tmp_path / "show.toml"
    path.write_text(SHOW)
    rig = build_show(read(path)).rig
    show = subprocess.Popen([sys.executable, "-m", "kinetrope_tools.show", str(path), "--preview", "--seconds", "60"],
                            cwd=ROOT, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            text=True)
    said = queue.Queue()
    threading.Thread(target=lines_of, args=(show.stderr, said), daemon=True).start()
    try:
        lines = [""]
        while not lines[-1].startswith("preview: "):
            lines.append(said.get(timeout=60))
            assert lines[-1] is not None, "".join(lines[:-1])  # the show ended without serving a page
        url = lines[-1].removeprefix("preview: ").strip()
        assert url.startswith("http://127.0.0.1:"), url
        tab = open_page(browser, url)
        snapshots = []
        deadline = time.monotonic() + 20
        while len(snapshots) < 6 and time.monotonic() < deadline:
            time.sleep(0.25)
            snapshot = tab.evaluate(SNAPSHOT)
            if snapshot[1] is not None:
                snapshots.append(snapshot)
        show.send_signal(signal.SIGINT)  # the show ends with every head at home
        assert show.wait(timeout=30) == 0
    finally:
        if show.poll() is None:
            show.kill()
            show.wait()
    assert len(snapshots) >= 2
    for number, position, values, _, _ in snapshots:  # each frame shown points as its position maps
        assert_heads_point_as_mapped(rig, values, position)
    assert tab.evaluate("kinetropePreview.state().status.source") == "internal"

    # The last frame puts every head at home, and the page says the show stopped.
    state = tab.wait_until("(s => s.stopped && s.position === null && s)(kinetropePreview.state())", 10)
    assert "stopped" in state["banner"]
    assert_heads_point_as_mapped(rig, tab.evaluate("kinetropePreview.values()"), None)
    # Keeping up at 44 Hz: most frames arrive (on a loaded machine a few are
    # skipped, never queued), and each frame is either received or counted missed.
    assert state["received"] >= 0.5 * (state["received"] + state["missed"]) and state["received"] >= 20, state


def front_direction(pan, tilt):
    """Screen direction (right, down) of a beam in the front view: tilt from
    straight down towards the audience, pan around the vertical, both from
    the middle of their ranges."""
    p, t = math.radians(pan - SPOT.pan_range / 2), math.radians(tilt - SPOT.tilt_range / 2)
    return math.sin(t) * math.sin(p), math.cos(t)


def lit(image, x, y):
    """Brightest channel around a point of the screenshot."""
    return int(np.asarray(image.convert("RGB"))[round(y) - 1:round(y) + 2, round(x) - 1:round(x) + 2].max())


async def drop_connections(server):
    for page in list(server.pages):
        page.connection.transport.abort()


def test_a_lit_beam_is_drawn_where_it_points_and_the_page_comes_back(browser):
    rig = Rig()
    rig.group("fan", SPOT, HEADS, universe=1, address=1, motion="circle", pan_swing=90, tilt_swing=60,
              dimmer=1.0, red=1.0, green=1.0, blue=1.0)
    position = 96.0
    expected = mapped_degrees(rig, position)
    front = [front_direction(pan, tilt) for pan, tilt in expected[:, :2]]
    head = max(range(HEADS), key=lambda i: abs(front[i][0]))
    frame = rig.frame(position)
    slots = bytearray(frame[1])
    for other in set(range(HEADS)) - {head}:
        slots[other * SPOT.channels + SPOT.offset("dimmer")] = 0
    output = PreviewOutput(rig)
    try:
        output.send({**frame, 1: bytes(slots)})
        tab = open_page(browser, output.url)
        tab.wait_until("kinetropePreview.state().drawnNumber === 1", 10)
        assert_heads_point_as_mapped(rig, tab.evaluate("kinetropePreview.values()"), position)
        geometry = tab.evaluate("kinetropePreview.geometry('front')")
        beam = tab.evaluate(f"kinetropePreview.beam({head}, 'front')")
        reach = geometry["scale"] * geometry["beamLength"]
        (x0, y0), (dx, dy) = beam["from"], front[head]
        assert beam["to"] == pytest.approx([x0 + dx * reach, y0 + dy * reach], abs=1.0)
        image = Image.open(io.BytesIO(tab.screenshot()))
        along = [lit(image, x0 + dx * reach * share, y0 + dy * reach * share) for share in (0.3, 0.6)]
        mirrored = [lit(image, x0 - dx * reach * share, y0 + dy * reach * share) for share in (0.3, 0.6)]
        assert min(along) > 110 and max(mirrored) < 70, (along, mirrored)

        # The show stops: the page says so, and comes back by itself when a show serves again.
        port = output.port
        output.close()
        assert "stopped" in tab.wait_until("kinetropePreview.state().banner", 10)
        output = PreviewOutput(rig, port=port)
        output.send(rig.home_frame())
        tab.wait_until("(s => s.connected && !s.stopped && s.number === 1 && !(s.banner || '').includes('stopped'))"
                       "(kinetropePreview.state())", 15)

        # A connection that drops without a word: counted as lost, and the page is back by itself.
        asyncio.run_coroutine_threadsafe(drop_connections(output._server), output._loop).result(5)
        tab.wait_until("(s => s.lost === 1 && s.connected && s.banner === null)(kinetropePreview.state())", 15)
    finally:
        output.close()
