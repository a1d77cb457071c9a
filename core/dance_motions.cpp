// The eight computed dance motions. Every formula is evaluated in IEEE double
// precision in exactly the order written, so results are reproducible to the
// last bit with the platform maths library.
#include <array>
#include <cmath>

#include "kinetrope/rudiments.hpp"

namespace kinetrope {
namespace {

constexpr double pi = 3.141592653589793;
constexpr double half_pi = 1.5707963267948966;
constexpr double two_pi = 6.283185307179586;
constexpr double four_pi = 12.566370614359172;

// Cubic smoothstep (3 - 2f)f^2 in the fixed evaluation order.
constexpr double smoothstep(double f) noexcept { return (3.0 - (f + f)) * (f * f); }

// Eased move from a to b at fraction f.
constexpr double ease(double a, double b, double f) noexcept { return (b - a) * smoothstep(f) + a; }

struct Station {
    double from;
    double to;
};

// step_touch: one half-beat move per 32 pips along x.
constexpr std::array<Station, 4> side_step_stations{{{-1.0, 0.0}, {0.0, 1.0}, {1.0, 0.0}, {0.0, -1.0}}};

struct Corner {
    double x;
    double y;
};

// box_step: one side per beat, counter-clockwise; side k runs from corner k
// to corner k + 1.
constexpr std::array<Corner, 5> box_corners{{{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0}, {-1.0, -1.0}}};

struct Keyframe {
    int pip;
    double x;
    double y;
};

// varn_background drift keyframes; the last repeats the first one loop later.
constexpr std::array<Keyframe, 14> drift_keyframes{{
    {0, 0.0, 0.0},
    {23, 2.0 / 14.0, -0.1},
    {33, 13.0 / 14.0, -0.8},
    {49, 5.0 / 14.0, -0.4},
    {87, -3.0 / 14.0, 0.2},
    {100, -1.0, 0.9},
    {118, -5.0 / 14.0, 0.5},
    {154, 1.0 / 14.0, 0.0},
    {169, 12.0 / 14.0, 1.0},
    {187, 4.0 / 14.0, 0.5},
    {215, -2.0 / 14.0, -0.2},
    {228, -10.0 / 14.0, -0.9},
    {243, -3.0 / 14.0, -0.3},
    {256, 0.0, 0.0},
}};

constexpr int drift_period = 256;
using DriftTable = std::array<Offset3, drift_period>;

// A pip that equals an interior keyframe's pip belongs to the segment that
// ends there (f = 1), which fixes the last bit of those samples.
DriftTable build_drift_table() noexcept {
    DriftTable table{};
    std::size_t k = 0;
    for (int i = 0; i < drift_period; ++i) {
        while (i > drift_keyframes[k + 1].pip) {
            ++k;
        }
        const Keyframe& a = drift_keyframes[k];
        const Keyframe& b = drift_keyframes[k + 1];
        const double f = static_cast<double>(i - a.pip) / static_cast<double>(b.pip - a.pip);
        table[static_cast<std::size_t>(i)] = {ease(a.x, b.x, f), ease(a.y, b.y, f), 0.0};
    }
    return table;
}

// Filled once while the library loads, read-only afterwards.
const DriftTable drift_table = build_drift_table();

}  // namespace

Offset3 bounce(int pip) noexcept {
    const int p = wrap_pip(pip, 64);
    return {1.0 - std::fabs(p * 0.015625 - 0.5) * 4.0, 0.0, 0.0};
}

Offset3 sway(int pip) noexcept {
    const int p = wrap_pip(pip, 128);
    return {std::sin(p * 0.0078125 * two_pi), 0.0, 0.0};
}

Offset3 circle(int pip) noexcept {
    const int p = wrap_pip(pip, 64);
    const double a = p * 0.015625 * two_pi - half_pi;
    return {std::cos(a), std::sin(a), 0.0};
}

Offset3 figure_eight(int pip) noexcept {
    const int p = wrap_pip(pip, 128);
    const double a = p * 0.0078125 * two_pi;
    return {std::sin(a), std::sin(a + a), 0.0};
}

Offset3 step_touch(int pip) noexcept {
    const int p = wrap_pip(pip, 128);
    const Station& move = side_step_stations[static_cast<std::size_t>(p / 32)];
    const double f = (p % 32) * 0.03125;
    // The sign goes on last, so the lift is -0.0 at the start of each move.
    return {ease(move.from, move.to, f), -(std::sin(f * pi) * 0.35), 0.0};
}

Offset3 box_step(int pip) noexcept {
    const int p = wrap_pip(pip, 256);
    const auto side = static_cast<std::size_t>(p / 64);
    const Corner& from = box_corners[side];
    const Corner& to = box_corners[side + 1];
    const double s = smoothstep((p % 64) * 0.015625);
    return {(to.x - from.x) * s + from.x, (to.y - from.y) * s + from.y, 0.0};
}

Offset3 helix(int pip) noexcept {
    const int p = wrap_pip(pip, 256);
    const double c = p * 0.00390625;
    return {std::cos(c * four_pi), std::sin(c * four_pi), std::sin(c * two_pi)};
}

Offset3 varn_background(int pip) noexcept {
    return drift_table[static_cast<std::size_t>(wrap_pip(pip, drift_period))];
}

}  // namespace kinetrope
