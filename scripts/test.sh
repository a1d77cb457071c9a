#!/usr/bin/env bash
# Builds kinetrope with its C++ tests, then runs every test: GoogleTest
# through ctest, then the Python tests through pytest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/build.sh --with-tests
.venv/bin/ctest --test-dir build/py312 --output-on-failure -j2
.venv/bin/python -m pytest -q tests/python "$@"
