// Bringing a motion's raw curves to their final sizes, per pack: every
// pattern inside the motion's ranges and peak band, each range end and
// both ends of the band reached by some groove, and the rest share of the
// resting motions up to (and reaching) its maximum.
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

#include "motions.hpp"

namespace kinetrope::packgen {

struct Span {
    double low;
    double high;
};

// What a motion keeps over one pack's grooves: the ranges of x, y and z,
// the band of each pattern's peak (its largest coordinate magnitude) and
// the largest share of pips at rest at the origin (0 for a motion that
// never rests).
struct MotionRow {
    Span x;
    Span y;
    Span z;
    Span peak;
    double rest;
};

enum class BeatPack { club, dancefloor };

const MotionRow& motion_row(BeatPack pack, Motion motion);

// Axes a calibration must leave as the rule draws them, x, y, z.
using AxisKept = std::array<bool, 3>;

// One groove's part in a calibration: the groove and the axes of its
// pattern that stay as drawn.
struct CalibrationInput {
    const Groove* groove;
    AxisKept kept;
};

// The final curves of `motion` for each input groove, in input order.
// Throws std::runtime_error naming the pack and motion if the row cannot
// be kept and reached.
std::vector<Curve> calibrated_curves(BeatPack pack, Motion motion, std::span<const CalibrationInput> inputs);

}  // namespace kinetrope::packgen
