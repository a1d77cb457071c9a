"""Whole timelines of kinetrope positions as NumPy arrays"""

from collections.abc import Iterator, Sequence
from typing import Any, SupportsIndex, TypeAlias, overload

import numpy as np
import numpy.typing as npt

import kinetrope

_Pips: TypeAlias = range | Sequence[SupportsIndex] | Iterator[SupportsIndex] | npt.NDArray[np.integer[Any]]

@overload
def render(
    source: str | bytes | bytearray | kinetrope.SampledPattern | kinetrope.SampledRecording,
    pips: _Pips,
    name: None = None,
) -> npt.NDArray[np.float64]: ...
@overload
def render(source: kinetrope.PatternLibrary, pips: _Pips, name: str | bytes | bytearray) -> npt.NDArray[np.float64]: ...
