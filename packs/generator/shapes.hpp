// Building blocks shared by every pack's rules: easing curves, key lanes and
// gesture bumps. All arithmetic is plain double in a fixed order, so a table
// is reproducible to the last bit.
#pragma once

#include <numbers>
#include <span>
#include <vector>

#include "kinetrope/time_base.hpp"

namespace kinetrope::packgen {

inline constexpr double pi = std::numbers::pi;

// Cubic smoothstep 3s^2 - 2s^3.
double smoothstep(double s) noexcept;
// Quintic smootherstep 6s^5 - 15s^4 + 10s^3.
double smootherstep(double s) noexcept;
// Back-in: s^2((c+1)s - c) with c = 1.70158; dips below 0 before rising.
double back_in(double s) noexcept;
// Back-out: 1 + (s-1)^2((c+1)(s-1) + c); overshoots 1 before settling.
double back_out(double s) noexcept;
// Bounce-out: four parabolic arcs of decreasing height ending at 1.
double bounce_out(double s) noexcept;

using Easing = double (*)(double) noexcept;

// One key of a lane: the value reached at a (possibly fractional) pip.
struct Key {
    double pip;
    double value;
};

// A cyclic list of keys in ascending pip order, the first at pip 0, joined
// by an easing curve; the last key runs to the first key's value at the
// loop's end.
struct KeyLane {
    std::vector<Key> keys;
    Easing easing = &smootherstep;
};

// Value of the lane at `pip` in [0, period).
double key_lane_at(const KeyLane& lane, double pip, double period) noexcept;

// A gesture event: a raised-cosine bump of half-width `half_width` pips
// peaking at `amplitude` exactly at `onset` (which may be fractional).
struct Bump {
    double onset;
    double half_width;
    Offset3 amplitude;
};

// Raised cosine 1/2(1 + cos(pi u)) for |u| < 1, else 0.
double raised_cosine(double u) noexcept;

// Signed distance from `from` to `to` taken the short way around a loop.
double loop_distance(double from, double to, double period) noexcept;

// Sum of every bump at `pip`, in event order; bumps act across the wrap.
Offset3 bumps_at(std::span<const Bump> bumps, double pip, double period) noexcept;

Offset3 operator+(Offset3 a, Offset3 b) noexcept;
Offset3 operator*(double k, Offset3 a) noexcept;

}  // namespace kinetrope::packgen
