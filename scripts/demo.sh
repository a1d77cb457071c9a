#!/usr/bin/env bash
# Builds kinetrope and runs the demo.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/build.sh
.venv/bin/python examples/demo.py "$@"
