"""Show files played into OLA's daemon inside a network namespace: every frame
the runner sends arrives byte for byte, and two runner processes, each with
its own share of the universes and both following one Link session, carry
the same pip at the same Link beat."""

import asyncio
import json
import math
import shutil
import subprocess
import sys
import threading
import time
from pathlib import Path

import numpy as np
import pytest
from olad_support import (in_namespace, network_up, olad_config, received_frames, receiver_unavailable,
                          recorded_frames, recorded_in_namespace, running_olad, start_receiver, unavailable, wait_for,
                          without_preamble)

from kinetrope_tools.rig import ArtNetSender
from kinetrope_tools.show import build_show, read

ROOT = Path(__file__).resolve().parents[2]
SECONDS = 3
LINK_SECONDS = 7
SETTLE = 1.5  # seconds from the later process's first frame to when they are compared
DJ_BPM = 120.0
BEAT = 64
# One loop of the fast circle is a beat; of the slow one, four bars: the fast
# one places a frame's pip finely, the slow one tells whole bars apart.
FAST_LOOP, SLOW_LOOP = BEAT, 16 * BEAT

LINK_SHOW = """\
fps = 44

[clock]
source = "link"
bpm = 120
quantum = 16    # beats: both processes agree on the slow circle's four bars

[profiles.head]
channels = ["pan", "pan_fine", "tilt", "tilt_fine"]
pan_range = 360
tilt_range = 360
"""
LINK_GROUP = """
[groups.{name}]
profile = "head"
count = 1
universe = {universe}
address = {address}
motion = "circle"
rate = {rate}
pan_swing = 150
tilt_swing = 150
"""


def link_show(folder):
    text = LINK_SHOW + "".join(
        LINK_GROUP.format(name=f"{speed}{universe}", universe=universe, address=address, rate=rate)
        for universe in (1, 2) for speed, address, rate in (("fast", 1, 1.0), ("slow", 5, BEAT / SLOW_LOOP)))
    path = Path(folder) / "link.toml"
    path.write_text(text + '\n[outputs.artnet]\naddress = "127.0.0.1"\n')
    return path


# ---------------------------------------------------------------- inside the namespace

def namespace_show(config, recording, show_path, sent_path):
    """The runner in this process for SECONDS into olad; every frame it hands
    the Art-Net output is kept, to compare with what olad received."""
    import kinetrope_tools.show.cli as cli

    network_up()
    sent = []
    opened = cli.open_output

    def kept(spec, show):
        output = opened(spec, show)
        send = output.send

        def send_and_keep(frame):
            sent.append({universe: bytes(slots).hex() for universe, slots in frame.items()})
            return send(frame)
        output.send = send_and_keep
        return output
    cli.open_output = kept
    with ArtNetSender("127.0.0.1") as warm, running_olad(config, recording, (1, 2), warm):
        assert cli.main([str(show_path), "--seconds", str(SECONDS)]) == 0
        wait_for(lambda: all(len(without_preamble(recorded_frames(recording).get(universe, []))) >= len(sent)
                             for universe in (1, 2)), 30, "the last frames")
    Path(sent_path).write_text(json.dumps(sent))


def dj(samples, ready, stop):
    """A Link peer at DJ_BPM that keeps (monotonic time, beat) every 2 ms,
    and sets its tempo again once both shows have joined."""
    async def play():
        from aalink import Link

        link = Link(DJ_BPM)
        link.quantum = 4
        link.enabled = True
        ready.set()
        reset = False
        for _ in range(int((LINK_SECONDS + 20) / 0.002)):
            if stop.is_set():
                break
            samples.append((time.monotonic(), link.beat))
            if not reset and link.num_peers >= 2:  # a joining peer may have pulled the tempo
                link.tempo = DJ_BPM
                reset = True
            await asyncio.sleep(0.002)
        link.enabled = False
    asyncio.run(play())


def namespace_link_shows(config, recording, show_path, out_folder):
    """Two runner processes (universe 1, universe 2) following a DJ's Link
    session into one olad; OLA's client stamps every frame it gets."""
    network_up(multicast=True)
    out = Path(out_folder)
    samples, ready, stop = [], threading.Event(), threading.Event()
    with ArtNetSender("127.0.0.1") as warm, running_olad(config, recording, (1, 2), warm):
        peer = threading.Thread(target=dj, args=(samples, ready, stop), daemon=True)
        peer.start()
        assert ready.wait(10)
        receiver = start_receiver((1, 2), LINK_SECONDS + 30, out / "received.txt")
        shows = [subprocess.Popen([sys.executable, "-m", "kinetrope_tools.show", str(show_path), "--universes",
                                   share, "--seconds", str(LINK_SECONDS)], stdout=subprocess.DEVNULL,
                                  stderr=open(out / f"show{share}.log", "w")) for share in ("1", "2")]
        try:
            statuses = [show.wait(LINK_SECONDS + 30) for show in shows]
            time.sleep(0.5)  # the last frames on their way through olad
            receiver.terminate()
            receiver.wait(10)
        finally:
            stop.set()
            peer.join(5)
            for process in (*shows, receiver):
                if process.poll() is None:
                    process.kill()
    (out / "beats.json").write_text(json.dumps({"statuses": statuses, "samples": samples}))


# ---------------------------------------------------------------- the tests

def test_olad_receives_the_runners_frames_byte_for_byte(tmp_path):
    reason = unavailable()
    if reason:
        pytest.skip(reason)
    pytest.importorskip("kinetrope_tools.live")
    example = ROOT / "examples"
    for name in ("show.toml", "moving-head.toml"):
        shutil.copy(example / name, tmp_path / name)
    config = olad_config()
    recording, sent_path = config / "show.rec", tmp_path / "sent.json"
    received = recorded_in_namespace(f"import test_show_olad as t; t.namespace_show({str(config)!r}, "
                                     f"{str(recording)!r}, {str(tmp_path / 'show.toml')!r}, {str(sent_path)!r})",
                                     config, recording)
    sent = json.loads(sent_path.read_text())
    home = build_show(read(tmp_path / "show.toml")).home_frame()
    assert 0.5 * 44 * SECONDS <= len(sent) <= 44 * SECONDS + 1
    assert {universe: bytes.fromhex(slots) for universe, slots in sent[-1].items()} == {str(u): s for u, s in
                                                                                        home.items()}
    for universe in (1, 2):
        frames = without_preamble(received[universe])
        expected = [bytes.fromhex(frame[str(universe)]) for frame in sent]
        assert len(frames) == len(expected), f"universe {universe}: {len(frames)} of {len(expected)} arrived"
        wrong = [number for number, (got, want) in enumerate(zip(frames, expected)) if got != want]
        assert wrong == [], f"universe {universe}: frames {wrong[:10]} differ"


def pip_finder(show, universe):
    """A function from a universe's slots to the pip they show (modulo the
    slow loop): the fast circle's pip, placed in the bar the slow one is in."""
    groups = {name: group for name, group in show.rig.groups.items() if name.endswith(str(universe))}
    fast, slow = groups[f"fast{universe}"], groups[f"slow{universe}"]

    def table(group, loop, step):
        """The 16-bit pan and tilt the group's one fixture takes at each step of its loop."""
        pips = np.arange(0.0, loop, step)
        values = dict((driven.role, value) for driven, value in group.mapping.values(group.voices[0].render(pips)))
        return pips, np.stack([values["pan"], values["tilt"]], axis=1).astype(np.float64)

    fast_pips, fast_values = table(fast, FAST_LOOP, 1 / 128)
    slow_pips, slow_values = table(slow, SLOW_LOOP, 1.0)

    def find(slots):
        fine = fast_pips[np.argmin(((fast_values - pan_tilt(slots, fast)) ** 2).sum(axis=1))]
        coarse = slow_pips[np.argmin(((slow_values - pan_tilt(slots, slow)) ** 2).sum(axis=1))]
        return (fine + FAST_LOOP * round((coarse - fine) / FAST_LOOP)) % SLOW_LOOP
    return find


def pan_tilt(slots, group):
    start = group.fixtures[0].address - 1
    return (slots[start] << 8 | slots[start + 1], slots[start + 2] << 8 | slots[start + 3])


def wrapped(values, period):
    return (np.asarray(values) + period / 2) % period - period / 2


def test_two_shares_following_link_carry_the_same_pip(tmp_path):
    reason = unavailable() or receiver_unavailable()
    if reason:
        pytest.skip(reason)
    pytest.importorskip("aalink", reason="Link needs aalink (the 'link' extra)")
    pytest.importorskip("kinetrope_tools.live.link", reason="the Link source is not in this installation")
    path = link_show(tmp_path)
    config = olad_config()
    try:
        in_namespace(f"import test_show_olad as t; t.namespace_link_shows({str(config)!r}, "
                     f"{str(config / 'show.rec')!r}, {str(path)!r}, {str(tmp_path)!r})", config, timeout=240)
    finally:
        shutil.rmtree(config, ignore_errors=True)
    run = json.loads((tmp_path / "beats.json").read_text())
    logs = "".join((tmp_path / f"show{share}.log").read_text() for share in "12")
    assert run["statuses"] == [0, 0], logs[-2000:]
    moments, beats = np.array(run["samples"]).T
    show = build_show(read(path))
    home = show.home_frame()
    frames = {universe: [(moment, slots) for moment, got, slots in received_frames(tmp_path / "received.txt")
                         if got == universe and slots != home[universe]] for universe in (1, 2)}
    assert all(frames.values()), {universe: len(rows) for universe, rows in frames.items()}
    # Compared while both play, once the later one has had time to join and lock.
    first = max(rows[0][0] for rows in frames.values()) + SETTLE
    last = min(rows[-1][0] for rows in frames.values())
    assert last - first > 1.5, f"only {last - first:.2f} s of both playing after settling"
    offsets = {}
    for universe, rows in frames.items():
        find = pip_finder(show, universe)
        at, pips = np.array([(moment, find(slots)) for moment, slots in rows if first <= moment <= last]).T
        # A frame leaves its process a little before OLA's client stamps it:
        # the largest offsets are the frames that came through fastest.
        offsets[universe] = wrapped(pips - BEAT * np.interp(at, moments, beats), SLOW_LOOP)
    envelope = {universe: float(np.percentile(values, 95)) for universe, values in offsets.items()}
    middle = {universe: float(np.median(values)) for universe, values in offsets.items()}
    print(f"pip minus Link beat x 64: p95 {envelope}, median {middle}")
    # Each follows the session (a delay of a few milliseconds is a fraction of a pip) ...
    assert all(abs(wrapped(value, 4 * BEAT)) < 1.0 for value in envelope.values()), envelope
    # ... and the two carry the same pip at the same beat, in the same bar.
    assert abs(envelope[1] - envelope[2]) <= 0.05, envelope
    assert math.isclose(middle[1], middle[2], abs_tol=0.1), middle
