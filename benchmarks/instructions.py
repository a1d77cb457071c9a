"""Count the instructions of one position call with callgrind, as ratios to
the floor extension's call of the same kind (see bench.py): exact and
repeatable whatever else the machine is doing, where wall-clock ratios on a
shared machine move by +-0.15.

Each call is run N times in one interpreter under callgrind, and so is a
statement that does nothing (`None`); the difference of the two totals
divided by N is the cost of one call, with start-up and the loop cancelled
out.

    python benchmarks/instructions.py [--calls 20000]
"""

from __future__ import annotations

import argparse
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path
from typing import Any

sys.path.insert(0, str(Path(__file__).resolve().parent))
from bench import FLOOR_CALLS, PIP, ROOT, build_floor  # noqa: E402

# String hashing is seeded per process, which moves the cost of the
# interpreter's dict lookups from run to run; a fixed seed keeps the counts
# comparable.
FIXED_HASHING = {**os.environ, "PYTHONHASHSEED": "0"}

PROGRAM = """
import sys
sys.path.insert(0, {floor_dir!r})
import kinetrope, kinetrope_floor
table = [((i % 64) / 64.0, 0.0, 0.0) for i in range(256)]
patterns = [kinetrope.SampledPattern(f"user_pattern_{{i:04d}}", "", table[:16]) for i in range(1024)]
pattern = kinetrope.SampledPattern("user_wave", "", table)
library = kinetrope.PatternLibrary(patterns)
last_name = patterns[-1].name
floor_source, floor_name = kinetrope_floor.Source(), last_name
statement = compile({stmt!r}, "<call>", "eval")
for _ in range({count}):
    eval(statement)
"""


def total_instructions(stmt: str, count: int, floor_dir: str) -> int:
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "callgrind.out"
        subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", sys.executable, "-c",
                        PROGRAM.format(floor_dir=floor_dir, stmt=stmt, count=count)],
                       check=True, capture_output=True, text=True, env=FIXED_HASHING)
        summary = re.search(r"^summary:\s*(\d+)", out.read_text(), re.MULTILINE)
        assert summary is not None, "callgrind wrote no summary"
        return int(summary.group(1))


def per_call(stmt: str, calls: int, floor_dir: str, baseline: int) -> float:
    return (total_instructions(stmt, calls, floor_dir) - baseline) / calls


def cases(kinetrope: Any) -> list[tuple[str, str, str]]:
    """(label, statement, kind of floor) for each call counted."""
    rows = kinetrope.catalogue()
    computed = [row["name"] for row in rows if callable(getattr(kinetrope, row["name"], None))]
    registry = [row["name"] for row in rows[len(computed):]]
    picked = [("computed", computed[0])]
    if registry:
        picked += [("first registry", registry[0]), ("middle registry", registry[len(registry) // 2]),
                   ("last registry", registry[-1]), ("longest registry", max(registry, key=len))]
    named = [(f"sample({name!r}, {PIP})  [{where}]", f"kinetrope.sample({name!r}, {PIP})", "named function")
             for where, name in picked]
    return [(f"{computed[0]}({PIP})", f"kinetrope.{computed[0]}({PIP})", "function"), *named,
            (f"SampledPattern.sample({PIP})", f"pattern.sample({PIP})", "method"),
            (f"PatternLibrary.sample(last of 1024, {PIP})", f"library.sample(last_name, {PIP})", "named method")]


def main() -> None:
    parser = argparse.ArgumentParser(description=" ".join(__doc__.split("\n\n")[0].split()))
    parser.add_argument("--calls", type=int, default=20000)
    parser.add_argument("--floor-build", default=str(ROOT / "build" / "bench-floor"))
    args = parser.parse_args()
    build_floor(Path(args.floor_build))
    import kinetrope

    baseline = total_instructions("None", args.calls, args.floor_build)
    floors = {kind: per_call(call, args.calls, args.floor_build, baseline) for kind, call in FLOOR_CALLS.items()}
    print(f"{'call':<64} {'instr/call':>10} {'floor':>8} {'ratio':>6}")
    for label, stmt, kind in cases(kinetrope):
        cost = per_call(stmt, args.calls, args.floor_build, baseline)
        print(f"{label:<64} {cost:10.0f} {floors[kind]:8.0f} {cost / floors[kind]:6.2f}  ({kind} floor)")


if __name__ == "__main__":
    main()
