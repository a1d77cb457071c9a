"""The show's OSC output: every fixture's point, each frame, in the bridge's
message form.

For each group and each fixture in it, one message to
``<prefix>/<group>/<n>`` (n from 1) with the pip the frame is at (int32) and
the fixture's x, y, z (float32), the same message ``kinetrope_tools.osc``
sends for a motion. Points are read from the groups at the frame's position
(``ShowFrame.position``), so a desk or a patcher gets the motion itself, not
the DMX it was mapped to.
"""

from __future__ import annotations

import math
from collections.abc import Mapping, Sequence
from typing import Any, Protocol, cast


class PointGroup(Protocol):
    name: str

    def __len__(self) -> int: ...

    def points(self, position: float) -> Any: ...


class ShowFrame(dict[int, bytes]):
    """A frame ({universe: 512 bytes}) that knows the position it was made at."""

    position: float = math.nan


class Placed(tuple[float, float, float]):
    """A point in the shape the bridge's message builder reads (``as_tuple``)."""

    def as_tuple(self) -> tuple[float, float, float]:
        return (self[0], self[1], self[2])


class OscOutput:
    """Sends each frame's points over OSC to ``address:port``; a failed send
    is counted in ``errors`` (``last_error`` keeps it) and never raised."""

    def __init__(self, groups: Sequence[PointGroup], address: str = "127.0.0.1", port: int = 9000,
                 prefix: str = "/kinetrope") -> None:
        from pythonosc.udp_client import UDPClient

        from kinetrope_tools import osc

        self._message = osc.motion_message
        self.groups = list(groups)
        self.prefix = prefix.rstrip("/")
        self.addresses = [[f"{self.prefix}/{group.name}/{n}" for n in range(1, len(group) + 1)]
                          for group in self.groups]
        self.client = UDPClient(address, port)
        self.errors = 0
        self.last_error: OSError | None = None

    def send(self, frame: Mapping[int, bytes]) -> bool:
        position = getattr(frame, "position", math.nan)
        if not math.isfinite(position):
            return True  # a frame without a position (the last, home frame) has no points to send
        pip = math.floor(position)
        try:
            for group, addresses in zip(self.groups, self.addresses):
                for address, point in zip(addresses, group.points(position).tolist()):
                    self.client.send(self._message(address, pip, cast(Any, Placed(point))))
        except OSError as error:
            self.errors += 1
            self.last_error = error
            return False
        return True

    def close(self) -> None:
        self.client.close()

    def __enter__(self) -> OscOutput:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()
