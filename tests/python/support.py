"""Small helpers shared by the Python tests."""

import struct


def bits(*values: float) -> bytes:
    """Exact identity of doubles, the sign of zero included."""
    return struct.pack(f"<{len(values)}d", *values)


class Index:
    """An integer-like object that is not an int: only __index__."""

    def __init__(self, value: int) -> None:
        self.value = value

    def __index__(self) -> int:
        return self.value
