"""The built-in tables reach the module byte for byte as the generator's rules
give them: every table, read through the module, hashes to the digest the
generator wrote from the same rules (the values as read back from their
twelve-decimal text), and the module has exactly the generator's patterns, in
its order.

The digest list is a build product: it is looked for in the build directory
given by KINETROPE_BUILD_DIR, else beside the module when that is an
uninstalled build, else in build/py312 (scripts/build.sh).
"""

from __future__ import annotations

import hashlib
import os
from pathlib import Path

import numpy as np
import pytest

import kinetrope
from kinetrope_tools import render

ROOT = Path(__file__).resolve().parents[2]
DIGESTS = Path("packs") / "generated" / "table_digests.tsv"


def digest_list_path() -> Path | None:
    module_build = Path(kinetrope.__file__).resolve().parent.parent
    candidates = [Path(os.environ["KINETROPE_BUILD_DIR"])] if "KINETROPE_BUILD_DIR" in os.environ else []
    candidates += [module_build, ROOT / "build" / "py312"]
    return next((c / DIGESTS for c in candidates if (c / DIGESTS).is_file()), None)


def read_digests() -> list[tuple[str, str]]:
    path = digest_list_path()
    if path is None:
        return []
    rows = [line.split("\t") for line in path.read_text(encoding="ascii").splitlines() if not line.startswith("#")]
    return [(name, digest) for name, digest in rows]


DIGEST_ROWS = read_digests()
needs_digests = pytest.mark.skipif(not DIGEST_ROWS, reason="no table_digests.tsv: build with scripts/build.sh")


def table_digest(name: str, period: int) -> str:
    rows = render(name, range(period))
    assert rows.dtype == np.float64 and rows.shape == (period, 3)
    return hashlib.sha256(np.ascontiguousarray(rows).astype("<f8", copy=False).tobytes()).hexdigest()


@needs_digests
def test_the_module_has_the_generators_patterns_in_its_order():
    sampled = [row["name"] for row in kinetrope.catalogue()][-len(DIGEST_ROWS):]
    assert sampled == [name for name, _ in DIGEST_ROWS]


@needs_digests
def test_every_table_matches_its_digest():
    periods = {row["name"]: row["period_pips"] for row in kinetrope.catalogue()}
    differing = [name for name, digest in DIGEST_ROWS if table_digest(name, periods[name]) != digest]
    assert differing == [], f"{len(differing)} tables differ from their rules, first {differing[:5]}"


@needs_digests
@pytest.mark.parametrize("pip_shift", [-3, 1, 7])
def test_a_whole_loop_away_reads_the_same_table(pip_shift):
    # The samplers wrap into the linked table at both ends: a table read a
    # whole number of loops away, forwards or backwards, hashes the same.
    periods = {row["name"]: row["period_pips"] for row in kinetrope.catalogue()}
    for name, digest in DIGEST_ROWS[:: max(1, len(DIGEST_ROWS) // 40)]:
        period = periods[name]
        rows = render(name, range(pip_shift * period, (pip_shift + 1) * period))
        assert hashlib.sha256(rows.astype("<f8").tobytes()).hexdigest() == digest, name
