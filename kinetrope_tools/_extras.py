"""The optional parts of kinetrope_tools and the extras that install them."""

from __future__ import annotations

import importlib


def require(module: str, distribution: str, extra: str, part: str) -> None:
    """ImportError naming the extra to install when ``module`` is missing."""
    try:
        importlib.import_module(module)
    except ImportError as error:
        raise ImportError(
            f"{part} needs {distribution}, which the '{extra}' extra installs: "
            f"pip install 'kinetrope[{extra}]'",
            name=module,
        ) from error
