"""Watch a few kinetrope motions over two bars at a tempo.

Each line is one sixteenth note (16 pips). The x and y of each motion are
drawn on small horizontal scales from -1 to 1, so you can see the bounce
rise and fall, the sway swing, and the strokes of a paradiddle alternate.
"""

import argparse
import time

import kinetrope

SIXTEENTH = kinetrope.PIPS_PER_BEAT // 4
WIDTH = 13


def gauge(value: float) -> str:
    """A tiny text scale from -1 to 1 with the value marked by 'o'."""
    cells = ["·"] * WIDTH
    cells[WIDTH // 2] = "|"
    cells[round((value + 1.0) / 2.0 * (WIDTH - 1))] = "o"
    return "".join(cells)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bpm", type=float, default=480.0, help="playback tempo (default: fast)")
    parser.add_argument("--bars", type=int, default=2)
    args = parser.parse_args()

    motions = ["bounce", "sway", "circle", "step_touch"]
    rows = {row["name"]: row for row in kinetrope.catalogue()}
    print(f"kinetrope: {len(rows)} built-in motions, {kinetrope.PIPS_PER_BEAT} pips per beat")
    for name in motions:
        row = rows[name]
        print(f"  {name:<18} {row['period_pips']:>4} pips, {row['dimensions']} axes: {row['description']}")
    print()
    header = "beat  " + "".join(f"{name[:WIDTH]:<{WIDTH}}{'':>{WIDTH + 3}}" for name in motions)
    print(header)
    print("      " + f"{'x':<{WIDTH}}   {'y':<{WIDTH}}" * len(motions))

    seconds_per_sixteenth = 60.0 / args.bpm / 4
    for pip in range(0, args.bars * 4 * kinetrope.PIPS_PER_BEAT, SIXTEENTH):
        beat = pip / kinetrope.PIPS_PER_BEAT
        cells = []
        for name in motions:
            at = kinetrope.sample(name, pip)
            cells.append(f"{gauge(at.x)}   {gauge(at.y)}")
        print(f"{beat:4.2f}  " + "   ".join(cells), flush=True)
        time.sleep(seconds_per_sixteenth)


if __name__ == "__main__":
    main()
