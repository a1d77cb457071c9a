"""What the package's command lines share."""

from __future__ import annotations

import argparse
import math
from collections.abc import Callable
from typing import NoReturn


class OneLineParser(argparse.ArgumentParser):
    """An argument parser whose refusals are one line on stderr, exit status 2."""

    def error(self, message: str) -> NoReturn:
        self.exit(2, f"{self.prog}: error: {' '.join(message.split())} (see --help)\n")


def plural(count: int, noun: str) -> str:
    """'1 frame', '2 frames'."""
    return f"{count} {noun}" if count == 1 else f"{count} {noun}s"


def positive_int(text: str) -> int:
    """A whole number above zero, for counts such as --frames, --jobs, --dpi."""
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if value <= 0:
        raise argparse.ArgumentTypeError(f"must be positive: {text!r}")
    return value


def positive_number(unit: str = "") -> Callable[[str], float]:
    """A finite number above zero, for rates and lengths such as --bpm, --fps,
    --seconds; `unit` names what it counts in the refusal."""
    refusal = f"must be a positive number of {unit}" if unit else "must be positive"

    def parse(text: str) -> float:
        try:
            value = float(text)
        except ValueError:
            raise argparse.ArgumentTypeError(f"not a number: {text!r}") from None
        if not (math.isfinite(value) and value > 0):
            raise argparse.ArgumentTypeError(f"{refusal}: {text!r}")
        return value

    return parse


def file_size(size: int) -> str:
    """A file's size as a reader counts it: '42 KB', '15.5 MB'."""
    if size < 1000:
        return f"{size} bytes"
    if size < 1_000_000:
        return f"{size / 1e3:.0f} KB"
    return f"{size / 1e6:.1f} MB"
