"""The preview page in headless Chromium, fed by a rig played at 44 frames a
second: the heads it shows point where the frames say (in the page's own
state and in a screenshot), it keeps up, it says when the show stops and it
comes back by itself when the show does."""

import io
import math
import threading
import time

import numpy as np
import pytest

pytest.importorskip("websockets", reason="websockets is not installed (extra 'preview')")
Image = pytest.importorskip("PIL.Image", reason="Pillow is not installed (it comes with matplotlib)")

from kinetrope_tools.preview import PreviewOutput  # noqa: E402
from kinetrope_tools.preview.headless import Chromium, find_chromium  # noqa: E402
from kinetrope_tools.rig import Fixture, Rig  # noqa: E402

FPS = 44.0
SECONDS = 2.0
PIPS_PER_SECOND = 128.0  # 120 bpm
SPOT = Fixture("Spot", ["pan", "pan_fine", "tilt", "tilt_fine", "dimmer", "red", "green", "blue"])
DIMMER = SPOT.offset("dimmer")
PIXEL = Fixture("Pixel", ["red", "green", "blue"])


def fan_rig():
    rig = Rig()
    rig.group("fan", SPOT, 16, universe=1, address=1, motion="circle", pan_swing=90, tilt_swing=60,
              dimmer=1.0, red=1.0, green=1.0, blue=1.0)
    rig.group("chase", PIXEL, 24, universe=2, address=1, motion="sway", red=("x", 0.0, 1.0), blue=0.4)
    return rig


def mapped_degrees(rig, position):
    """Each head's pan and tilt as the rig's mapping computes them (before DMX),
    with the size of one DMX step of each."""
    rows = []
    for group in rig.groups.values():
        swings = {driven.role: spec for driven, spec in group.mapping.swings}
        if not swings:
            continue
        points = group.points(position)
        pan, tilt = (np.clip(points[:, s.axis] * (s.sign * s.swing) + s.home, s.low, s.high)
                     for s in (swings["pan"], swings["tilt"]))
        rows += [(p, t, SPOT.pan_range / 65535, SPOT.tilt_range / 65535) for p, t in zip(pan, tilt)]
    return np.array(rows)


def front_direction(pan, tilt):
    """Screen direction (right, down) of a head's beam in the front view: tilt
    from straight down towards the audience, pan around the vertical, both
    from the middle of their ranges."""
    p, t = math.radians(pan - SPOT.pan_range / 2), math.radians(tilt - SPOT.tilt_range / 2)
    return math.sin(t) * math.sin(p), math.cos(t)


class Driver(threading.Thread):
    """The rig played at FPS for SECONDS, one frame a tick; positions kept by frame number."""

    def __init__(self, rig, output):
        super().__init__(daemon=True)
        self.rig, self.output, self.positions = rig, output, {}

    def run(self):
        start = time.monotonic()
        for tick in range(int(FPS * SECONDS)):
            time.sleep(max(0.0, start + tick / FPS - time.monotonic()))
            position = (time.monotonic() - start) * PIPS_PER_SECOND
            self.positions[self.output.frames + 1] = position
            self.output.send(self.rig.frame(position))
            self.output.status({"bpm": 120.0, "bar": int(position // 256) + 1, "beat": int(position // 64) % 4 + 1,
                                "source": "internal", "frames": tick + 1})


def assert_heads_point_as_mapped(rig, numbered_values, positions):
    number, values = numbered_values
    pan_tilt = np.array(values).reshape(-1, 6)[:16, :2]
    expected = mapped_degrees(rig, positions[number])
    assert np.all(np.abs(pan_tilt - expected[:, :2]) <= expected[:, 2:] * 1.001), number


def lit(image, x, y):
    """Brightest channel around a point of the screenshot."""
    return int(np.asarray(image.convert("RGB"))[round(y) - 1:round(y) + 2, round(x) - 1:round(x) + 2].max())


@pytest.fixture
def browser():
    if find_chromium() is None:
        pytest.skip("chromium is not installed (apt-get install chromium)")
    with Chromium(size=(1100, 800)) as chromium:
        yield chromium


SNAPSHOT = "(() => { const s = kinetropePreview.state(); return [s.number, kinetropePreview.values()]; })()"


def test_the_page_follows_the_frames_at_44_hz(browser):
    rig = fan_rig()
    output = PreviewOutput(rig)
    try:
        tab = browser.open(output.url)
        tab.wait_until("window.kinetropePreview && kinetropePreview.state().connected", 20)
        driver = Driver(rig, output)
        driver.start()
        snapshots = []
        while driver.is_alive():
            time.sleep(0.4)
            snapshot = tab.evaluate(SNAPSHOT)
            if snapshot[0] is not None:
                snapshots.append(snapshot)
        driver.join()
        assert len(snapshots) >= 2
        for snapshot in snapshots:  # mid-show, each shown frame points as its position says
            assert_heads_point_as_mapped(rig, snapshot, driver.positions)

        sent = output.frames
        state = tab.wait_until(f"(s => s.number === {sent} && s.drawnNumber === {sent} && s)(kinetropePreview.state())", 10)
        # Keeping up: most frames arrive (on a loaded machine a few may be skipped,
        # never queued), and every frame is either received or counted as missed.
        assert state["received"] + state["missed"] >= sent - 1
        assert state["received"] >= 0.6 * sent, state
        (page,) = output.pages()
        assert page["sent"] == state["received"] and page["sent"] + page["dropped"] == sent
        assert tab.evaluate("[tempo, bar, beat].map(e => e.textContent)")[0] == "120.0"

        # One head lit on a still frame: its beam is drawn where its pan and tilt point, and only there.
        position = 96.0
        expected = mapped_degrees(rig, position)
        front = [front_direction(pan, tilt) for pan, tilt in expected[:, :2]]
        head = max(range(16), key=lambda i: abs(front[i][0]))
        frame = rig.frame(position)
        slots = bytearray(frame[1])
        for other in set(range(16)) - {head}:
            slots[other * SPOT.channels + DIMMER] = 0
        output.send({**frame, 1: bytes(slots)})
        tab.wait_until(f"kinetropePreview.state().drawnNumber === {output.frames}", 10)
        assert_heads_point_as_mapped(rig, tab.evaluate(SNAPSHOT), {output.frames: position})
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
    finally:
        output.close()
