"""Measure kinetrope against its performance budget and print the figures.

Per-call latencies are reported as ratios to a floor measured in the same run:
a tiny extension (benchmarks/floor/, built here with cmake) that binds
functions and methods returning a fixed Offset3 through the same pybind11
class setup, so the ratio is what the module adds to the cheapest possible
position call of the same kind: each call is compared with a floor that takes
the same arguments (a pip, or a name and a pip) the same way (a module
function, or a method, which also loads `self`).
Floor and subject are timed in alternating rounds and the median ratio over
the rounds is reported, which keeps the figures steady on a busy machine.

Budget: every ratio at most 1.3, PatternLibrary.sample (1,024 patterns, the
last name) at most 2.0. Also: catalogue() time per row, import time
(-X importtime), resident memory added by the import, the extension's size,
and optionally a clean build's time. Figures, not a test: nothing here fails.

kinetrope_tools.render over 1,000,000 pips, per point, for every kind of
source and run of pips, against a Python loop over kinetrope.sample: a
built-in table pattern at most 10 ns a point and at least 20 times faster
than the loop, every computed rudiment at most 50 ns a point. These are
measured in CPU time, the least of several runs.

    python benchmarks/bench.py [--json out.json] [--quick] [--build-time]
    python benchmarks/bench.py --compare before.json after.json
"""

from __future__ import annotations

import argparse
import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import timeit
from dataclasses import dataclass
from pathlib import Path
from typing import Any

ROOT = Path(__file__).resolve().parents[1]
FLOOR_SOURCE = ROOT / "benchmarks" / "floor"
RATIO_TARGET = 1.3
LIBRARY_RATIO_TARGET = 2.0
RENDER_POINTS = 1_000_000
LOOP_POINTS = 100_000  # the Python loop is timed over fewer pips, per point
TABLE_NS_TARGET = 10.0
TABLE_SPEEDUP_TARGET = 20.0
COMPUTED_NS_TARGET = 50.0
PIP = 17
# Called the way callers call the module: one attribute lookup, then the call,
# as in kinetrope.bounce(17) or pattern.sample(17). One floor per kind of call.
FLOOR_CALL = f"kinetrope_floor.fixed_offset({PIP})"
FLOOR_CALLS = {
    "function": FLOOR_CALL,
    "named function": f"kinetrope_floor.fixed_offset_named(floor_name, {PIP})",
    "method": f"floor_source.fixed_offset({PIP})",
    "named method": f"floor_source.fixed_offset_named(floor_name, {PIP})",
}


# ------------------------------------------------------------------ tools

def tool(name: str) -> str:
    """A build tool from this interpreter's environment if it has one, else from PATH."""
    beside = Path(sys.executable).parent / name
    return str(beside) if beside.exists() else (shutil.which(name) or name)


def cmake_configure(source: Path, build: Path, *defines: str) -> None:
    pybind11_dir = subprocess.run([sys.executable, "-m", "pybind11", "--cmakedir"], check=True,
                                  capture_output=True, text=True).stdout.strip()
    subprocess.run([tool("cmake"), "-S", str(source), "-B", str(build), "-G", "Ninja",
                    f"-DCMAKE_MAKE_PROGRAM={tool('ninja')}", "-DCMAKE_BUILD_TYPE=Release",
                    f"-Dpybind11_DIR={pybind11_dir}", f"-DPython_EXECUTABLE={sys.executable}", *defines],
                   check=True, capture_output=True, text=True)


def cmake_build(build: Path) -> None:
    subprocess.run([tool("cmake"), "--build", str(build), "-j2"], check=True, capture_output=True, text=True)


def build_floor(build: Path) -> None:
    cmake_configure(FLOOR_SOURCE, build)
    cmake_build(build)
    sys.path.insert(0, str(build))


# --------------------------------------------------------------- latency

@dataclass
class Subject:
    label: str
    stmt: str
    target: float = RATIO_TARGET
    kind: str = "function"  # which floor it is measured against, see FLOOR_CALLS


def calibrated_number(timer: timeit.Timer, seconds: float) -> int:
    number, elapsed = timer.autorange()  # at least 0.2 s
    return max(1, int(number * seconds / max(elapsed, 1e-9)))


def interleaved(subject: timeit.Timer, floor: timeit.Timer, rounds: int, seconds: float) -> dict[str, float]:
    """Median per-call times of subject and floor, and the median of the per-round ratios."""
    n_subject, n_floor = calibrated_number(subject, seconds), calibrated_number(floor, seconds)
    subject_ns, floor_ns, ratios = [], [], []
    for _ in range(rounds):
        f = floor.timeit(n_floor) / n_floor
        s = subject.timeit(n_subject) / n_subject
        floor_ns.append(f * 1e9)
        subject_ns.append(s * 1e9)
        ratios.append(s / f)
    return {"ns_per_call": statistics.median(subject_ns), "floor_ns": statistics.median(floor_ns),
            "ratio": statistics.median(ratios)}


def subjects(kinetrope: Any) -> list[Subject]:
    rows = kinetrope.catalogue()
    computed = [row["name"] for row in rows if callable(getattr(kinetrope, row["name"], None))]
    registry = [row["name"] for row in rows[len(computed):]]
    cases = [Subject(f"{name}({PIP})", f"kinetrope.{name}({PIP})") for name in computed]
    cases.append(Subject(f"sample('{computed[0]}', {PIP})  [computed]", f"kinetrope.sample({computed[0]!r}, {PIP})",
                         kind="named function"))
    if registry:
        picks = {"first": registry[0], "middle": registry[len(registry) // 2], "last": registry[-1]}
        for where, name in picks.items():
            cases.append(Subject(f"sample('{name}', {PIP})  [{where} registry name]",
                                 f"kinetrope.sample({name!r}, {PIP})", kind="named function"))
    cases += [
        Subject(f"SampledPattern.sample({PIP})", f"pattern.sample({PIP})", kind="method"),
        Subject(f"PatternLibrary.sample(last of 1024, {PIP})", f"library.sample(last_name, {PIP})",
                LIBRARY_RATIO_TARGET, kind="named method"),
        Subject(f"SampledRecording.sample({PIP})", f"recording.sample({PIP})", kind="method"),
    ]
    return cases


def subject_namespace(kinetrope: Any, floor_module: Any) -> dict[str, Any]:
    table = [((i % 64) / 64.0, 0.0, 0.0) for i in range(256)]
    patterns = [kinetrope.SampledPattern(f"user_pattern_{i:04d}", "", table[:16]) for i in range(1024)]
    return {
        "kinetrope": kinetrope,
        "kinetrope_floor": floor_module,
        "floor_source": floor_module.Source(),
        "floor_name": patterns[-1].name,
        "pattern": kinetrope.SampledPattern("user_wave", "", table),
        "library": kinetrope.PatternLibrary(patterns),
        "last_name": patterns[-1].name,
        "recording": kinetrope.SampledRecording("take", ["x", "y", "z"], [row for row in table], 120.0),
    }


def measure_latencies(kinetrope: Any, floor_module: Any, rounds: int, seconds: float) -> dict[str, Any]:
    namespace = subject_namespace(kinetrope, floor_module)
    floors = {kind: timeit.Timer(call, globals=namespace) for kind, call in FLOOR_CALLS.items()}
    results: dict[str, Any] = {}
    print(f"{'call':<52} {'ns/call':>8} {'floor ns':>9} {'ratio':>6} {'target':>7}")
    for case in subjects(kinetrope):
        figures = interleaved(timeit.Timer(case.stmt, globals=namespace), floors[case.kind], rounds, seconds)
        figures["target"] = case.target
        results[case.label] = {**figures, "floor": FLOOR_CALLS[case.kind]}
        verdict = "ok" if figures["ratio"] <= case.target else "MISSED"
        print(f"{case.label:<52} {figures['ns_per_call']:8.1f} {figures['floor_ns']:9.1f}"
              f" {figures['ratio']:6.2f} {case.target:7.1f}  {verdict}", flush=True)
    return results


def measure_catalogue(kinetrope: Any, floor_module: Any, rounds: int, seconds: float) -> dict[str, float]:
    rows = len(kinetrope.catalogue())
    namespace = {"kinetrope": kinetrope, "kinetrope_floor": floor_module}
    figures = interleaved(timeit.Timer("kinetrope.catalogue()", globals=namespace),
                          timeit.Timer(FLOOR_CALL, globals=namespace), rounds, seconds)
    result = {"rows": rows, "ns_per_call": figures["ns_per_call"], "ns_per_row": figures["ns_per_call"] / rows,
              "row_ratio_to_floor": figures["ratio"] / rows}
    print(f"{'catalogue()':<52} {figures['ns_per_call'] / 1e3:8.1f} us  ({rows} rows,"
          f" {result['ns_per_row']:.1f} ns/row = {result['row_ratio_to_floor']:.2f} x floor)")
    return result


# ----------------------------------------------------------------- render

def best_seconds(action: Any, rounds: int) -> float:
    """The least CPU time of `rounds` runs: the least disturbed by other work
    on a shared machine (a render runs on one thread)."""
    times = []
    for _ in range(rounds):
        start = time.process_time()
        action()
        times.append(time.process_time() - start)
    return min(times)


def python_loop_ns(kinetrope: Any, name: str, rounds: int) -> float:
    sample = kinetrope.sample

    def loop() -> None:
        for pip in range(LOOP_POINTS):
            sample(name, pip)

    return best_seconds(loop, rounds) / LOOP_POINTS * 1e9


def render_cases(kinetrope: Any) -> list[tuple[str, str, Any, Any]]:
    """(label, kind, source, name) for every kind of source."""
    rows = kinetrope.catalogue()
    computed = [row["name"] for row in rows if callable(getattr(kinetrope, row["name"], None))]
    registry = [row["name"] for row in rows[len(computed):]]
    namespace = subject_namespace(kinetrope, None)
    cases = [(f"table pattern '{name}'", "table", name, None) for name in (registry[:1] + registry[-1:])]
    cases += [(f"computed '{name}'", "computed", name, None) for name in computed]
    cases += [
        ("SampledPattern (256 samples)", "user", namespace["pattern"], None),
        ("PatternLibrary, last of 1024 names", "user", namespace["library"], namespace["last_name"]),
    ]
    return cases


def measure_render(kinetrope: Any, rounds: int) -> dict[str, Any]:
    import numpy as np
    from kinetrope_tools import render

    pip_runs = {"range": range(RENDER_POINTS), "int32 array": np.arange(RENDER_POINTS, dtype=np.int32),
                "int64 array": np.arange(RENDER_POINTS, dtype=np.int64), "list": list(range(RENDER_POINTS))}
    results: dict[str, Any] = {}
    print(f"{'render, 1,000,000 pips':<52} {'ns/point':>8} {'loop ns':>9} {'faster':>7} {'target':>14}")
    for label, kind, source, name in render_cases(kinetrope):
        figure = best_seconds(lambda: render(source, pip_runs["int32 array"], name), rounds) / RENDER_POINTS * 1e9
        entry: dict[str, float] = {"ns_per_point": figure}
        target = ""
        if isinstance(source, str):
            entry["loop_ns_per_point"] = python_loop_ns(kinetrope, source, rounds)
            entry["speedup"] = entry["loop_ns_per_point"] / figure
        if kind == "table":
            entry["ns_target"], entry["speedup_target"] = TABLE_NS_TARGET, TABLE_SPEEDUP_TARGET
            met = figure <= TABLE_NS_TARGET and entry["speedup"] >= TABLE_SPEEDUP_TARGET
            target = f"<= {TABLE_NS_TARGET:.0f} ns, >= {TABLE_SPEEDUP_TARGET:.0f}x  {'ok' if met else 'MISSED'}"
        elif kind == "computed":
            entry["ns_target"] = COMPUTED_NS_TARGET
            target = f"<= {COMPUTED_NS_TARGET:.0f} ns  {'ok' if figure <= COMPUTED_NS_TARGET else 'MISSED'}"
        loop = f"{entry['loop_ns_per_point']:9.1f} {entry['speedup']:6.0f}x" if "speedup" in entry else " " * 17
        print(f"{label:<52} {figure:8.2f} {loop} {target:>14}", flush=True)
        results[label] = entry
    recording = kinetrope.SampledRecording("take", ["x", "y", "z"], [[0.0, 0.5, -0.5]] * 4096, 120.0)
    recording_pips = np.arange(RENDER_POINTS, dtype=np.int32) % 4096
    results["SampledRecording (3 axes)"] = {
        "ns_per_point": best_seconds(lambda: render(recording, recording_pips), rounds) / RENDER_POINTS * 1e9}
    print(f"{'SampledRecording (3 axes)':<52} {results['SampledRecording (3 axes)']['ns_per_point']:8.2f}")
    table = render_cases(kinetrope)[0][2]
    for run_label, pips in pip_runs.items():
        figure = best_seconds(lambda: render(table, pips), rounds) / RENDER_POINTS * 1e9
        results[f"table pattern, pips as {run_label}"] = {"ns_per_point": figure}
        print(f"{'  pips as ' + run_label:<52} {figure:8.2f}")
    return results


def render_missed(results: dict[str, Any]) -> list[str]:
    missed = []
    for label, entry in results.items():
        if entry["ns_per_point"] > entry.get("ns_target", float("inf")):
            missed.append(label)
        elif entry.get("speedup", float("inf")) < entry.get("speedup_target", 0.0):
            missed.append(label)
    return missed


# ------------------------------------------------------ import and memory

def child_env() -> dict[str, str]:
    return dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))


def import_time_us(module: str, runs: int) -> dict[str, float]:
    """Median self and cumulative import time from -X importtime, in microseconds."""
    selfs, totals = [], []
    for _ in range(runs):
        err = subprocess.run([sys.executable, "-X", "importtime", "-c", f"import {module}"], check=True,
                             capture_output=True, text=True, env=child_env()).stderr
        match = re.search(rf"import time:\s+(\d+) \|\s+(\d+) \|\s+{re.escape(module)}$", err, re.M)
        if match is None:
            raise RuntimeError(f"no import time reported for {module}")
        selfs.append(float(match.group(1)))
        totals.append(float(match.group(2)))
    return {"self_us": statistics.median(selfs), "cumulative_us": statistics.median(totals)}


RSS_PROBE = """
import re
def rss():
    with open('/proc/self/status') as status:
        return int(re.search(r'VmRSS:\\s+(\\d+) kB', status.read()).group(1))
before = rss()
import {module}
print(rss() - before)
"""


def import_rss_kib(module: str, runs: int) -> float:
    added = [int(subprocess.run([sys.executable, "-c", RSS_PROBE.format(module=module)], check=True,
                                capture_output=True, text=True, env=child_env()).stdout)
             for _ in range(runs)]
    return statistics.median(added)


def measure_loading(kinetrope: Any, floor_module: Any, runs: int) -> dict[str, Any]:
    ours, floor = import_time_us("kinetrope", runs), import_time_us("kinetrope_floor", runs)
    rss, floor_rss = import_rss_kib("kinetrope", runs), import_rss_kib("kinetrope_floor", runs)
    size, floor_size = os.path.getsize(kinetrope.__file__), os.path.getsize(floor_module.__file__)
    print(f"{'import kinetrope (self / cumulative)':<52} {ours['self_us']:8.0f} us / {ours['cumulative_us']:.0f} us"
          f"  (floor module: {floor['self_us']:.0f} us)")
    print(f"{'resident memory added by the import':<52} {rss:8.0f} KiB  (floor module: {floor_rss:.0f} KiB)")
    print(f"{'extension size':<52} {size / 1024:8.0f} KiB  (floor module: {floor_size / 1024:.0f} KiB)")
    return {"import": ours, "floor_import": floor, "import_rss_kib": rss, "floor_import_rss_kib": floor_rss,
            "extension_bytes": size, "floor_extension_bytes": floor_size}


def measure_clean_build() -> dict[str, float]:
    with tempfile.TemporaryDirectory(prefix="kinetrope-build-") as scratch:
        start = time.perf_counter()
        cmake_configure(ROOT, Path(scratch), "-DKINETROPE_BUILD_TESTS=OFF")
        configured = time.perf_counter()
        cmake_build(Path(scratch))
        done = time.perf_counter()
    result = {"configure_s": configured - start, "build_s": done - configured}
    print(f"{'clean build of the module (-j2)':<52} {result['build_s']:8.1f} s  (configure {result['configure_s']:.1f} s)")
    return result


# ------------------------------------------------------------- comparing

def flatten(figures: Any, prefix: str = "") -> dict[str, float]:
    if isinstance(figures, dict):
        flat: dict[str, float] = {}
        for key, value in figures.items():
            flat.update(flatten(value, f"{prefix}{key} / " if prefix or key else key))
        return flat
    return {prefix.rstrip(" /"): figures} if isinstance(figures, (int, float)) else {}


def compare(before_path: str, after_path: str) -> None:
    before = flatten(json.loads(Path(before_path).read_text())["figures"])
    after = flatten(json.loads(Path(after_path).read_text())["figures"])
    print(f"{'figure':<78} {'before':>11} {'after':>11} {'change':>8}")
    for key in [k for k in before if k in after and not k.endswith("target")]:
        change = f"{(after[key] / before[key] - 1) * 100:+7.1f}%" if before[key] else ""
        print(f"{key:<78} {before[key]:11.2f} {after[key]:11.2f} {change:>8}")


# ------------------------------------------------------------------ main

def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--json", help="also write the figures to this file")
    parser.add_argument("--quick", action="store_true", help="fewer, shorter rounds")
    parser.add_argument("--build-time", action="store_true", help="also time a clean build (slow)")
    parser.add_argument("--floor-build", default=str(ROOT / "build" / "bench-floor"),
                        help="build directory of the floor extension")
    parser.add_argument("--compare", nargs=2, metavar=("BEFORE", "AFTER"), help="compare two --json outputs")
    args = parser.parse_args()
    if args.compare:
        compare(*args.compare)
        return

    rounds, seconds, runs = (5, 0.02, 5) if args.quick else (15, 0.05, 15)
    build_floor(Path(args.floor_build))
    import kinetrope
    import kinetrope_floor

    figures: dict[str, Any] = {
        "latency": measure_latencies(kinetrope, kinetrope_floor, rounds, seconds),
        "catalogue": measure_catalogue(kinetrope, kinetrope_floor, rounds, seconds),
        "loading": measure_loading(kinetrope, kinetrope_floor, runs),
        "render": measure_render(kinetrope, rounds),
    }
    if args.build_time:
        figures["clean_build"] = measure_clean_build()
    missed = [label for label, f in figures["latency"].items() if f["ratio"] > f["target"]]
    print(f"budget: {len(figures['latency']) - len(missed)} of {len(figures['latency'])} latencies within target"
          + (f"; missed: {', '.join(missed)}" if missed else ""))
    render_misses = render_missed(figures["render"])
    print(f"render: {len(figures['render']) - len(render_misses)} of {len(figures['render'])} figures within target"
          + (f"; missed: {', '.join(render_misses)}" if render_misses else ""))
    if args.json:
        meta = {"python": sys.version.split()[0], "machine": platform.machine(), "cpus": os.cpu_count(),
                "time": time.strftime("%Y-%m-%dT%H:%M:%S"), "rounds": rounds, "module": kinetrope.__file__}
        Path(args.json).write_text(json.dumps({"meta": meta, "figures": figures}, indent=2) + "\n")


if __name__ == "__main__":
    main()
