#!/usr/bin/env bash
# Builds the libFuzzer harness with clang (AddressSanitizer, UndefinedBehavior-
# Sanitizer, coverage) and fuzzes for a bounded time, starting from the
# committed seed corpus. Fails on any crash, sanitizer report, failed check or
# undocumented exception; the input that caused it is left in the work dir.
#
#   fuzz/run.sh [seconds]        (default 60; KINETROPE_FUZZ_SECONDS also works)
#
# Needs clang-14 and libclang-rt-14-dev; installs them when run as root.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-${KINETROPE_FUZZ_SECONDS:-60}}
build=${KINETROPE_FUZZ_BUILD:-$root/build/fuzz}
clang=clang++-14

if ! command -v "$clang" >/dev/null || ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    if [ "$(id -u)" = 0 ]; then
        apt-get update -qq >/dev/null && apt-get install -y -qq clang-14 libclang-rt-14-dev >/dev/null
    else
        echo "clang-14 and libclang-rt-14-dev are needed to fuzz" >&2; exit 1
    fi
fi

cmake=cmake; ninja=()
if [ -x "$root/.venv/bin/cmake" ]; then
    cmake="$root/.venv/bin/cmake"; ninja=(-DCMAKE_MAKE_PROGRAM="$root/.venv/bin/ninja")
fi
# clang assembles the tables' .s files too, and would warn that it has no use
# for the dependency-file flags CMake gives every source.
"$cmake" -S "$root/fuzz" -B "$build" -G Ninja "${ninja[@]}" -DCMAKE_CXX_COMPILER="$clang" \
    -DCMAKE_ASM_FLAGS=-Wno-unused-command-line-argument >/dev/null
"$cmake" --build "$build" -j2

# New inputs found in this run go to a scratch corpus; the committed seeds
# stay as they are.
work="$build/run"
rm -rf "$work"; mkdir -p "$work/corpus"
cd "$work"
"$build/kinetrope_fuzz" "$work/corpus" "$root/fuzz/corpus" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$work/" 2>"$work/log" || {
    tail -n 60 "$work/log" >&2
    echo "fuzzing failed; reproducer: $(ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* 2>/dev/null | head -n 1)" >&2
    exit 1
}
grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|DONE' "$work/log" || true
echo "fuzzing: no failure in ${seconds}s"
