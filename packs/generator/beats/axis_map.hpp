// The map that carries one axis of a motion's raw curves out to the ends of
// its range. A separate gain on each side of zero would break the slope
// wherever the axis crosses zero (a hitch through the centre); a quadratic
// f(v) = a v + b v^2 bends both sides with one slope through 0, keeps rests
// at the origin (f(0) = 0) and still lands both farthest reaches exactly on
// their ends.
#pragma once

#include <optional>

namespace kinetrope::packgen {

struct AxisMap {
    double a = 1.0;
    double b = 0.0;

    double operator()(double v) const noexcept { return v * (a + b * v); }
    double slope(double v) const noexcept { return a + 2.0 * b * v; }
};

// The map that sends -below to -low_end and +above to +high_end (all four
// are magnitudes, >= 0). A side that no curve reaches takes the other
// side's straight gain. Empty where no increasing map exists: a side
// reached but with a zero end, or ends so lopsided against the reaches
// that the slope would turn negative inside [-below, above].
inline std::optional<AxisMap> fit_axis_map(double below, double above, double low_end, double high_end) noexcept {
    if ((below > 0.0 && !(low_end > 0.0)) || (above > 0.0 && !(high_end > 0.0))) {
        return std::nullopt;
    }
    if (!(below > 0.0) && !(above > 0.0)) {
        return AxisMap{};
    }
    if (!(below > 0.0)) {
        return AxisMap{high_end / above, 0.0};
    }
    if (!(above > 0.0)) {
        return AxisMap{low_end / below, 0.0};
    }
    // a + b above = high_end / above and a - b below = low_end / below.
    const double up = high_end / above;
    const double down = low_end / below;
    const double b = (up - down) / (above + below);
    const AxisMap map{up - b * above, b};
    if (!(map.slope(-below) > 0.0) || !(map.slope(above) > 0.0)) {
        return std::nullopt;
    }
    return map;
}

}  // namespace kinetrope::packgen
