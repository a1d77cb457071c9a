"""The preview output: a small web server in a thread of its own, with its
own asyncio loop, that serves the page and feeds every watching page the
latest frame over a WebSocket.

The frame driver's thread only hands frames over (``send`` stores the frame
and wakes the loop; it never waits on a page). Each page gets at most the
show's frames, latest first: a page may hold at most ``WINDOW`` frames it has
not acknowledged yet; a frame that comes while its window is full is replaced
by the next one, so a slow page sees fewer frames, never older ones, and
nothing queues up for it. Frames are decoded only when some page takes them.
"""

from __future__ import annotations

import asyncio
import errno
import ipaddress
import json
import logging
import math
import numbers
import threading
from collections import deque
from collections.abc import Mapping
from http import HTTPStatus
from pathlib import Path
from types import TracebackType
from typing import Any
from urllib.parse import urlsplit

from websockets.asyncio.server import Server, ServerConnection, serve
from websockets.datastructures import Headers
from websockets.exceptions import ConnectionClosed
from websockets.http11 import Request, Response

from .scene import FrameEncoder, layout_message, place

PAGE = Path(__file__).with_name("page.html")
PAGE_PATH = "/"
SOCKET_PATH = "/ws"
WINDOW = 2  # frames a page may hold unacknowledged
MAX_PAGES = 16
MAX_PAGE_MESSAGE = 1024  # a page only sends short acknowledgements
START_TIMEOUT = 10.0
# A browser may open a connection ahead of need and send nothing on it;
# closing waits for such connections, so they are not kept long.
OPEN_TIMEOUT = 2.0
STOP_TIMEOUT = 5.0

log = logging.getLogger(__name__)


def finite(value: Any) -> Any:
    """``value`` as plain JSON values: numbers of any kind as int or float,
    every non-finite one as None (JSON has no NaN)."""
    if isinstance(value, bool) or value is None or isinstance(value, str):
        return value
    if isinstance(value, numbers.Integral):
        return int(value)
    if isinstance(value, numbers.Real):
        number = float(value)
        return number if math.isfinite(number) else None
    if isinstance(value, Mapping):
        return {str(k): finite(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [finite(v) for v in value]
    return value


def status_message(info: Mapping[str, Any]) -> str:
    return json.dumps({"type": "status", **finite(dict(info))}, separators=(",", ":"), default=str)


STOPPED_MESSAGE = json.dumps({"type": "stopped"})


def host_for_url(host: str) -> str:
    return f"[{host}]" if ":" in host else host


def unspecified_version(host: str) -> int | None:
    """4 or 6 when ``host`` means every address of the machine (the empty
    name too), else None."""
    if not host:
        return 4
    try:
        address = ipaddress.ip_address(host)
    except ValueError:
        return None
    return address.version if address.is_unspecified else None


def page_host(host: str) -> str:
    """The name the page's address uses: this machine's loopback when the
    server listens on every address."""
    version = unspecified_version(host)
    if version is None:
        return host_for_url(host)
    return "127.0.0.1" if version == 4 else "localhost"


def allowed_hosts(host: str, port: int) -> frozenset[str] | None:
    """Host header values the server answers (None: any, when listening on every address).
    Refusing other names keeps pages of other sites from reaching the server
    through a name that happens to resolve to this machine."""
    if unspecified_version(host) is not None:
        return None
    names = {host_for_url(host), "localhost"}
    return frozenset(f"{name}:{port}" for name in names)


def page_response(page: bytes, host: str) -> Response:
    headers = Headers([
        ("Content-Type", "text/html; charset=utf-8"),
        ("Content-Length", str(len(page))),
        ("Cache-Control", "no-store"),
        ("Connection", "close"),
        ("Content-Security-Policy",
         "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:; "
         f"connect-src ws://{host}"),
    ])
    return Response(HTTPStatus.OK.value, HTTPStatus.OK.phrase, headers, page)


class Page:
    """One watching page: what it was sent and what it acknowledged."""

    def __init__(self, serial: int, connection: ServerConnection) -> None:
        self.serial = serial
        self.connection = connection
        self.wake = asyncio.Event()
        self.in_flight: deque[int] = deque()
        self.last_number: int | None = None
        self.status_version = 0
        self.sent = 0
        self.dropped = 0
        self.reported: dict[str, Any] = {}

    def acknowledge(self, text: str | bytes) -> None:
        try:
            report = json.loads(text)
            number = int(report["ack"])
        except (ValueError, TypeError, KeyError, OverflowError):
            return
        while self.in_flight and self.in_flight[0] <= number:
            self.in_flight.popleft()
        self.reported = {k: report[k] for k in ("received", "missed", "fps") if isinstance(report.get(k), (int, float))}
        self.wake.set()

    def statistics(self) -> dict[str, Any]:
        return {"page": self.serial, "sent": self.sent, "dropped": self.dropped, **self.reported}


class PreviewServer:
    """The loop thread's side: pages, the latest frame and status, the server."""

    def __init__(self, rig: Any, page: bytes) -> None:
        placed = place(rig)
        self.encoder = FrameEncoder(rig, placed)
        self.layout = layout_message(placed)
        self.page = page
        self.pages: set[Page] = set()
        self.served = 0  # pages that ever watched
        self.frame: Mapping[int, bytes] | None = None
        self.position = math.nan
        self.number = -1
        self.message = b""
        self.message_number = -1
        self.status = ""
        self.status_version = 0
        self.hosts: frozenset[str] | None = None
        self.server: Server | None = None

    async def start(self, host: str, port: int) -> int:
        self.server = await serve(
            self.watch, host, port, process_request=self.answer, compression=None,
            max_size=MAX_PAGE_MESSAGE, max_queue=4, open_timeout=OPEN_TIMEOUT, close_timeout=1,
        )
        bound = self.server.sockets[0].getsockname()[1]
        self.hosts = allowed_hosts(host, bound)
        return int(bound)

    def answer(self, connection: ServerConnection, request: Request) -> Response | None:
        """The page on /, the WebSocket on /ws (same origin only), nothing else."""
        host = request.headers.get("Host", "")
        if self.hosts is not None and host not in self.hosts:
            return connection.respond(HTTPStatus.MISDIRECTED_REQUEST, "Unknown host.\n")
        path = urlsplit(request.path).path
        if path == PAGE_PATH:
            return page_response(self.page, host)
        if path != SOCKET_PATH:
            return connection.respond(HTTPStatus.NOT_FOUND, "Not found.\n")
        origin = request.headers.get("Origin")
        if origin is not None and urlsplit(origin).netloc != host:
            return connection.respond(HTTPStatus.FORBIDDEN, "Other origins may not watch.\n")
        if len(self.pages) >= MAX_PAGES:
            return connection.respond(HTTPStatus.SERVICE_UNAVAILABLE, "Too many pages watching.\n")
        return None

    def publish(self, number: int, frame: Mapping[int, bytes] | None, position: float, status: str,
                status_version: int) -> None:
        """New frame and/or status from the driver's side: wake every page."""
        if frame is not None and number > self.number:
            self.number, self.frame, self.position = number, frame, position
        if status_version > self.status_version:
            self.status, self.status_version = status, status_version
        for page in self.pages:
            page.wake.set()

    def latest_message(self) -> bytes:
        if self.message_number != self.number and self.frame is not None:
            self.message = self.encoder.encode(self.number, self.frame, self.position)
            self.message_number = self.number
        return self.message

    async def send_frame(self, page: Page) -> None:
        message = self.latest_message()
        if page.last_number is not None:
            page.dropped += self.number - page.last_number - 1
        page.last_number = self.number
        page.in_flight.append(self.number & 0xFFFFFFFF)
        page.sent += 1
        await page.connection.send(message)

    async def feed(self, page: Page) -> None:
        while True:
            await page.wake.wait()
            page.wake.clear()
            if len(page.in_flight) >= WINDOW:  # a page that stopped reading is sent nothing more
                continue
            if page.status_version != self.status_version:
                page.status_version = self.status_version
                await page.connection.send(self.status)
            if self.frame is not None and page.last_number != self.number:
                await self.send_frame(page)

    async def watch(self, connection: ServerConnection) -> None:
        self.served += 1
        page = Page(self.served, connection)
        self.pages.add(page)
        feeder = None
        try:
            await connection.send(self.layout)
            page.wake.set()
            feeder = asyncio.create_task(self.feed(page))
            async for message in connection:
                page.acknowledge(message)
        except ConnectionClosed:
            pass
        finally:
            self.pages.discard(page)
            if feeder is not None:
                feeder.cancel()
                await asyncio.gather(feeder, return_exceptions=True)

    async def say_goodbye(self, page: Page) -> None:
        """The last frame if the page lacks it, then the message that the show stopped."""
        try:
            if self.frame is not None and page.last_number != self.number:
                await self.send_frame(page)
            await page.connection.send(STOPPED_MESSAGE)
        except ConnectionClosed:
            pass

    async def stop(self) -> None:
        if self.pages:
            await asyncio.wait([asyncio.create_task(self.say_goodbye(p)) for p in list(self.pages)], timeout=1.0)
        if self.server is not None:
            self.server.close(reason="show stopped")
            try:
                await asyncio.wait_for(self.server.wait_closed(), STOP_TIMEOUT)
            except TimeoutError:
                log.warning("preview pages did not close in time")

    def statistics(self) -> list[dict[str, Any]]:
        return [page.statistics() for page in self.pages]


class PreviewOutput:
    """An output that shows the rig in a browser: ``send(frame)`` as every
    output, ``url`` of the page, ``status(info)`` for the page's readouts."""

    def __init__(self, rig: Any, host: str = "127.0.0.1", port: int = 0) -> None:
        self.errors = 0
        self.last_error: OSError | None = None
        self.frames = 0
        self._lock = threading.Lock()
        self._frame: Mapping[int, bytes] | None = None
        self._position = math.nan
        self._status = ""
        self._status_version = 0
        self._wake_pending = False
        self._closed = False
        self._server = PreviewServer(rig, PAGE.read_bytes())
        self._loop = asyncio.new_event_loop()
        self._thread = threading.Thread(target=self._loop.run_forever, name="kinetrope-preview", daemon=True)
        try:
            started = asyncio.run_coroutine_threadsafe(self._server.start(host, port), self._loop)
            self._thread.start()
            self.port = started.result(START_TIMEOUT)
        except BaseException:
            self._closed = True
            self._stop_loop()
            raise
        self.host = host
        self.url = f"http://{page_host(host)}:{self.port}{PAGE_PATH}"

    def send(self, frame: Mapping[int, bytes]) -> bool:
        """Hand a frame to the pages; never waits on them. False once closed.
        A frame's ``position`` attribute (pips), where it has one, goes with it."""
        position = getattr(frame, "position", None)
        with self._lock:
            if self._closed:
                return self._failed(OSError(errno.EBADF, "preview output is closed"))
            self.frames += 1
            # Bytes as they are now: a sender may reuse a mutable buffer for its next frame.
            self._frame = {universe: bytes(data) for universe, data in frame.items()}
            self._position = position if isinstance(position, (int, float)) else math.nan
            return self._wake()

    def status(self, info: Mapping[str, Any]) -> None:
        """Tempo, bar, beat, clock source and frame statistics for the page's readouts."""
        message = status_message(info)
        with self._lock:
            if self._closed:
                return
            self._status = message
            self._status_version += 1
            self._wake()

    def pages(self) -> list[dict[str, Any]]:
        """Per watching page: its serial number, frames sent and dropped, and
        what the page reports (frames received, missed, frames per second)."""
        if self._closed:
            return []
        future = asyncio.run_coroutine_threadsafe(self._snapshot(), self._loop)
        return future.result(START_TIMEOUT)

    async def _snapshot(self) -> list[dict[str, Any]]:
        return sorted(self._server.statistics(), key=lambda page: page["page"])

    def _failed(self, error: OSError) -> bool:
        self.errors += 1
        self.last_error = error
        return False

    def _wake(self) -> bool:
        if not self._wake_pending:
            self._wake_pending = True
            self._loop.call_soon_threadsafe(self._publish)
        return True

    def _publish(self) -> None:
        with self._lock:
            self._wake_pending = False
            number, frame, position = self.frames, self._frame, self._position
            status, version = self._status, self._status_version
        self._server.publish(number, frame, position, status, version)

    def close(self) -> None:
        """Tell the pages the show stopped, close them and the server, end the thread."""
        with self._lock:
            if self._closed:
                return
            self._closed = True
        try:
            asyncio.run_coroutine_threadsafe(self._server.stop(), self._loop).result(STOP_TIMEOUT + 2)
        except Exception:  # noqa: BLE001 - closing must finish whatever the pages did
            log.warning("preview server did not stop cleanly", exc_info=True)
        self._stop_loop()

    def _stop_loop(self) -> None:
        if self._thread.is_alive():
            self._loop.call_soon_threadsafe(self._loop.stop)
            self._thread.join(STOP_TIMEOUT)
        if not self._loop.is_running():
            self._loop.close()

    def __enter__(self) -> PreviewOutput:
        return self

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 traceback: TracebackType | None) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"PreviewOutput({self.url!r}, frames={self.frames}, errors={self.errors})"
