"""Every built-in table against every other: no two motions share a table,
not even shifted in time or repeated, and every axis a pattern declares
moves."""

import itertools
from collections import defaultdict

import numpy as np
import pytest

import kinetrope
from kinetrope_tools import render

RUDIMENTS = 15
SAME_WITHIN = 1e-4

# Patterns that declare x but keep it still: they move y only.
STILL_X = {
    "lfo_double_pump",
    "beat_four_floor_bounce",
    *(f"env_{word}" for word in """lift_hold_drop inhale_exhale triple_swell rising_echo falling_echo
      anticipation plateau_scoop hesitant double_hold swell_recoil late_release split_attack suspended
      valley_peaks four_breaths return_stair""".split()),
}

# Tables that repeat or rotate another one because both rules say so: a
# meter whose groups are another's twice over or started elsewhere, and the
# even rose that traces its five petals twice.
ALIKE_BY_RULE = {
    frozenset({"meter_3_2", "meter_3_2_3_2"}),
    frozenset({"meter_2_3_2_2", "meter_2_2_2_3"}),
    frozenset({"polar_rose_10", "path_rose_5"}),
}


@pytest.fixture(scope="module")
def tables():
    rows = kinetrope.catalogue()[RUDIMENTS:]
    return {row["name"]: (row["dimensions"], np.asarray(render(row["name"], range(row["period_pips"]))))
            for row in rows}


def shortest_loop(table):
    """The table cut to its shortest repeat: a loop played twice is the same motion."""
    period = len(table)
    for length in range(32, period, 32):
        if period % length == 0 and np.abs(table - np.roll(table, length, axis=0)).max() < SAME_WITHIN:
            return table[:length]
    return table


def alike_at_some_shift(a, b):
    """Whether b is a shifted in time, within SAME_WITHIN on every coordinate."""
    # Squared distance at every shift at once, by cross-correlation: only the
    # shifts close in that sense can be close on every coordinate.
    correlation = np.fft.irfft((np.fft.rfft(a, axis=0) * np.conj(np.fft.rfft(b, axis=0))).sum(axis=1), n=len(a))
    squared = (a * a).sum() + (b * b).sum() - 2 * correlation
    candidates = np.nonzero(squared <= a.size * SAME_WITHIN**2 + 1e-9)[0]
    return any(np.abs(np.roll(a, -s, axis=0) - b).max() < SAME_WITHIN for s in candidates)


def alike_pairs(loops):
    """Pairs of names whose loops are alike at some shift. Sorting every axis
    forgets the shift, so two loops are compared only when their sorted values
    agree; the mean of those orders the loops, so only neighbours are tried."""
    by_length = defaultdict(list)
    for name, loop in loops.items():
        by_length[len(loop)].append(name)
    pairs = set()
    for names in by_length.values():
        sorted_values = np.stack([np.sort(loops[n], axis=0).ravel() for n in names])
        means = sorted_values.mean(axis=1)
        order = np.argsort(means)
        for k, i in enumerate(order):
            for j in order[k + 1:]:
                if means[j] - means[i] > SAME_WITHIN:
                    break
                if (np.abs(sorted_values[i] - sorted_values[j]).max() < SAME_WITHIN
                        and alike_at_some_shift(loops[names[i]], loops[names[j]])):
                    pairs.add(frozenset({names[i], names[j]}))
    return pairs


def test_no_two_tables_are_alike_at_any_shift_or_repeat(tables):
    loops = {name: shortest_loop(table) for name, (_, table) in tables.items()}
    assert alike_pairs(loops) == ALIKE_BY_RULE


def test_the_pair_search_finds_shifted_and_repeated_copies():
    rng = np.random.default_rng(7)
    base = rng.uniform(-0.8, 0.8, size=(256, 3))
    loops = {
        "base": base,
        "shifted": np.roll(base, 96, axis=0) + 4e-5,
        "nudged": np.roll(base, 96, axis=0) + np.where(np.arange(256)[:, None] == 5, 3e-4, 0.0),
        "repeated": shortest_loop(np.concatenate([base, base])),
        "other": rng.uniform(-0.8, 0.8, size=(256, 3)),
    }
    found = alike_pairs(loops)
    assert found == {frozenset(p) for p in itertools.combinations(["base", "shifted", "repeated"], 2)}


def test_every_declared_axis_moves(tables):
    still = {(name, axis) for name, (dims, table) in tables.items() for axis in range(dims)
             if np.ptp(table[:, axis]) < 1e-3}
    assert still == {(name, 0) for name in STILL_X}
