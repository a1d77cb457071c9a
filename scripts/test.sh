#!/usr/bin/env bash
# Builds kinetrope with its C++ tests and runs every test: GoogleTest through
# ctest, the Python tests through pytest, then the C++ tests once more in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, and finally
# fuzzes the constructors and name lookup for about a minute (fuzz/run.sh).
# Set KINETROPE_SKIP_SANITIZERS=1 to leave out the sanitizer build and
# KINETROPE_SKIP_FUZZ=1 to leave out the fuzzing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/build.sh --with-tests
.venv/bin/ctest --test-dir build/py312 --output-on-failure -j2
.venv/bin/python -m pytest -q tests/python "$@"

if [ "${KINETROPE_SKIP_SANITIZERS:-0}" != 1 ]; then
    .venv/bin/cmake -S . -B build/sanitize -G Ninja -DCMAKE_MAKE_PROGRAM="$root/.venv/bin/ninja" \
        -DKINETROPE_PYTHON=OFF -DKINETROPE_BUILD_TESTS=ON -DKINETROPE_WERROR=ON -DKINETROPE_SANITIZE=ON \
        >/dev/null
    .venv/bin/cmake --build build/sanitize -j2
    .venv/bin/ctest --test-dir build/sanitize --output-on-failure -j2
fi

if [ "${KINETROPE_SKIP_FUZZ:-0}" != 1 ]; then
    bash fuzz/run.sh "${KINETROPE_FUZZ_SECONDS:-60}"
fi
