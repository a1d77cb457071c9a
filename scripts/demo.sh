#!/usr/bin/env bash
# Builds kinetrope and runs the demo.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
echo "==> building kinetrope (the first build compiles for about a minute)" >&2
scripts/build.sh
echo "==> running examples/demo.py" >&2
.venv/bin/python examples/demo.py "$@"
