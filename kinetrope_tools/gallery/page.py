"""The self-contained preview page: the template with every selected motion's
catalogue row and loop table embedded.

Tables are embedded as one base64 string of little-endian float32 values, only
the axes a motion declares, pip after pip; the page reads a motion at a pip
from it exactly as the module reads its table (the pip folded into the
period). float32 keeps the full catalogue near 14 MB and positions within
1e-7 of the module's doubles.
"""

from __future__ import annotations

import base64
import json
from pathlib import Path
from typing import Any, Sequence

import numpy as np

from .marks import time_axis
from .motions import PACKS, PIPS_PER_BEAT, Motion

TEMPLATE = Path(__file__).with_name("page.html")
DATA_MARK = "/*KINETROPE_GALLERY_DATA*/"


def pack_tables(motions: Sequence[Motion], tables: Sequence[np.ndarray]) -> tuple[list[int], bytes]:
    """Concatenated float32 values of each motion's declared axes, and each motion's start offset."""
    offsets, parts, cursor = [], [], 0
    for motion, table in zip(motions, tables):
        values = np.ascontiguousarray(table[:, : motion.dims], dtype="<f4")
        offsets.append(cursor)
        cursor += values.size
        parts.append(values.tobytes())
    return offsets, b"".join(parts)


def page_data(motions: Sequence[Motion], tables: Sequence[np.ndarray]) -> dict[str, Any]:
    offsets, blob = pack_tables(motions, tables)
    families = list(dict.fromkeys(m.family for m in motions))
    packs = [p for p in PACKS if any(m.pack == p for m in motions)]
    return {
        "pipsPerBeat": PIPS_PER_BEAT,
        "packs": packs,
        "families": families,
        "motions": [
            {
                "name": m.name,
                "description": m.description,
                "period": m.period,
                "dims": m.dims,
                "pack": m.pack,
                "family": m.family,
                "offset": offset,
                "timeAxis": time_axis(table, m.dims),  # drawn against time along this axis, or null
            }
            for m, table, offset in zip(motions, tables, offsets)
        ],
        "values": base64.b64encode(blob).decode("ascii"),
    }


def script_safe_json(data: dict[str, Any]) -> str:
    """JSON that cannot end the <script> element it is embedded in."""
    return json.dumps(data, separators=(",", ":"), ensure_ascii=True).replace("</", "<\\/")


def build_page(motions: Sequence[Motion], tables: Sequence[np.ndarray]) -> str:
    template = TEMPLATE.read_text(encoding="utf-8")
    if template.count(DATA_MARK) != 1:
        raise RuntimeError(f"{TEMPLATE} must hold the data mark exactly once")
    return template.replace(DATA_MARK, script_safe_json(page_data(motions, tables)))


def write_page(motions: Sequence[Motion], tables: Sequence[np.ndarray], target: Path) -> Path:
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_text(build_page(motions, tables), encoding="utf-8")
    return target
