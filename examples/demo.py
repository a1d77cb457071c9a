"""Watch a few kinetrope motions over two bars at a tempo.

Each line is one sixteenth note (16 pips). Every axis a motion uses is drawn
on a small scale from -1 (left) to 1 (right), so you can see the bounce rise
and fall, the circle turn, the side step ease from side to side and the
sampled patterns sweep.
"""

import argparse
import time

import kinetrope

SIXTEENTH = kinetrope.PIPS_PER_BEAT // 4
WIDTH = 13
MOTIONS = ["bounce", "circle", "step_touch", "lfo_breathe", "path_rose_4"]


def gauge(value: float) -> str:
    """A tiny text scale from -1 to 1 with the value marked by 'o'."""
    cells = ["·"] * WIDTH
    cells[WIDTH // 2] = "|"
    cells[round((value + 1.0) / 2.0 * (WIDTH - 1))] = "o"
    return "".join(cells)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bpm", type=float, default=480.0, help="playback tempo (default: brisk)")
    parser.add_argument("--bars", type=int, default=2)
    args = parser.parse_args()

    rows = {row["name"]: row for row in kinetrope.catalogue()}
    motions = [name for name in MOTIONS if name in rows]
    print(f"kinetrope: {len(rows)} built-in motions, {kinetrope.PIPS_PER_BEAT} pips per beat, {args.bpm:g} bpm")
    for name in motions:
        row = rows[name]
        print(f"  {name:<12} {row['period_pips']:>4} pips, axes {'xyz'[:row['dimensions']]:<3} {row['description']}")
    print()

    axes = {name: "xyz"[: rows[name]["dimensions"]] for name in motions}
    columns = [f"{name}.{axis}" for name in motions for axis in axes[name]]
    print("beat  " + " ".join(f"{column[:WIDTH]:<{WIDTH}}" for column in columns))

    seconds_per_sixteenth = 60.0 / args.bpm / 4
    for pip in range(0, args.bars * 4 * kinetrope.PIPS_PER_BEAT, SIXTEENTH):
        cells: list[str] = []
        for name in motions:
            at = kinetrope.sample(name, pip)
            cells.extend(gauge(getattr(at, axis)) for axis in axes[name])
        print(f"{pip / kinetrope.PIPS_PER_BEAT:4.2f}  " + " ".join(cells), flush=True)
        time.sleep(seconds_per_sixteenth)


if __name__ == "__main__":
    main()
