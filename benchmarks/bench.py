"""Print kinetrope's per-call latencies beside a floor measured in the same run.

The floor is the cost of calling a trivial C builtin that returns a new small
object, complex(1.0, 2.0): no extension call can be much cheaper than that, so
each figure is also shown as a ratio to it. Figures, not a test: nothing here
passes or fails.

    .venv/bin/python benchmarks/bench.py [--json results.json] [--quick]
"""

from __future__ import annotations

import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import timeit
from dataclasses import dataclass


@dataclass
class Case:
    label: str
    stmt: str
    setup: str = "import kinetrope"


def per_call_ns(case: Case, repeats: int, target_seconds: float) -> float:
    """Median over `repeats` runs of the time per call, in nanoseconds."""
    timer = timeit.Timer(case.stmt, setup=case.setup)
    number, _ = timer.autorange()
    number = max(1, int(number * target_seconds / 0.2))
    runs = timer.repeat(repeat=repeats, number=number)
    return statistics.median(runs) / number * 1e9


def import_time_us(python: str, repeats: int) -> tuple[float, float]:
    """Median self time of importing kinetrope (-X importtime), and of a baseline stdlib C module."""
    def one(module: str) -> float:
        out = subprocess.run([python, "-X", "importtime", "-c", f"import {module}"],
                             capture_output=True, text=True, check=True).stderr
        for line in out.splitlines():
            match = re.match(r"import time:\s+(\d+) \|\s+(\d+) \|\s+(\S+)$", line)
            if match and match.group(3) == module:
                return float(match.group(2))
        raise RuntimeError(f"no import time reported for {module}")
    return (statistics.median(one("kinetrope") for _ in range(repeats)),
            statistics.median(one("_decimal") for _ in range(repeats)))


def latency_cases() -> list[Case]:
    return [
        Case("floor: complex(1.0, 2.0)", "f(1.0, 2.0)", "f = complex"),
        Case("kinetrope.bounce(17)", "f(17)", "import kinetrope; f = kinetrope.bounce"),
        Case("kinetrope.varn_background(17)", "f(17)", "import kinetrope; f = kinetrope.varn_background"),
        Case("kinetrope.single_paradiddle(17)", "f(17)", "import kinetrope; f = kinetrope.single_paradiddle"),
        Case("sample('bounce', 17)", "f('bounce', 17)", "import kinetrope; f = kinetrope.sample"),
        Case("sample('five_stroke_roll', 17)", "f('five_stroke_roll', 17)",
             "import kinetrope; f = kinetrope.sample"),
    ]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--json", help="also write the figures to this file")
    parser.add_argument("--quick", action="store_true", help="fewer, shorter repeats")
    args = parser.parse_args()
    repeats, target = (5, 0.05) if args.quick else (9, 0.2)

    import kinetrope  # noqa: F401  (fail early if the module is missing)

    results: dict[str, dict[str, float]] = {}
    cases = latency_cases()
    floor = per_call_ns(cases[0], repeats, target)
    print(f"{'call':<44} {'ns/call':>9} {'x floor':>8}")
    for case in cases:
        ns = floor if case is cases[0] else per_call_ns(case, repeats, target)
        results[case.label] = {"ns_per_call": ns, "ratio_to_floor": ns / floor}
        print(f"{case.label:<44} {ns:9.1f} {ns / floor:8.2f}")

    rows = len(kinetrope.catalogue())
    catalogue = Case("catalogue()", "f()", "import kinetrope; f = kinetrope.catalogue")
    ns = per_call_ns(catalogue, repeats, target)
    results["catalogue()"] = {"ns_per_call": ns, "ns_per_row": ns / rows, "rows": rows,
                              "row_ratio_to_floor": ns / rows / floor}
    print(f"{'catalogue()':<44} {ns:9.1f}   ({rows} rows, {ns / rows:.1f} ns/row,"
          f" {ns / rows / floor:.2f} x floor per row)")

    ours, baseline = import_time_us(sys.executable, repeats)
    results["import"] = {"kinetrope_us": ours, "baseline__decimal_us": baseline}
    print(f"{'import kinetrope (self time)':<44} {ours:9.0f} us   (import _decimal: {baseline:.0f} us,"
          f" {ours / baseline:.2f} x)")
    size = os.path.getsize(kinetrope.__file__)
    results["extension"] = {"bytes": size}
    print(f"{'extension size':<44} {size / 1e6:9.2f} MB")

    if args.json:
        with open(args.json, "w", encoding="utf-8") as out:
            json.dump(results, out, indent=2)


if __name__ == "__main__":
    main()
