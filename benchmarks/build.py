"""Time what a new user does first: a clean `pip install .` into a fresh venv
from a clean clone, and print where the time and memory go.

Reports the install's wall time and CPU time (every process pip started,
build dependencies and CMake included), the five longest steps of ninja's
log, the sum of the compile steps, and the peak resident memory of the
compilers (each compile and link is run through this script as a launcher
that records its peak) and of any process of the install. Figures, not a
test: nothing here fails; the targets are printed beside the figures.

    python benchmarks/build.py [--ref HEAD] [--keep DIR] [--json out.json]

Run it with CPython 3.12 (the venv is made with the interpreter running it).
The clone is taken from this checkout's committed `--ref`, so uncommitted
edits are not measured.
"""

from __future__ import annotations

import argparse
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
TARGETS = {"wall_s": 60.0, "cpu_s": 90.0, "compiler_peak_mb": 300.0}
LAUNCH_FLAG = "--launch"


# ------------------------------------------------------------------ launcher

def launch(log: str, command: list[str]) -> int:
    """Run one compile or link step and append its peak memory (kB), CPU
    seconds and output file to `log`."""
    process = subprocess.Popen(command)
    _, status, usage = os.wait4(process.pid, 0)
    output = command[command.index("-o") + 1] if "-o" in command else command[-1]
    with open(log, "a", encoding="utf-8") as out:
        out.write(f"{usage.ru_maxrss}\t{usage.ru_utime + usage.ru_stime:.3f}\t{output}\n")
    return os.waitstatus_to_exitcode(status)


# ------------------------------------------------------------------ figures

def ninja_steps(build_dir: Path) -> list[tuple[float, str]]:
    """(seconds, output) of every step of the last build in ninja's log. A
    step with several outputs (the generator writes ~30 files) has a line
    per output with the same command hash: it is counted once, under its
    first output."""
    log = build_dir / ".ninja_log"
    newest: dict[str, tuple[int, int, str]] = {}
    for line in log.read_text(encoding="utf-8").splitlines()[1:]:
        start, end, _, output, command = line.split("\t")
        newest[output] = (int(start), int(end), command)
    steps: dict[tuple[int, int, str], str] = {}
    for output, step in newest.items():
        steps.setdefault(step, output)
    return sorted((((end - start) / 1000.0, output) for (start, end, _), output in steps.items()), reverse=True)


def launched_steps(log: Path) -> list[tuple[int, float, str]]:
    """(peak kB, CPU s, output) of every launched compile and link."""
    if not log.exists():
        return []
    rows = []
    for line in log.read_text(encoding="utf-8").splitlines():
        peak, cpu, output = line.split("\t", 2)
        rows.append((int(peak), float(cpu), output))
    return sorted(rows, reverse=True)


def children_usage() -> tuple[float, int]:
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def load_average() -> str:
    try:
        return " ".join(Path("/proc/loadavg").read_text().split()[:3])
    except OSError:
        return "unknown"


# ------------------------------------------------------------------ stages

def run(command: list[str], **kwargs) -> None:
    subprocess.run(command, check=True, **kwargs)


def measure(ref: str, work: Path) -> dict:
    clone = work / "clone"
    venv = work / "venv"
    build_dir = work / "build"
    memory_log = work / "compilers.tsv"
    print(f"[build.py] cloning {ref} into {clone}", flush=True)
    run(["git", "clone", "--quiet", "--no-hardlinks", str(ROOT), str(clone)])
    run(["git", "-C", str(clone), "checkout", "--quiet", ref])
    print("[build.py] making a fresh venv", flush=True)
    run([sys.executable, "-m", "venv", str(venv)])
    launcher = f"{sys.executable};-S;{Path(__file__).resolve()};{LAUNCH_FLAG};{memory_log};--"
    env = {**os.environ, "CMAKE_CXX_COMPILER_LAUNCHER": launcher, "CMAKE_CXX_LINKER_LAUNCHER": launcher,
           "CMAKE_ASM_COMPILER_LAUNCHER": launcher}
    env.pop("CMAKE_BUILD_PARALLEL_LEVEL", None)
    print(f"[build.py] pip install . (load average {load_average()})", flush=True)
    cpu_before, _ = children_usage()
    started = time.perf_counter()
    run([str(venv / "bin" / "python"), "-m", "pip", "install", "--quiet", "--disable-pip-version-check",
         f"-Cbuild-dir={build_dir}", "."], cwd=clone, env=env)
    wall = time.perf_counter() - started
    cpu_after, peak_kb = children_usage()
    steps = ninja_steps(build_dir)
    launched = launched_steps(memory_log)
    module = next(venv.glob("lib/python3.12/site-packages/kinetrope.*.so"))
    return {
        "ref": subprocess.run(["git", "-C", str(clone), "rev-parse", "--short", "HEAD"], check=True,
                              capture_output=True, text=True).stdout.strip(),
        "load_average_after": load_average(),
        "wall_s": round(wall, 1),
        "cpu_s": round(cpu_after - cpu_before, 1),
        "compile_steps_s": round(sum(s for s, _ in steps), 1),
        "ninja_steps": len(steps),
        "longest_steps": [[round(s, 1), o] for s, o in steps[:5]],
        "compiler_peak_mb": round(launched[0][0] / 1024, 1) if launched else None,
        "largest_compiles": [[round(kb / 1024, 1), cpu, o] for kb, cpu, o in launched[:5]],
        "any_process_peak_mb": round(peak_kb / 1024, 1),
        "extension_bytes": module.stat().st_size,
    }


def report(figures: dict) -> None:
    print(f"ref {figures['ref']}; load average after {figures['load_average_after']}")
    for key, label in (("wall_s", "wall"), ("cpu_s", "CPU")):
        print(f"  {label:<22} {figures[key]:>8.1f} s   (target <= {TARGETS[key]:.0f} s)")
    print(f"  {'ninja steps, summed':<22} {figures['compile_steps_s']:>8.1f} s   ({figures['ninja_steps']} steps)")
    peak = figures["compiler_peak_mb"]
    print(f"  {'compiler peak':<22} {peak if peak is not None else float('nan'):>8.1f} MB  "
          f"(target <= {TARGETS['compiler_peak_mb']:.0f} MB)")
    print(f"  {'any process peak':<22} {figures['any_process_peak_mb']:>8.1f} MB")
    print(f"  {'extension size':<22} {figures['extension_bytes'] / 1e6:>8.2f} MB")
    print("  five longest ninja steps:")
    for seconds, output in figures["longest_steps"]:
        print(f"    {seconds:>7.1f} s  {output}")
    print("  largest compiler processes:")
    for mb, cpu, output in figures["largest_compiles"]:
        print(f"    {mb:>7.1f} MB  {cpu:>6.1f} s CPU  {Path(output).name}")


def main() -> None:
    if len(sys.argv) > 3 and sys.argv[1] == LAUNCH_FLAG and sys.argv[3] == "--":
        sys.exit(launch(sys.argv[2], sys.argv[4:]))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--ref", default="HEAD", help="commit of this checkout to clone (default HEAD)")
    parser.add_argument("--keep", help="work in this directory and keep it (default: a temporary one)")
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    work = Path(args.keep) if args.keep else Path(tempfile.mkdtemp(prefix="kinetrope-build-"))
    if args.keep and work.exists():
        shutil.rmtree(work)
    work.mkdir(parents=True, exist_ok=True)
    try:
        figures = measure(args.ref, work)
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    report(figures)
    if args.json:
        Path(args.json).write_text(json.dumps(figures, indent=2) + "\n")


if __name__ == "__main__":
    main()
