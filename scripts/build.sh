#!/usr/bin/env bash
# Builds and installs kinetrope into the project's own virtual environment
# (.venv, CPython 3.12), installing whatever the build and the tests need.
# Usage: scripts/build.sh [--with-tests]
# Each stage prints a line as it starts; the compile shows ninja's progress.
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

stage() { echo "==> $*" >&2; }

if [ ! -x .venv/bin/python ]; then
    stage "creating .venv"
    "$(find_python312)" -m venv .venv
fi
py=.venv/bin/python
stamp=.venv/.requirements-installed
if [ ! -f "$stamp" ] || [ requirements-dev.txt -nt "$stamp" ]; then
    stage "installing the build and test tools (requirements-dev.txt)"
    "$py" -m pip install --quiet --disable-pip-version-check -r requirements-dev.txt
    touch "$stamp"
fi

# Debian packages the tests need: GoogleTest, and Chromium for the gallery and preview
# page tests (they skip when Chromium is absent and we are not root).
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
        stage "installing Debian packages: ${missing[*]}"
        if [ "$(id -u)" = 0 ]; then
            apt-get update -qq >/dev/null
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
        else
            echo "missing Debian packages: ${missing[*]} (install them as root)" >&2
            [ -f /usr/include/gtest/gtest.h ] || exit 1
        fi
    fi
fi

# A persistent build directory keeps rebuilds incremental. pip shows the
# build's own output only with -v: it goes to a log, of which the configure
# summary and ninja's [done/total] lines are shown, and the end on failure.
stage "building and installing kinetrope into .venv (tests: $with_tests; log: build/pip-install.log)"
mkdir -p build
set +e
"$py" -m pip install -v --disable-pip-version-check --no-build-isolation \
    -Cbuild-dir=build/py312 \
    -Ccmake.define.KINETROPE_BUILD_TESTS="$with_tests" \
    -Ccmake.define.KINETROPE_WERROR=ON \
    . 2>&1 | tee build/pip-install.log | grep --line-buffered -E '^ *\[[0-9]+/[0-9]+\] |^ *\*\*\* '
status=${PIPESTATUS[0]}
set -e
if [ "$status" != 0 ]; then
    tail -n 60 build/pip-install.log >&2
    exit "$status"
fi
stage "installed $(cd /tmp && "$root/$py" -c 'import kinetrope; print(kinetrope.__file__)')"
