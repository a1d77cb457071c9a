#!/usr/bin/env bash
# Builds kinetrope with its C++ tests and runs every test: GoogleTest through
# ctest, the Python tests through pytest, the wheel in a fresh venv, then the
# C++ tests and the Python binding tests once more against a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, and finally fuzzes the constructors and name
# lookup for about a minute (fuzz/run.sh).
# Set KINETROPE_SKIP_SANITIZERS=1 to leave out the sanitizer build and
# KINETROPE_SKIP_FUZZ=1 to leave out the fuzzing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/build.sh --with-tests
.venv/bin/ctest --test-dir build/py312 --output-on-failure -j2
.venv/bin/python -m pytest -q tests/python "$@"

# The wheel a show machine is given, packed from the same build directory
# (nothing is compiled again), installed into a fresh venv and smoke-tested.
rm -rf build/dist
.venv/bin/python -m pip wheel --quiet --disable-pip-version-check --no-deps --no-build-isolation \
    -Cbuild-dir=build/py312 -Ccmake.define.KINETROPE_BUILD_TESTS=ON -Ccmake.define.KINETROPE_WERROR=ON \
    -w build/dist .
KINETROPE_WHEEL="$(ls build/dist/kinetrope-*.whl)" .venv/bin/python -m pytest -q tests/python/test_wheel.py

if [ "${KINETROPE_SKIP_SANITIZERS:-0}" != 1 ]; then
    .venv/bin/cmake -S . -B build/sanitize -G Ninja -DCMAKE_MAKE_PROGRAM="$root/.venv/bin/ninja" \
        -DKINETROPE_BUILD_TESTS=ON -DKINETROPE_WERROR=ON -DKINETROPE_SANITIZE=ON \
        -DPython_EXECUTABLE="$root/.venv/bin/python" -Dpybind11_DIR="$(.venv/bin/python -m pybind11 --cmakedir)" \
        >/dev/null
    .venv/bin/cmake --build build/sanitize -j2
    .venv/bin/ctest --test-dir build/sanitize --output-on-failure -j2

    # The binding tests against the sanitized extension, which is found first
    # on the path. The interpreter is not instrumented, so the ASan runtime is
    # preloaded into it, with the C++ runtime (ASan must find it at start-up
    # to intercept exceptions), and Python's own allocator is bypassed so that
    # the memory of freed Python objects is poisoned too. Leaks are not
    # checked: the interpreter keeps much of what it allocates until it exits.
    # Inline variables of the C++ headers live once in each extension that
    # uses them, so a global defined twice is reported only when its two
    # definitions differ in size.
    # Output is captured at the Python level only, so that a report written
    # just before ASan ends the process reaches the log.
    # The sanitized render extension joins the kinetrope_tools package from a
    # folder of its own that comes first on the path.
    mkdir -p build/sanitize/python/kinetrope_tools
    cp build/sanitize/python/_render.*.so build/sanitize/python/kinetrope_tools/
    (
        export LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)"
        export PYTHONMALLOC=malloc ASAN_OPTIONS=detect_leaks=0:detect_odr_violation=1 PYTHONPATH="$root/build/sanitize/python"
        # Every extension loaded, here and in the tests' own subprocesses, must
        # come from this build: the tests assert it where they start Python.
        export KINETROPE_TESTED_BUILD="$root/build/sanitize/python"
        .venv/bin/python -c 'import kinetrope, kinetrope_tools._render as r, os, sys
sys.exit(not all(m.__file__.startswith(os.environ["KINETROPE_TESTED_BUILD"] + "/") for m in (kinetrope, r)))'
        .venv/bin/python -m pytest -q --capture=sys tests/python/test_module.py tests/python/test_name_argument.py \
            tests/python/test_pattern_library.py tests/python/test_sampled_pattern.py \
            tests/python/test_sampled_recording.py tests/python/test_tools_render.py
    )
fi

if [ "${KINETROPE_SKIP_FUZZ:-0}" != 1 ]; then
    bash fuzz/run.sh "${KINETROPE_FUZZ_SECONDS:-60}"
fi
