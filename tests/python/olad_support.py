"""OLA's daemon (olad) as a real Art-Net receiver for the tests, inside a
network namespace the test makes itself, so nothing leaves the machine.

A test calls ``unavailable()`` (a reason to skip, or None) and
``olad_config()`` outside the namespace, then runs its body under
``unshare -n`` (``in_namespace``) where ``network_up`` readies the network
and ``running_olad`` starts the daemon, patches input ports of the
protocol's device (Art-Net or E1.31) to universes and records them with
``ola_recorder``; ``recorded_frames`` reads the recording back."""

import contextlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

OLAD_USER = "kinetrope-olad"
PREAMBLE = bytes([0xA5]) * 512  # no rig frame looks like this: marks the warm-up
HERE = Path(__file__).resolve().parent
PLUGINS = ("artnet", "dummy", "e131", "espnet", "ftdidmx", "gpio", "karate", "kinet", "milinst", "opendmx",
           "openpixelcontrol", "osc", "pathport", "renard", "sandnet", "shownet", "spi", "stageprofi", "uartdmx",
           "usbdmx", "usbserial")

# How olad hears each protocol inside the namespace: Art-Net on loopback
# (input ports 1 and 2 hear port-addresses 1 and 2); E1.31 needs an interface
# other than loopback, so a veth pair is made and given a loopback-range address.
SACN_ADDRESS = "127.2.0.1"
PROTOCOLS = {
    "artnet": {"device": "ArtNet", "ports": ("1", "2"), "conf": ("artnet", "use_loopback = true\nip = 127.0.0.1\n"),
               "links": []},
    "sacn": {"device": "E1.31", "ports": ("0", "1"), "conf": ("e131", f"ip = {SACN_ADDRESS}\n"),
             "links": [["ip", "link", "add", "kt0", "type", "veth", "peer", "name", "kt1"],
                       ["ip", "addr", "add", f"{SACN_ADDRESS}/32", "dev", "kt0"],
                       ["ip", "link", "set", "kt0", "up"], ["ip", "link", "set", "kt1", "up"]]},
}


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise RuntimeError(f"timed out waiting for {what}")
        time.sleep(0.05)


def recorded_frames(path):
    """{universe: [slots, ...]} in arrival order from an ola_recorder show file.
    The recorder may be mid-line while this reads, so an unterminated last line
    is left for the next read."""
    frames = {}
    text = Path(path).read_text()
    for line in text[:text.rfind("\n") + 1].splitlines():
        found = re.fullmatch(r"(\d+) (\d+(?:,\d+)*)", line)
        if found:
            frames.setdefault(int(found[1]), []).append(bytes(int(value) for value in found[2].split(",")))
    return frames


def without_preamble(frames):
    """The frames after the warm-up's."""
    start = 0
    while start < len(frames) and frames[start] == PREAMBLE:
        start += 1
    return frames[start:]


def unavailable(protocol="artnet"):
    """Why a daemon test cannot run here, or None."""
    if os.geteuid() != 0:
        return "the olad test must run as root: it creates the unprivileged user olad runs as"
    missing = [tool for tool in ("olad", "ola_patch", "ola_recorder", "ola_dev_info", "unshare", "ip", "runuser")
               if shutil.which(tool) is None]
    if missing:
        return f"missing {', '.join(missing)} (Debian packages ola, util-linux, iproute2)"
    if subprocess.run(["unshare", "-n", "true"], capture_output=True).returncode != 0:
        return "network namespaces are not permitted here (unshare -n failed)"
    if protocol == "sacn" and subprocess.run(["unshare", "-n", *PROTOCOLS["sacn"]["links"][0]],
                                             capture_output=True).returncode != 0:
        return "olad's E1.31 needs an interface besides loopback, and veth pairs are not permitted here"
    return None


def olad_config(protocol="artnet"):
    """A config directory the daemon's user owns: the protocol's plugin on, the other plugins off."""
    if subprocess.run(["id", "-u", OLAD_USER], capture_output=True).returncode != 0:
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", OLAD_USER],
                       check=True)
    config = Path(tempfile.mkdtemp(prefix="kinetrope-olad-"))
    plugin, settings = PROTOCOLS[protocol]["conf"]
    (config / f"ola-{plugin}.conf").write_text("enabled = true\n" + settings)
    for other in PLUGINS:
        if other != plugin:
            (config / f"ola-{other}.conf").write_text("enabled = false\n")
    shutil.chown(config, OLAD_USER)
    for path in config.iterdir():
        shutil.chown(path, OLAD_USER)
    return config


def network_up(protocol="artnet", multicast=False):
    """Inside the namespace: loopback up, the protocol's own links, and
    multicast on loopback when asked (for Link)."""
    commands = [["ip", "link", "set", "lo", "up"], *PROTOCOLS[protocol]["links"]]
    if multicast:
        commands += [["ip", "link", "set", "lo", "multicast", "on"], ["ip", "route", "add", "224.0.0.0/4", "dev", "lo"]]
    for command in commands:
        subprocess.run(command, check=True)


@contextlib.contextmanager
def running_olad(config, recording, universes, sender, protocol="artnet"):
    """Inside the namespace: olad as the test's user, input ports of the
    protocol's device patched to ``universes``, a recorder on them, warmed up
    with PREAMBLE frames sent through ``sender`` until the recorder has one
    of each universe."""
    setup = PROTOCOLS[protocol]
    log = open(Path(config) / "olad.log", "w")
    olad = subprocess.Popen(["runuser", "-u", OLAD_USER, "--", "olad", "-c", str(config), "--no-http",
                             "--no-register-with-dns-sd", "-l", "2"], stdout=log, stderr=log)
    recorder = None
    try:
        device = []

        def device_up():
            listing = subprocess.run(["ola_dev_info"], capture_output=True, text=True, timeout=10).stdout
            device[:] = re.findall(rf"Device (\d+): {re.escape(setup['device'])}", listing)
            return bool(device)
        wait_for(device_up, 30, f"olad's {setup['device']} device")
        for port, universe in zip(setup["ports"], universes):
            subprocess.run(["ola_patch", "-d", device[0], "-p", port, "-i", "-u", str(universe)],
                           check=True, timeout=10)
        recorder = subprocess.Popen(["ola_recorder", "--record", str(recording), "--universes",
                                     ",".join(map(str, universes))], stdout=subprocess.DEVNULL)

        def warmed_up():
            sender.send({universe: PREAMBLE for universe in universes})
            if not os.path.exists(recording):
                return False
            recorded = recorded_frames(recording)
            return all(recorded.get(universe) for universe in universes)
        wait_for(warmed_up, 30, "the recorder's first frame")
        yield
    finally:
        if recorder is not None:
            recorder.send_signal(signal.SIGINT)
            recorder.wait(10)
        olad.terminate()
        olad.wait(10)
        log.close()


def in_namespace(code, config, timeout=180):
    """Runs ``code`` (Python) as root in a new network namespace, with the
    tests and the checkout on its path; raises with the tail of its output
    and of olad's log when it fails."""
    inherited = [path for path in os.environ.get("PYTHONPATH", "").split(os.pathsep) if path]
    paths = [str(HERE.parents[1]), str(HERE), *inherited]
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join(paths))
    run = subprocess.run(["unshare", "-n", sys.executable, "-c", code], env=environment, cwd=HERE.parents[1],
                         capture_output=True, text=True, timeout=timeout)
    log = (Path(config) / "olad.log").read_text() if (Path(config) / "olad.log").exists() else ""
    assert run.returncode == 0, run.stderr[-3000:] + log[-2000:]
    return run.stdout


# OLA's own Python client (Debian package ola-python) runs on the system's
# Python, not the project's; it writes one line per frame olad hands it:
# "<time.monotonic()> <universe> <slots in hex>". Both interpreters read
# the same monotonic clock, so the times compare with the test's own.
SYSTEM_PYTHON = "/usr/bin/python3"

def recorded_in_namespace(code, config, recording):
    """Runs ``code`` with ``in_namespace`` and returns what the recorder kept,
    removing olad's configuration folder afterwards whatever happened."""
    try:
        in_namespace(code, config)
        return recorded_frames(recording)
    finally:
        shutil.rmtree(config, ignore_errors=True)


RECEIVER = """
import sys, time
from ola.ClientWrapper import ClientWrapper
universes, seconds, path = [int(u) for u in sys.argv[1].split(",")], float(sys.argv[2]), sys.argv[3]
out = open(path, "w", buffering=1)  # whole lines, whenever it is stopped
wrapper = ClientWrapper()
client = wrapper.Client()
def keeper(universe):
    def keep(data):
        out.write("%.6f %d %s\\n" % (time.monotonic(), universe, bytes(data).hex()))
    return keep
for universe in universes:
    client.RegisterUniverse(universe, client.REGISTER, keeper(universe))
wrapper.AddEvent(int(seconds * 1000), wrapper.Stop)
print("ready", flush=True)
wrapper.Run()
out.close()
"""


def receiver_unavailable():
    """Why OLA's Python client cannot be used here, or None."""
    found = subprocess.run([SYSTEM_PYTHON, "-c", "import ola.ClientWrapper"], capture_output=True)
    return None if found.returncode == 0 else "OLA's Python client is missing (Debian package ola-python)"


def start_receiver(universes, seconds, path):
    """OLA's client registered for ``universes`` for ``seconds``, writing to
    ``path``; returns once it is listening."""
    receiver = subprocess.Popen([SYSTEM_PYTHON, "-c", RECEIVER, ",".join(map(str, universes)), str(seconds),
                                 str(path)], stdout=subprocess.PIPE, text=True)
    line = receiver.stdout.readline()
    if line.strip() != "ready":
        receiver.kill()
        raise RuntimeError("OLA's client did not start")
    return receiver


def received_frames(path):
    """[(monotonic seconds, universe, slots)] from a receiver's file."""
    rows = []
    for line in Path(path).read_text().splitlines():
        moment, universe, slots = line.split(" ")
        rows.append((float(moment), int(universe), bytes.fromhex(slots)))
    return rows
