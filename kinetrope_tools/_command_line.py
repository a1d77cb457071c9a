"""What the package's command lines share."""

from __future__ import annotations

import argparse
from typing import NoReturn


class OneLineParser(argparse.ArgumentParser):
    """An argument parser whose refusals are one line on stderr, exit status 2."""

    def error(self, message: str) -> NoReturn:
        self.exit(2, f"{self.prog}: error: {message} (see --help)\n")


def plural(count: int, noun: str) -> str:
    """'1 frame', '2 frames'."""
    return f"{count} {noun}" if count == 1 else f"{count} {noun}s"
