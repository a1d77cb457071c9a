"""LinkSource against a real Link peer playing the DJ, both inside a network
namespace made for the test so no multicast leaves it."""

import json
import os
import shutil
import subprocess
import sys
import textwrap

import numpy as np
import pytest

pytest.importorskip("aalink", reason="the 'link' extra (aalink) is not installed")

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NAMESPACE_SETUP = "ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo"

# The DJ: joins at 128, waits for the show, sets 128 again (a joining peer
# may pull the session to its own tempo) and lets the show settle into the
# one session, then plays 128, 140 and 100; it prints
# every reading of its beat with the instant it was taken.
DJ = textwrap.dedent(
    """
    import asyncio, json, sys, time
    import aalink

    PLAN = [(128.0, 2.5), (140.0, 2.5), (100.0, 3.0)]

    async def main():
        link = aalink.Link(128.0)
        link.quantum = 4
        link.enabled = True
        give_up = time.monotonic() + 10
        while link.num_peers < 1 and time.monotonic() < give_up:
            await asyncio.sleep(0.005)
        link.tempo = 128.0
        await asyncio.sleep(1.5)
        for bpm, hold in PLAN:
            link.tempo = bpm
            print(json.dumps({"change": time.monotonic(), "bpm": bpm}), flush=True)
            end = time.monotonic() + hold
            while time.monotonic() < end:
                before = time.monotonic()
                beat = link.beat
                after = time.monotonic()
                if after - before < 0.0002:
                    print(json.dumps({"t": (before + after) / 2, "beat": beat, "bpm": link.tempo}), flush=True)
                await asyncio.sleep(0.002)
        link.enabled = False

    asyncio.run(main())
    """
)

# The show: a clock at 120 following the session, read at 44 frames a second
# until the DJ leaves.
SHOW = textwrap.dedent(
    """
    import json, subprocess, sys, tempfile, time
    from kinetrope_tools.live import LinkSource, LiveClock

    log = tempfile.TemporaryFile("w+")
    dj = subprocess.Popen([sys.executable, "-c", sys.argv[1]], stdout=log, text=True)
    clock = LiveClock(120.0)
    frames = []
    with LinkSource(clock) as link:
        give_up = time.monotonic() + 10
        while link.peers < 1 and time.monotonic() < give_up:
            time.sleep(0.01)
        due = time.monotonic()
        while dj.poll() is None and time.monotonic() < give_up + 20:
            due += 1 / 44
            time.sleep(max(due - time.monotonic(), 0))
            now = time.monotonic()
            frames.append((now, clock.position(now), clock.bpm))
    log.seek(0)
    print(json.dumps({"frames": frames, "dj": log.read().splitlines()}))
    """
)


def in_namespace(script, *args, timeout=60):
    """Runs ``script`` with Python in a new network namespace with multicast
    on loopback only; skips where namespaces cannot be made."""
    if shutil.which("unshare") is None or shutil.which("ip") is None:
        pytest.skip("needs unshare and ip to make a network namespace")
    probe = subprocess.run(["unshare", "-n", "sh", "-c", NAMESPACE_SETUP], capture_output=True, text=True)
    if probe.returncode != 0:
        pytest.skip(f"cannot make a network namespace with multicast on loopback: {probe.stderr.strip()}")
    command = ["unshare", "-n", "sh", "-c", f'{NAMESPACE_SETUP} && exec "$0" "$@"', sys.executable, "-c", script,
               *args]
    env = dict(os.environ, PYTHONPATH=ROOT + os.pathsep + os.environ.get("PYTHONPATH", ""))
    done = subprocess.run(command, capture_output=True, text=True, timeout=timeout, cwd=ROOT, env=env)
    assert done.returncode == 0, done.stderr
    return done.stdout


def session_at(readings, t):
    """The DJ's beat and tempo at ``t``, from its last reading before."""
    k = max(np.searchsorted(readings[:, 0], t, side="right") - 1, 0)
    t0, beat, bpm = readings[k]
    return beat + (t - t0) * bpm / 60, bpm


def test_the_clock_follows_a_djs_tempo_changes_in_phase_and_without_jumps():
    result = json.loads(in_namespace(SHOW, DJ))
    lines = [json.loads(line) for line in result["dj"]]
    changes = [(line["change"], line["bpm"]) for line in lines if "change" in line]
    readings = np.array([(line["t"], line["beat"], line["bpm"]) for line in lines if "t" in line])
    frames = np.array(result["frames"])
    assert [bpm for _, bpm in changes] == [128.0, 140.0, 100.0], "the DJ never saw the show join"
    frames = frames[(frames[:, 0] > readings[0, 0]) & (frames[:, 0] < readings[-1, 0])]
    assert len(frames) > 44 * 6

    errors, tempos = [], []
    for t, position, _ in frames:
        beat, bpm = session_at(readings, t)
        errors.append((position - beat * 64 + 128) % 256 - 128)  # the phase within a bar
        tempos.append(bpm)
    errors, tempos = np.array(errors), np.array(tempos)

    # In phase within a bar of the tempo each change brings, and from then on
    # within 0.05 pip of the session.
    starts = [t for t, _ in changes]
    for (start, bpm), end in zip(changes, starts[1:] + [readings[-1, 0]]):
        settled = (frames[:, 0] > start + 4 * 60 / bpm) & (frames[:, 0] < end - 0.01)
        assert settled.sum() > 10
        worst = np.abs(errors[settled]).max()
        after = frames[:, 0] > start
        off = after & (np.abs(errors) > 0.05) & (frames[:, 0] < end)
        settle = (frames[off, 0].max() - start) if off.any() else 0.0
        print(f"Link at {bpm:g} BPM: settled {settle * 1e3:.0f} ms after the change, then at most {worst:.4f} pip off")
        assert worst <= 0.05, f"{bpm} BPM: {worst:.3f} pip off the session once settled"

    # No frame moves more than the tempos either side of it explain, give or
    # take 0.5 pip: the session's, and the clock's own until news of a
    # change reaches it (Link takes a few milliseconds, sometimes a frame).
    moved = np.diff(frames[:, 1])
    spans = np.diff(frames[:, 0]) * 64 / 60
    either_side = np.stack([tempos[:-1], tempos[1:], frames[:-1, 2], frames[1:, 2]])
    low = spans * either_side.min(axis=0) - 0.5
    high = spans * either_side.max(axis=0) + 0.5
    outside = np.flatnonzero((moved < low) | (moved > high))
    print(f"Link: at most {max((low + 0.5 - moved).max(), (moved - high + 0.5).max()):.3f} pip per frame beyond the tempo")
    assert outside.size == 0, f"frames moving too far: {[(moved[i], low[i], high[i]) for i in outside[:5]]}"


def test_joining_and_leaving_leave_the_clock_running_at_the_session_tempo():
    script = textwrap.dedent(
        """
        import time
        from kinetrope_tools.live import LinkSource, LiveClock
        clock = LiveClock(93.0)
        with LinkSource(clock) as alone:
            time.sleep(0.2)
            alone.set_bpm(111.0)
            time.sleep(0.2)
            print(alone.peers, clock.bpm, clock.running, abs(alone.offset) < 0.001)
        before = clock.position()
        time.sleep(0.1)
        print(clock.bpm, 0 < clock.position() - before < 30)
        """
    )
    assert in_namespace(script).split() == ["0", "111.0", "True", "True", "111.0", "True"]
