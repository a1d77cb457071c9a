"""Write the fuzz seed corpus: the edge cases of the unit tests, encoded as fuzz input.

The encoding mirrors FuzzInput in fuzz_input.hpp: a target byte first, then
bytes, little-endian numbers, length-prefixed texts and one-byte value codes.

    python fuzz/make_seeds.py   # rewrites fuzz/corpus/
"""

from __future__ import annotations

import math
import struct
from pathlib import Path

CORPUS = Path(__file__).with_name("corpus")
SAMPLE, RECORDING, PATTERN, LIBRARY = range(4)
EDGE_VALUES = [math.nan, math.inf, -math.inf, 1.0000000000000002, -1.0000000000000002, -0.0,
               120.0, -120.0, 1e-308, 1e-300, 3.3376107877608025e-307, 3.3376107877608020e-307]


def u(value: int, size: int) -> bytes:
    return (value % (1 << (8 * size))).to_bytes(size, "little")


def pip(value: int) -> bytes:
    return u(value, 4)


def text(value: str | bytes) -> bytes:
    raw = value.encode() if isinstance(value, str) else value
    return bytes([len(raw)]) + raw


def value(v: float) -> bytes:
    for index, edge in enumerate(EDGE_VALUES):
        if struct.pack("<d", edge) == struct.pack("<d", v):
            return bytes([201 + index])
    code = v * 80 + 100
    if -1.25 <= v <= 1.25 and code == int(code) and struct.pack("<d", v) != struct.pack("<d", -0.0):
        return bytes([int(code)])
    return b"\xff" + struct.pack("<d", v)


def sample_by_name(name: str | bytes, at: int) -> bytes:
    return bytes([SAMPLE, 0]) + text(name) + pip(at)


def sample_by_row(row: int, at: int, mutation: int = 1) -> bytes:
    return bytes([SAMPLE, mutation]) + u(row, 2) + (b"\x00\x7a" if mutation == 3 else b"") + pip(at)


def recording(name: str, axes: list[str], rows: list[list[float]], bpm: float = 120.0,
              beat_zero: float = 0.0, start: int = 0, probe: int = 0, flat: bool = False) -> bytes:
    out = bytes([RECORDING, int(flat)]) + text(name) + bytes([len(axes)]) + b"".join(map(text, axes))
    out += bytes([len(rows)])
    for row in rows:
        out += (b"\x00" if len(row) == len(axes) else bytes([240 + len(row)])) + b"".join(map(value, row))
    out += value(bpm) + value(beat_zero) + b"\x00" + pip(start)
    return out + b"\x01" + pip(probe)


def samples(triples: list[tuple[float, float, float]], repeat: int = 0) -> bytes:
    out = bytes([len(triples)]) + b"".join(value(v) for t in triples for v in t)
    return out + (b"\xff" + u(repeat - 1, 2) if repeat else b"\x00")


def pattern(name: str | bytes, description: str | bytes, triples, repeat: int = 0, at: int = 0) -> bytes:
    return bytes([PATTERN]) + text(name) + text(description) + samples(triples, repeat) + pip(at)


def library(members: list[bytes], fill: int = 0, other: str = "bounce", at: int = 5) -> bytes:
    return bytes([LIBRARY, len(members)]) + b"".join(members) + bytes([fill]) + pip(at) + text(other)


def own(name: str, triples, repeat: int = 0) -> bytes:
    return b"\x00" + text(name) + text("") + samples(triples, repeat)


def copy_of_default(row: int, flaw: int = 0) -> bytes:
    return b"\x01" + u(row, 2) + bytes([flaw, 3])


WAVE = [(0.5, 0.0, 0.0), (0.0, 0.5, 0.0)]
SEEDS = {
    "sample_bounce": sample_by_name("bounce", 17),
    "sample_unknown": sample_by_name("no_such", 0),
    "sample_not_utf8": sample_by_name(b"\xff", 0),
    "sample_first_row_max_pip": sample_by_row(0, 2**31 - 1),
    "sample_row_min_pip": sample_by_row(15, -2**31),
    "sample_last_row": sample_by_row(0xFFFF, -1),
    "sample_truncated_name": sample_by_row(3, 64, mutation=2),
    "sample_inserted_byte": sample_by_row(20, 64, mutation=3),
    "recording_one_cell": recording("rec", ["x"], [[0.5]], probe=1),
    "recording_start_100": recording("rec", ["x", "y"], [[0.5, -0.5]] * 3, start=100, probe=103),
    "recording_negative_start": recording("rec", ["x"], [[1.0], [-1.0]], start=-5, probe=-5, flat=True),
    "recording_last_pip": recording("rec", ["x"], [[0.0]], start=2**31 - 2, probe=2**31 - 2),
    "recording_past_last_pip": recording("rec", ["x"], [[0.0], [0.0]], start=2**31 - 2),
    "recording_duplicate_axis": recording("rec", ["x", "y", "x"], [[0.0, 0.0, 0.0]]),
    "recording_upper_axis": recording("rec", ["x", "Y"], [[0.0, 0.0]]),
    "recording_no_axes": recording("rec", [], [[]]),
    "recording_ragged": recording("rec", ["x", "y"], [[0.5, 0.5], [0.5]], flat=True),
    "recording_bad_before_ragged": recording("rec", ["x", "y"], [[1.5, 0.0], [0.5]]),
    "recording_nan": recording("rec", ["x"], [[math.nan]]),
    "recording_tempo_overflow": recording("rec", ["x"], [[0.0]], bpm=1e-308),
    "recording_tempo_tiny": recording("rec", ["x"], [[0.0]], bpm=1e-300, beat_zero=-1.0),
    "recording_bad_name_and_tempo": recording("Rec", ["x"], [[0.0]], bpm=math.nan),
    "pattern_wave": pattern("wave_a", "A", WAVE, at=3),
    "pattern_empty": pattern("wave", "", []),
    "pattern_upper_name": pattern("Wave", "", WAVE),
    "pattern_bad_name_no_samples": pattern("1a", "", []),
    "pattern_longest_name": pattern("a" * 128, "", WAVE),
    "pattern_name_too_long": pattern("a" * 129, "", WAVE),
    "pattern_most_samples": pattern("long", "", [(0.0, 0.0, 0.25)], repeat=65534, at=2**31 - 1),
    "pattern_too_many_samples": pattern("long", "", [(2.0, 0.0, 0.0)], repeat=65535),
    "pattern_just_over_one": pattern("edge", "", [(0.0, 1.0000000000000002, 0.0)]),
    "pattern_negative_zero_z": pattern("edge", b"\xff", [(-1.0, 0.0, -0.0), (1.0, 0.0, 0.0)], at=-2**31),
    "library_empty": library([]),
    "library_two_patterns": library([own("p1", WAVE), own("p2", [(0.0, 0.0, 1.0)])], other="p3"),
    "library_copy_of_bounce": library([copy_of_default(0)]),
    "library_spoilt_bounce": library([copy_of_default(0, flaw=2)]),
    "library_bounce_other_text": library([copy_of_default(0, flaw=1)]),
    "library_bounce_longer": library([copy_of_default(0, flaw=3)]),
    "library_duplicate": library([own("my_pattern", WAVE), b"\x02\x00" + text("") + samples(WAVE)]),
    "library_moved_from": library([own("p1", WAVE), b"\x03"]),
    "library_full": library([own("p1", WAVE)], fill=252),
    "library_one_too_many": library([b"\x03"], fill=255),
}


def main() -> None:
    CORPUS.mkdir(exist_ok=True)
    for old in CORPUS.glob("*"):
        old.unlink()
    for name, data in SEEDS.items():
        (CORPUS / name).write_bytes(data)


if __name__ == "__main__":
    main()
