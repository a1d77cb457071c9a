// Authored two-bar funk excerpts for the groove_ patterns: hit lists with
// performed timing; the grid versions quantise the same hits to sixteenths.
#pragma once

#include <span>
#include <vector>

#include "rules.hpp"
#include "shapes.hpp"

namespace kinetrope::packgen {

enum class FunkDrum { kick, snare, ghost_snare, closed_hat, open_hat };

// One drum hit: performed onset pip (within a 512-pip, two-bar loop), the
// instrument, its level (0 to 1) and the half-width of its gesture in pips.
struct Hit {
    double pip;
    FunkDrum instrument;
    double level;
    double width;
};

std::span<const Hit> excerpt_a() noexcept;
std::span<const Hit> excerpt_b() noexcept;

// Gestures of the hits: each instrument moves the point in its own
// direction, scaled by the hit's level. With `on_grid` every onset moves
// to the nearest multiple of 16 pips (a sixteenth note).
std::vector<Bump> hit_gestures(std::span<const Hit> hits, bool on_grid);

// The gestures with, on x and on y, every positive amplitude scaled by one
// gain and every negative amplitude by another, chosen so that the sum over
// the loop's pips reaches both ends of the axis's range. Onsets, widths and
// the rests at the origin between gestures stay as they are.
std::vector<Bump> spanning_ranges(std::vector<Bump> gestures, int period, AxisRange x, AxisRange y);

}  // namespace kinetrope::packgen
