"""Headless Chromium driven over the DevTools protocol, for screenshots of the
preview page and the gallery and for reading a page's own state (the
benchmarks and the tests use it). Spoken over ``--remote-debugging-pipe``: JSON messages ended
by a NUL byte, commands on the child's fd 3, replies on its fd 4; no port is
opened and no package beyond the standard library is needed.
"""

from __future__ import annotations

import base64
import json
import os
import select
import shutil
import subprocess
import tempfile
import time
from pathlib import Path
from types import TracebackType
from typing import Any

# Tabs in the background must keep receiving and drawing like the one in front.
FLAGS = (
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run",
    "--no-default-browser-check", "--disable-background-timer-throttling",
    "--disable-renderer-backgrounding", "--disable-backgrounding-occluded-windows",
    "--hide-scrollbars", "--force-device-scale-factor=1",
)


def find_chromium() -> str | None:
    return shutil.which("chromium") or shutil.which("chromium-browser") or shutil.which("google-chrome")


class Chromium:
    """One headless browser; ``open(url)`` gives a tab."""

    def __init__(self, executable: str | None = None, size: tuple[int, int] = (1280, 860)) -> None:
        executable = executable or find_chromium()
        if executable is None:
            raise FileNotFoundError("chromium is not installed (apt-get install chromium)")
        self.profile = tempfile.TemporaryDirectory(prefix="kinetrope-chromium-", ignore_cleanup_errors=True)
        commands_read, self.commands = os.pipe()
        self.replies, replies_write = os.pipe()

        def wire_pipes() -> None:
            os.dup2(commands_read, 3)
            os.dup2(replies_write, 4)

        self.process = subprocess.Popen(
            [executable, *FLAGS, "--remote-debugging-pipe", f"--window-size={size[0]},{size[1]}",
             f"--user-data-dir={self.profile.name}", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=wire_pipes, pass_fds=(3, 4),
        )
        os.close(commands_read)
        os.close(replies_write)
        self.size = size
        self.buffer = b""
        self.events: list[dict[str, Any]] = []
        self.next_id = 0

    def close(self) -> None:
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.commands)
        os.close(self.replies)
        self.profile.cleanup()

    def __enter__(self) -> Chromium:
        return self

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 traceback: TracebackType | None) -> None:
        self.close()

    def receive(self, deadline: float) -> dict[str, Any]:
        while b"\0" not in self.buffer:
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([self.replies], [], [], remaining)[0]:
                raise TimeoutError("no reply from chromium")
            chunk = os.read(self.replies, 1 << 16)
            if not chunk:
                raise ConnectionError("chromium closed the pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        reply: dict[str, Any] = json.loads(message)
        return reply

    def call(self, method: str, session: str | None = None, timeout: float = 30, **params: Any) -> Any:
        self.next_id += 1
        message: dict[str, Any] = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            reply = self.receive(deadline)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply["result"]
            if len(self.events) < 1000:  # events nobody waits for are kept only so far
                self.events.append(reply)

    def wait_for_event(self, method: str, timeout: float = 60) -> dict[str, Any]:
        """The first event named ``method``, kept or yet to come."""
        deadline = time.monotonic() + timeout
        while True:
            for index, event in enumerate(self.events):
                if event.get("method") == method:
                    return self.events.pop(index)
            self.events.append(self.receive(deadline))

    def open(self, url: str) -> Tab:
        return Tab(self, url)


class Tab:
    """One page of the browser, in a window of its own."""

    def __init__(self, browser: Chromium, url: str) -> None:
        self.browser = browser
        width, height = browser.size
        target = browser.call("Target.createTarget", url="about:blank", newWindow=True,
                              width=width, height=height)["targetId"]
        self.session = browser.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1, mobile=False)
        self.call("Page.navigate", url=url)

    def call(self, method: str, **params: Any) -> Any:
        return self.browser.call(method, session=self.session, **params)

    def evaluate(self, expression: str) -> Any:
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_until(self, expression: str, timeout: float = 30) -> Any:
        """The first true value of ``expression``, tried every 50 ms."""
        deadline = time.monotonic() + timeout
        while not (value := self.evaluate(expression)):
            if time.monotonic() > deadline:
                raise TimeoutError(expression)
            time.sleep(0.05)
        return value

    def screenshot(self, path: Path | str | None = None) -> bytes:
        """The page as PNG bytes (also written to ``path`` when given)."""
        png = base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"])
        if path is not None:
            Path(path).write_bytes(png)
        return png
