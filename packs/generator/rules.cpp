#include "rules.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace kinetrope::packgen {

double loop_angle(double pip, int period) noexcept { return 2.0 * pi * pip / period; }

double side(int index) noexcept { return index % 2 == 0 ? 1.0 : -1.0; }

Rule key_lanes(int period, std::optional<KeyLane> x, std::optional<KeyLane> y, std::optional<KeyLane> z) {
    const double p = period;
    return [p, x = std::move(x), y = std::move(y), z = std::move(z)](double pip) {
        const auto axis = [&](const std::optional<KeyLane>& lane) {
            return lane ? key_lane_at(*lane, pip, p) : 0.0;
        };
        return Offset3{axis(x), axis(y), axis(z)};
    };
}

Rule gestures(int period, std::vector<Bump> bumps) {
    const double p = period;
    return [p, bumps = std::move(bumps)](double pip) { return bumps_at(bumps, pip, p); };
}

Rule sampled_x(std::vector<double> values) {
    return [values = std::move(values)](double pip) {
        const double whole = std::floor(pip);
        if (whole != pip || whole < 0.0 || whole >= static_cast<double>(values.size())) {
            throw std::logic_error("an authored table is defined at its own pips only");
        }
        return Offset3{values[static_cast<std::size_t>(whole)], 0.0, 0.0};
    };
}

int euclid_step(int m, int n, int k) noexcept { return (m * n + k - 1) / k; }


namespace {
namespace rules_local {

double fit_factor(double lowest, double highest, AxisRange range) {
    double factor = 1e300;
    if (highest > 0.0) {
        factor = std::min(factor, range.high / highest);
    }
    if (lowest < 0.0) {
        factor = std::min(factor, range.low / lowest);
    }
    if (factor == 1e300) {
        throw std::runtime_error("fitting a still axis to a range");
    }
    return factor;
}

}  // namespace rules_local
}  // namespace

Rule fitted_to_ranges(Rule raw, int period, AxisRange x, AxisRange y) {
    using namespace rules_local;
    Offset3 lowest{0.0, 0.0, 0.0};
    Offset3 highest{0.0, 0.0, 0.0};
    for (int i = 0; i < period; ++i) {
        const Offset3 p = raw(i);
        lowest = {std::min(lowest.x, p.x), std::min(lowest.y, p.y), 0.0};
        highest = {std::max(highest.x, p.x), std::max(highest.y, p.y), 0.0};
    }
    const double fx = fit_factor(lowest.x, highest.x, x);
    const double fy = fit_factor(lowest.y, highest.y, y);
    return [raw = std::move(raw), fx, fy](double pip) {
        const Offset3 p = raw(pip);
        return Offset3{fx * p.x, fy * p.y, 0.0};
    };
}

}  // namespace kinetrope::packgen
