#!/usr/bin/env bash
# Builds and installs kinetrope into the project's own virtual environment
# (.venv, CPython 3.12), installing whatever the build and the tests need.
# Usage: scripts/build.sh [--with-tests]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

find_python312() {
    if [ -n "${KINETROPE_PYTHON:-}" ]; then echo "$KINETROPE_PYTHON"; return; fi
    if command -v pyenv >/dev/null 2>&1; then
        local v
        v=$(pyenv versions --bare 2>/dev/null | grep -E '^3\.12(\.[0-9]+)?$' | sort -V | tail -n 1 || true)
        if [ -n "$v" ]; then echo "$(pyenv root)/versions/$v/bin/python3.12"; return; fi
    fi
    command -v python3.12 || { echo "CPython 3.12 not found" >&2; exit 1; }
}

with_tests=OFF
[ "${1:-}" = "--with-tests" ] && with_tests=ON

if [ ! -x .venv/bin/python ]; then
    "$(find_python312)" -m venv .venv
fi
py=.venv/bin/python
stamp=.venv/.requirements-installed
if [ ! -f "$stamp" ] || [ requirements-dev.txt -nt "$stamp" ]; then
    "$py" -m pip install --quiet --disable-pip-version-check -r requirements-dev.txt
    touch "$stamp"
fi

# Debian packages the tests need: GoogleTest, and Chromium for the gallery
# page test (that test skips when Chromium is absent and we are not root).
if [ "$with_tests" = ON ]; then
    missing=()
    [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
    command -v chromium >/dev/null 2>&1 || missing+=(chromium)
    # OLA's daemon receives the rig's Art-Net; the fixture library feeds the .qxf importer tests.
    command -v olad >/dev/null 2>&1 || missing+=(ola)
    [ -d /usr/share/qlcplus/fixtures ] || missing+=(qlcplus-data)
    command -v ip >/dev/null 2>&1 || missing+=(iproute2)
    # OLA's Python client (on the system's Python) stamps the frames olad receives in the show tests.
    /usr/bin/python3 -c 'import ola.ClientWrapper' >/dev/null 2>&1 || missing+=(ola-python)
    if [ ${#missing[@]} -gt 0 ]; then
        if [ "$(id -u)" = 0 ]; then
            apt-get update -qq >/dev/null
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
        else
            echo "missing Debian packages: ${missing[*]} (install them as root)" >&2
            [ -f /usr/include/gtest/gtest.h ] || exit 1
        fi
    fi
fi

# A persistent build directory keeps rebuilds incremental.
"$py" -m pip install --quiet --disable-pip-version-check --no-build-isolation \
    -Cbuild-dir=build/py312 \
    -Ccmake.define.KINETROPE_BUILD_TESTS="$with_tests" \
    -Ccmake.define.KINETROPE_WERROR=ON \
    .
