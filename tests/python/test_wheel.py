"""The wheel a show machine is given installs into a fresh venv and works
there without the checkout: the extension, its tables, render (which finds the
kinetrope module beside its own package), the stubs and the license.

Runs when KINETROPE_WHEEL names a built wheel (scripts/test.sh builds one from
its build directory); skipped otherwise, since building a wheel is a build.
"""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

import pytest

WHEEL = os.environ.get("KINETROPE_WHEEL", "")
pytestmark = pytest.mark.skipif(not WHEEL, reason="set KINETROPE_WHEEL to a built wheel to test it")

SMOKE_CHECKS = {
    "installed, not the checkout": """
import kinetrope, kinetrope_tools, sys
assert all(m.__file__.startswith(sys.prefix) for m in (kinetrope, kinetrope_tools)), kinetrope.__file__
""",
    "computed rudiment": """
import kinetrope
assert kinetrope.bounce(0).as_tuple() == kinetrope.sample("bounce", 64).as_tuple()
""",
    "built-in table": """
import kinetrope
rows = kinetrope.catalogue()
assert len(rows) > 1000 and rows[-1]["name"]
last = rows[-1]
a = kinetrope.sample(last["name"], 5).as_tuple()
assert a == kinetrope.sample(last["name"], 5 + last["period_pips"]).as_tuple()
assert all(-1.0 <= v <= 1.0 for v in a)
""",
    "render reaches the kinetrope module": """
import kinetrope
from kinetrope_tools import render
rows = render("lfo_breathe", range(256))
assert rows.shape == (256, 3)
assert tuple(rows[64]) == kinetrope.sample("lfo_breathe", 64).as_tuple()
""",
    "stubs and license installed": """
import importlib.metadata as md, importlib.util
files = {str(f) for f in md.files("kinetrope")}
assert "kinetrope-stubs/__init__.pyi" in files, sorted(files)[:20]
assert any(f.endswith("LICENSE") for f in files)
assert md.metadata("kinetrope")["License"] == "MIT"
""",
}


@pytest.fixture(scope="module")
def venv_python(tmp_path_factory) -> Path:
    venv = tmp_path_factory.mktemp("wheel-venv") / "venv"
    subprocess.run([sys.executable, "-m", "venv", str(venv)], check=True)
    python = venv / "bin" / "python"
    subprocess.run([str(python), "-m", "pip", "install", "--quiet", "--disable-pip-version-check", WHEEL],
                   check=True, timeout=600)
    return python


@pytest.mark.parametrize("check", SMOKE_CHECKS, ids=list(SMOKE_CHECKS))
def test_installed_wheel(venv_python, tmp_path, check):
    # Run from an empty folder, so that nothing of the checkout is on the path.
    result = subprocess.run([str(venv_python), "-I", "-c", SMOKE_CHECKS[check]], cwd=tmp_path,
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr


def test_wheel_holds_no_test_modules_and_reports_a_manylinux_tag():
    names = zipfile.ZipFile(WHEEL).namelist()
    assert not [n for n in names if "holder_probe" in n]
    auditwheel = shutil.which("auditwheel", path=str(Path(sys.executable).parent)) or shutil.which("auditwheel")
    if auditwheel is None:
        pytest.skip("auditwheel is not installed (requirements-dev.txt)")
    report = subprocess.run([auditwheel, "show", WHEEL], capture_output=True, text=True, timeout=120)
    assert report.returncode == 0, report.stderr
    assert "manylinux_" in report.stdout and "x86_64" in report.stdout, report.stdout
