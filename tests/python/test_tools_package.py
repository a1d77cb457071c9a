"""The installed packages as a user meets them: types seen from outside the
repository, stubtest, the extras' import errors, and the README's examples."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]


def outside(tmp_path, *command, **options):
    """Runs this interpreter in a folder outside the repository."""
    return subprocess.run([sys.executable, *command], cwd=tmp_path, capture_output=True, text=True, timeout=600,
                          **options)


@pytest.fixture
def mypy_installed():
    try:
        import mypy  # noqa: F401
    except ImportError:
        if os.environ.get("CI"):
            raise
        pytest.skip("mypy is not installed (it is in requirements-dev.txt)")


# Calls that fail at run time, which mypy must flag through the installed types.
MISUSES = [
    "render(kinetrope.PatternLibrary(), [0])",  # a library needs a name
    "render('bounce', [0], name='bounce')",  # a name only with a library
    "render('bounce', [0.5])",
    "render(42, [0])",
    "TempoMap(120.0).pip_at('1.0')",
    "TempoMap(120.0, changes=[(1.5, 90.0)])",
    "BeatClock(120.0, 5)",  # start_pip is keyword-only
    "x: int = TempoMap(120.0).pips_at([0.0])",
    "kinetrope.sample('bounce', 1.0)",
]


def test_mypy_strict_outside_the_repository_sees_both_packages(tmp_path, mypy_installed):
    shutil.copy(REPO / "tests" / "typing" / "tools_usage.py", tmp_path)
    misuse = tmp_path / "misuse.py"
    misuse.write_text("import kinetrope\nfrom kinetrope_tools import BeatClock, TempoMap, render\n"
                      + "\n".join(MISUSES) + "\n", encoding="utf-8")
    env = {k: v for k, v in os.environ.items() if k not in ("MYPYPATH", "PYTHONPATH")}
    good = outside(tmp_path, "-m", "mypy", "--strict", "--no-error-summary", "tools_usage.py", env=env)
    assert good.returncode == 0, good.stdout + good.stderr
    bad = outside(tmp_path, "-m", "mypy", "--strict", "--no-error-summary", "misuse.py", env=env)
    flagged = {int(line.split(":")[1]) for line in bad.stdout.splitlines() if ": error:" in line}
    assert flagged == set(range(3, len(MISUSES) + 3)), bad.stdout


def test_typed_usage_runs():
    subprocess.run([sys.executable, str(REPO / "tests" / "typing" / "tools_usage.py")], check=True, timeout=120)


def test_stubtest_passes_for_both_packages(tmp_path, mypy_installed):
    result = outside(tmp_path, "-m", "mypy.stubtest", "kinetrope", "kinetrope_tools")
    assert result.returncode == 0, result.stdout[-5000:] + result.stderr[-2000:]


@pytest.mark.parametrize(
    "blocked, part, extra",
    [("pythonosc", "kinetrope_tools.osc", "osc"), ("matplotlib", "kinetrope_tools.gallery", "gallery")],
)
def test_a_missing_extra_is_named(tmp_path, blocked, part, extra):
    script = (f"import sys\nsys.modules[{blocked!r}] = None\n"
              f"try:\n    import {part}\nexcept ImportError as error:\n    print(error)\n")
    result = outside(tmp_path, "-c", script)
    assert result.returncode == 0, result.stderr
    assert f"pip install 'kinetrope[{extra}]'" in result.stdout
    assert outside(tmp_path, "-c", "import sys; sys.modules[%r] = None; import kinetrope_tools" % blocked).returncode == 0


# ------------------------------------------------------------------- README


def readme_section(title):
    text = (REPO / "README.md").read_text(encoding="utf-8")
    match = re.search(rf"^## {re.escape(title)}\n(.*?)(?=^## |\Z)", text, re.S | re.M)
    assert match, f"README has no section {title!r}"
    return match.group(1)


def code_blocks(section, language):
    return re.findall(rf"```{language}\n(.*?)```", section, re.S)


def test_readme_show_examples_run(tmp_path):
    blocks = code_blocks(readme_section("Use it in a show"), "python")
    assert blocks
    result = outside(tmp_path, "-c", "\n".join(blocks))
    assert result.returncode == 0, result.stderr


def test_readme_osc_command_reaches_a_server(tmp_path):
    pytest.importorskip("pythonosc")
    from test_tools_osc import Receiver, assert_carries_the_module_values

    commands = [line for block in code_blocks(readme_section("Use it in a show"), "sh")
                for line in block.splitlines() if "kinetrope_tools.osc" in line]
    assert commands
    receiver = Receiver()
    try:
        for command in commands:
            words = command.split("#")[0].split()
            assert words[0] in ("python", ".venv/bin/python") and words[1:3] == ["-m", "kinetrope_tools.osc"]
            words = [receiver.target if w == "127.0.0.1:9000" else w for w in words[1:]]
            result = outside(tmp_path, *words, "--frames", "3")
            assert result.returncode == 0, result.stderr
        assert_carries_the_module_values(receiver.settle(3))
    finally:
        receiver.close()
