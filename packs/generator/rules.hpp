// Rule builders shared by the packs: a rule is a function of the continuous
// pip; these wrap the building blocks into rules over one loop.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "pattern.hpp"
#include "shapes.hpp"

namespace kinetrope::packgen {

// Phase angle 2 pi pip / period.
double loop_angle(double pip, int period) noexcept;

// A closed curve of the loop angle theta = 2 pi pip / period.
template <typename Curve>
Rule of_angle(int period, Curve curve) {
    return [period, curve](double pip) { return curve(loop_angle(pip, period)); };
}

// +1 for even indices, -1 for odd: the alternating sides of a rhythm.
double side(int index) noexcept;

// Key lanes on the named axes; an absent lane keeps its axis at 0.
Rule key_lanes(int period, std::optional<KeyLane> x, std::optional<KeyLane> y = std::nullopt,
               std::optional<KeyLane> z = std::nullopt);

// Sum of gesture bumps around the loop.
Rule gestures(int period, std::vector<Bump> bumps);

// An authored single-axis table, one value per pip (integer pips only).
Rule sampled_x(std::vector<double> values);

// Ceiling of m * n / k for non-negative integers: the grid step of onset m
// when k onsets are spread evenly over n steps.
int euclid_step(int m, int n, int k) noexcept;


// Closed range one axis of a pattern must stay within.
struct AxisRange {
    double low;
    double high;
};

// The rule with x and y each scaled by the largest factor that keeps the
// axis (over the table's pips) within its range: the binding extreme lands
// on its range end, the other stays inside.
Rule fitted_to_ranges(Rule raw, int period, AxisRange x, AxisRange y);

}  // namespace kinetrope::packgen
