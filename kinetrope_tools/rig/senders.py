"""DMX frames on the network: Art-Net (ArtDmx) and sACN (E1.31) senders.

Both send unicast to one configured address by default; broadcast (Art-Net)
and multicast (sACN) only when asked. Every sender follows one contract:
`send(frame)` returns True when every universe went out; a failed send
(OSError) returns False, adds one to `errors` and keeps `last_error`: it
never raises OSError, so a cable pulled mid-show costs frames, not the show.
A frame is {universe: 512 bytes}, sent in universe order, one datagram each.
"""

from __future__ import annotations

import socket
import uuid
from collections.abc import Mapping
from types import TracebackType
from typing import Self

from kinetrope_tools._extras import require

ARTNET_PORT = 6454
SACN_PORT = 5568
ARTNET_LAST_UNIVERSE = 32767  # a 15-bit port-address: net, sub-net, universe
SACN_UNIVERSES = range(1, 64000)


def checked_data(universe: object, data: object) -> bytes:
    if not isinstance(data, (bytes, bytearray, memoryview)):
        raise TypeError(f"universe {universe}: slots must be bytes, not {type(data).__name__}")
    if not 1 <= len(data) <= 512:
        raise ValueError(f"universe {universe}: 1 to 512 slots, not {len(data)}")
    return bytes(data)


class Sender:
    """A UDP socket, the send contract, and the packets of one protocol."""

    port: int

    def __init__(self, address: str, port: int, *, broadcast: bool = False) -> None:
        self.address = address
        self.port = port
        self.errors = 0
        self.last_error: OSError | None = None
        self._socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        if broadcast:
            self._socket.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)

    def packet(self, universe: int, data: bytes) -> bytes:
        raise NotImplementedError

    def destination(self, universe: int) -> tuple[str, int]:
        return (self.address, self.port)

    def send(self, frame: Mapping[int, bytes]) -> bool:
        """Send every universe of `frame`; False (counted) when the network refused."""
        packets = [(self.packet(universe, checked_data(universe, frame[universe])), self.destination(universe))
                   for universe in sorted(frame)]
        try:
            for packet, destination in packets:
                self._socket.sendto(packet, destination)
        except OSError as error:
            self.errors += 1
            self.last_error = error
            return False
        finally:
            self.advance()
        return True

    def advance(self) -> None:
        """Step the sequence number after a frame."""

    def close(self) -> None:
        self._socket.close()

    def __enter__(self) -> Self:
        return self

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 trace: TracebackType | None) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"{type(self).__name__}({self.address!r}, port={self.port}, errors={self.errors})"


class ArtNetSender(Sender):
    """ArtDmx packets (protocol 14) to `address`, port 6454. A rig universe is
    sent as the 15-bit port-address of the same number (net, sub-net and
    universe nibbles: universe 17 is net 0, sub-net 1, universe 1). With
    `broadcast`, `address` may be a broadcast address."""

    def __init__(self, address: str = "127.0.0.1", port: int = ARTNET_PORT, *, broadcast: bool = False) -> None:
        super().__init__(address, port, broadcast=broadcast)
        self._sequence = 1  # 1..255; 0 would tell receivers not to reorder

    def packet(self, universe: int, data: bytes) -> bytes:
        if isinstance(universe, bool) or not isinstance(universe, int) or not 0 <= universe <= ARTNET_LAST_UNIVERSE:
            raise ValueError(f"Art-Net universe must be an int in 0..{ARTNET_LAST_UNIVERSE}, not {universe!r}")
        if len(data) % 2:  # receivers expect an even slot count
            data += b"\0"
        return artdmx(self._sequence, universe, data)

    def advance(self) -> None:
        self._sequence = self._sequence % 255 + 1


def artdmx(sequence: int, universe: int, data: bytes) -> bytes:
    """An ArtDmx packet: id, opcode 0x5000 (low byte first), protocol 14,
    sequence, physical port 0, port-address (low byte first), length (high first)."""
    return (b"Art-Net\0\x00\x50\x00\x0e" + bytes((sequence, 0, universe & 0xFF, universe >> 8))
            + len(data).to_bytes(2, "big") + data)


class SacnSender(Sender):
    """E1.31 data packets to `address`, port 5568, their framing taken from
    the `sacn` library (extra 'rig'). With `multicast`, each universe goes to
    its own multicast group instead (and `address` is not used)."""

    def __init__(self, address: str = "127.0.0.1", port: int = SACN_PORT, *, multicast: bool = False,
                 source_name: str = "kinetrope", priority: int = 100, cid: bytes | None = None,
                 ttl: int = 8) -> None:
        require("sacn", "sacn", "rig", "SacnSender")
        if len(source_name.encode()) > 63:
            raise ValueError("source_name must fit in 63 bytes of UTF-8")
        if not 0 <= priority <= 200:
            raise ValueError(f"priority must be within 0..200, not {priority!r}")
        self._cid = tuple(cid if cid is not None else uuid.uuid4().bytes)
        if len(self._cid) != 16:
            raise ValueError("cid must be 16 bytes")
        super().__init__(address, port)
        self.multicast = multicast
        self.source_name, self.priority = source_name, priority
        if multicast:
            self._socket.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, ttl)
        self._sequence = 0
        self._headers: dict[int, tuple[bytes, int]] = {}  # universe -> (header, sequence offset)

    def _header(self, universe: int) -> tuple[bytes, int]:
        """The 126 bytes before the slots, made once per universe by the library;
        the sequence byte is found as the one byte two sequences change."""
        known = self._headers.get(universe)
        if known is None:
            from sacn.messages.data_packet import DataPacket  # type: ignore[import-untyped,unused-ignore]
            if isinstance(universe, bool) or not isinstance(universe, int) or universe not in SACN_UNIVERSES:
                raise ValueError(f"sACN universe must be an int in 1..63999, not {universe!r}")
            packet = DataPacket(self._cid, self.source_name, universe, (0,) * 512, priority=self.priority)
            first = bytes(packet.getBytes())[:126]
            packet.sequence = 1
            offset = next(index for index, (a, b) in enumerate(zip(first, bytes(packet.getBytes()))) if a != b)
            known = self._headers[universe] = (first, offset)
        return known

    def packet(self, universe: int, data: bytes) -> bytes:
        header, offset = self._header(universe)
        if len(data) < 512:  # the header's lengths are for a full universe
            data = data + bytes(512 - len(data))
        return header[:offset] + bytes((self._sequence,)) + header[offset + 1:] + data

    def destination(self, universe: int) -> tuple[str, int]:
        if self.multicast:
            from sacn.messages.data_packet import calculate_multicast_addr  # type: ignore[import-untyped,unused-ignore]
            return (str(calculate_multicast_addr(universe)), self.port)
        return (self.address, self.port)

    def advance(self) -> None:
        self._sequence = (self._sequence + 1) % 256
