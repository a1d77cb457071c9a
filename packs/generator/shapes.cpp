#include "shapes.hpp"

#include <cmath>

namespace kinetrope::packgen {

namespace {
namespace shapes_local {
constexpr double back_overshoot = 1.70158;
}  // namespace shapes_local
}  // namespace

double smoothstep(double s) noexcept { return 3.0 * s * s - 2.0 * s * s * s; }

double smootherstep(double s) noexcept {
    return 6.0 * s * s * s * s * s - 15.0 * s * s * s * s + 10.0 * s * s * s;
}

double back_in(double s) noexcept {
    using namespace shapes_local;
    return s * s * ((back_overshoot + 1.0) * s - back_overshoot);
}

double back_out(double s) noexcept {
    using namespace shapes_local;
    const double r = s - 1.0;
    return 1.0 + r * r * ((back_overshoot + 1.0) * r + back_overshoot);
}

double bounce_out(double s) noexcept {
    constexpr double b1 = 4.0 / 11.0;
    constexpr double b2 = 6.0 / 11.0;
    constexpr double b3 = 8.0 / 11.0;
    constexpr double b5 = 9.0 / 11.0;
    constexpr double b6 = 10.0 / 11.0;
    constexpr double b8 = 21.0 / 22.0;
    constexpr double k = 7.5625;  // 1 / b1^2
    if (s < b1) {
        return k * s * s;
    }
    if (s < b3) {
        return k * (s - b2) * (s - b2) + 0.75;
    }
    if (s < b6) {
        return k * (s - b5) * (s - b5) + 0.9375;
    }
    return k * (s - b8) * (s - b8) + 0.984375;
}

double key_lane_at(const KeyLane& lane, double pip, double period) noexcept {
    const auto& keys = lane.keys;
    std::size_t segment = 0;
    while (segment + 1 < keys.size() && keys[segment + 1].pip <= pip) {
        ++segment;
    }
    const Key& from = keys[segment];
    const bool last = segment + 1 == keys.size();
    const double to_pip = last ? period : keys[segment + 1].pip;
    const double to_value = last ? keys.front().value : keys[segment + 1].value;
    const double s = (pip - from.pip) / (to_pip - from.pip);
    return from.value + (to_value - from.value) * lane.easing(s);
}

double raised_cosine(double u) noexcept {
    return std::fabs(u) < 1.0 ? 0.5 * (1.0 + std::cos(pi * u)) : 0.0;
}

double loop_distance(double from, double to, double period) noexcept {
    double d = std::fmod(to - from, period);
    if (d >= 0.5 * period) {
        d -= period;
    } else if (d < -0.5 * period) {
        d += period;
    }
    return d;
}

Offset3 bumps_at(std::span<const Bump> bumps, double pip, double period) noexcept {
    Offset3 sum{0.0, 0.0, 0.0};
    for (const Bump& bump : bumps) {
        const double u = loop_distance(bump.onset, pip, period) / bump.half_width;
        if (std::fabs(u) < 1.0) {
            sum = sum + raised_cosine(u) * bump.amplitude;
        }
    }
    return sum;
}

Offset3 operator+(Offset3 a, Offset3 b) noexcept { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

Offset3 operator*(double k, Offset3 a) noexcept { return {k * a.x, k * a.y, k * a.z}; }

}  // namespace kinetrope::packgen
