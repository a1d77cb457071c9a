"""One rule for pips across the package.

A pip is an integer (``bool`` is refused, as it is a flag and not a
count) within the signed 32-bit range of kinetrope's pips. Where a
position may fall between pips (voices), a float is taken too, finite and
within the same range. A fault is a TypeError for the wrong kind of
value, an OverflowError for a value outside the range and a ValueError
for a float that is not finite, each naming the first bad pip.

Runs of pips are checked before anything is allocated for them: a range
by its ends, an array by its extremes.
"""

from __future__ import annotations

import math
import operator
from collections.abc import Iterable, Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

FIRST_PIP = -(2**31)
LAST_PIP = 2**31 - 1


def int_text(value: int) -> str:
    """An integer for a message: its digits, or its size when too long to print."""
    return str(value) if value.bit_length() <= 256 else f"a {value.bit_length()}-bit integer"


FLAG_TYPES = frozenset((bool, np.bool_))


def is_flag(value: object) -> bool:
    return isinstance(value, (bool, np.bool_))


def outside(what: str, value: int | float) -> OverflowError:
    shown = int_text(value) if isinstance(value, int) else repr(value)
    return OverflowError(f"{what} = {shown} is outside the 32-bit pip range")


def whole_pip(value: object, what: str = "pip") -> int:
    """``value`` as a 32-bit pip: an integer, not a bool, not a float."""
    if is_flag(value) or isinstance(value, (float, np.floating)):
        raise TypeError(f"{what} must be an integer, not {type(value).__name__}")
    try:
        pip = operator.index(value)  # type: ignore[arg-type]
    except TypeError:
        raise TypeError(f"{what} must be an integer, not {type(value).__name__}") from None
    if not FIRST_PIP <= pip <= LAST_PIP:
        raise outside(what, pip)
    return pip


def position(value: object, what: str = "pip") -> int | float:
    """A pip or a place between pips: an integer as by ``whole_pip``, or a
    finite float within the same range."""
    if isinstance(value, (float, np.floating)):
        number = float(value)
        if not math.isfinite(number):
            raise ValueError(f"{what} must be finite, not {number!r}")
        if not FIRST_PIP <= number <= LAST_PIP:
            raise outside(what, number)
        return number
    if is_flag(value) or not hasattr(type(value), "__index__"):
        raise TypeError(f"{what} must be an integer or a float, not {type(value).__name__}")
    return whole_pip(value, what)


# Runs of pips


def range_escape(run: range) -> tuple[int, int] | None:
    """The index and value of the first element of ``run`` outside the pip
    range, found from its ends without building it; None when all fit."""
    if not run:
        return None
    if not FIRST_PIP <= run.start <= LAST_PIP:
        return 0, run.start
    if FIRST_PIP <= run[-1] <= LAST_PIP:
        return None
    # The run leaves the range on one side only, as it is monotonic.
    index = (LAST_PIP - run.start) // run.step + 1 if run.step > 0 else (run.start - FIRST_PIP) // -run.step + 1
    return index, run.start + index * run.step


def range_pips(run: range) -> npt.NDArray[np.int64]:
    escape = range_escape(run)
    if escape is not None:
        raise outside(f"pips[{escape[0]}]", escape[1])
    if not run:
        return np.zeros(0, dtype=np.int64)
    return np.arange(run.start, run[-1] + (1 if run.step > 0 else -1), run.step, dtype=np.int64)


def checked_integer_array(array: npt.NDArray[Any]) -> npt.NDArray[np.int64]:
    """An integer array whose extremes are pips, as int64."""
    if array.size and not (FIRST_PIP <= int(array.min()) and int(array.max()) <= LAST_PIP):
        bad = np.flatnonzero((array < FIRST_PIP) | (array > LAST_PIP))[0]
        raise outside(f"pips[{bad}]", int(array[bad]))
    return array.astype(np.int64, copy=False)


def checked_float_array(array: npt.NDArray[np.float64]) -> npt.NDArray[np.float64]:
    """A float array whose extremes are finite pips (NaN carries through
    min and max, so two reductions see every fault)."""
    if array.size and not (FIRST_PIP <= array.min() and array.max() <= LAST_PIP):
        finite = np.isfinite(array)
        if not finite.all():
            bad = int(np.argmin(finite))
            raise ValueError(f"pips[{bad}] = {float(array[bad])!r} is not finite")
        bad = int(np.flatnonzero((array < FIRST_PIP) | (array > LAST_PIP))[0])
        raise outside(f"pips[{bad}]", float(array[bad]))
    return array


def array_pips(array: npt.NDArray[Any], *, floats: bool) -> npt.NDArray[np.int64] | npt.NDArray[np.float64]:
    if array.ndim != 1:
        raise TypeError(f"pips must be one-dimensional, not {array.ndim}-dimensional")
    if array.dtype.kind in "iu":
        return checked_integer_array(array)
    if array.dtype.kind == "f" and floats:
        return checked_float_array(array.astype(np.float64, copy=False))
    if array.size == 0 and array.dtype.kind != "b":
        return np.zeros(0, dtype=np.int64)
    kinds = "integers or floats" if floats else "integers"
    raise TypeError(f"pips must be {kinds}, not an array of {array.dtype}")


def sequence_pips(pips: object, *, floats: bool) -> npt.NDArray[np.int64] | npt.NDArray[np.float64]:
    """A list or other sequence: NumPy reads it in one pass, then any flag,
    float or out-of-range item is named by a second look at the items."""
    if isinstance(pips, (str, bytes, bytearray)) or not isinstance(pips, Iterable):
        raise TypeError(f"pips must be a range, a sequence or an array of pips, not {type(pips).__name__}")
    if not isinstance(pips, Sequence):
        pips = list(pips)
    try:
        array = np.asarray(pips)
    except (OverflowError, ValueError):  # integers past int64, ragged rows: judged item by item below
        array = np.empty(0, dtype=object)
    if array.ndim == 1 and (array.dtype.kind in "iu" or (floats and array.dtype.kind == "f")):
        if FLAG_TYPES.isdisjoint(map(type, pips)):
            return array_pips(array, floats=floats)
    if array.ndim > 1:
        raise TypeError(f"pips must be one-dimensional, not {array.ndim}-dimensional")
    check = position if floats else whole_pip
    values = [check(item, f"pips[{index}]") for index, item in enumerate(pips)]
    if not values:
        return np.zeros(0, dtype=np.int64)
    result = np.array(values)
    return result.astype(np.int64, copy=False) if result.dtype.kind == "i" else result


def pips_array(pips: object, *, floats: bool = False) -> npt.NDArray[np.int64] | npt.NDArray[np.float64]:
    """A run of pips (a range, an array or a sequence) as a checked int64
    array, or float64 where ``floats`` allows places between pips."""
    if isinstance(pips, range):
        return range_pips(pips)
    if isinstance(pips, np.ndarray):
        return array_pips(pips, floats=floats)
    return sequence_pips(pips, floats=floats)
