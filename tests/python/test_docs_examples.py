"""The python examples of the guide and the API reference run, in order, as one program each; the
README's run each on its own, as a reader copies one."""

import re
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
DOCS = REPO / "docs"
BLOCK = re.compile(r"^```python\n(.*?)^```", re.DOTALL | re.MULTILINE)


@pytest.mark.parametrize("page", ["guide.md", "api.md"])
def test_examples_run(page):
    pytest.importorskip("pythonosc")
    text = (DOCS / page).read_text(encoding="utf-8")
    blocks = BLOCK.findall(text)
    assert blocks and len(blocks) == text.count("```python")
    namespace: dict = {}
    for number, block in enumerate(blocks, start=1):
        exec(compile(block, f"{page}, example {number}", "exec"), namespace)


README_BLOCKS = BLOCK.findall((REPO / "README.md").read_text(encoding="utf-8"))


def test_the_readme_blocks_are_all_found():
    assert len(README_BLOCKS) == (REPO / "README.md").read_text(encoding="utf-8").count("```python") >= 4


@pytest.mark.parametrize("number", range(1, len(README_BLOCKS) + 1))
def test_each_readme_example_runs_on_its_own(number):
    exec(compile(README_BLOCKS[number - 1], f"README.md, example {number}", "exec"), {})


def test_the_reference_names_every_public_name():
    import kinetrope
    import kinetrope_tools

    text = (DOCS / "api.md").read_text(encoding="utf-8")
    public = [name for name in dir(kinetrope) if not name.startswith("_")] + list(kinetrope_tools.__all__)
    assert [name for name in public if f"`{name}" not in text and f" {name}," not in text] == []
