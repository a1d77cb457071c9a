// The fifteen computed rudiments: eight dance motions evaluated from closed
// formulas and seven drum rudiments rendered as motion. Each is a pure
// function of the pip and loops with its own period.
#pragma once

#include "kinetrope/time_base.hpp"

namespace kinetrope {

// Dance motions.
Offset3 bounce(int pip) noexcept;           // 64 pips, 1 axis
Offset3 sway(int pip) noexcept;             // 128 pips, 1 axis
Offset3 circle(int pip) noexcept;           // 64 pips, 2 axes
Offset3 figure_eight(int pip) noexcept;     // 128 pips, 2 axes
Offset3 step_touch(int pip) noexcept;       // 128 pips, 2 axes
Offset3 box_step(int pip) noexcept;         // 256 pips, 2 axes
Offset3 helix(int pip) noexcept;            // 256 pips, 3 axes
Offset3 varn_background(int pip) noexcept;  // 256 pips, 2 axes

// Stroke rudiments (2 axes: lateral swing on x, downward dip on y).
Offset3 single_stroke_roll(int pip) noexcept;    // 64 pips
Offset3 double_stroke_roll(int pip) noexcept;    // 64 pips
Offset3 multiple_bounce_roll(int pip) noexcept;  // 64 pips
Offset3 single_paradiddle(int pip) noexcept;     // 128 pips
Offset3 flam(int pip) noexcept;                  // 64 pips
Offset3 drag(int pip) noexcept;                  // 64 pips
Offset3 five_stroke_roll(int pip) noexcept;      // 128 pips

}  // namespace kinetrope
