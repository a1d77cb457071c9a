"""Plain checks on a sampled loop, shown on its panel and printed by the
command, so that a table that breaks the motion conventions stands out."""

from __future__ import annotations

import numpy as np

AXES = "xyz"


def out_of_range(table: np.ndarray) -> list[str]:
    """Coordinates outside [-1, 1]."""
    peak = np.abs(table).max(axis=0)
    return [f"{AXES[a]} reaches {peak[a]:.3f}" for a in range(3) if peak[a] > 1.0]


def stray_axes(table: np.ndarray, dims: int) -> list[str]:
    """Axes past the declared dimensions that are not exactly 0."""
    return [f"{AXES[a]} moves but dims={dims}" for a in range(dims, 3) if np.any(table[:, a] != 0.0)]


def idle_axes(table: np.ndarray, dims: int) -> list[str]:
    """A motion that never moves, or one whose last declared axis stays at 0
    all loop (its dimensions say more axes than it uses). A lower axis at 0
    is no fault: a motion along y alone has dims=2."""
    last = dims - 1
    if np.any(table[:, last] != 0.0):
        return []
    return [f"{AXES[last]} never moves" + (f" but dims={dims}" if dims > 1 else "")]


def seam_jump(table: np.ndarray) -> list[str]:
    """A step across the loop's wrap larger than every step inside the loop."""
    if len(table) < 3:
        return []
    inner = np.abs(np.diff(table, axis=0)).max()
    wrap = np.abs(table[0] - table[-1]).max()
    if wrap > inner + 1e-12:
        return [f"seam jump {wrap:.3f} (largest inner step {inner:.3f})"]
    return []


def findings(table: np.ndarray, dims: int) -> list[str]:
    """Everything notable about one loop, most serious first."""
    return out_of_range(table) + stray_axes(table, dims) + seam_jump(table) + idle_axes(table, dims)
