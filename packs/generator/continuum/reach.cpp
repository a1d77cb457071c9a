// reach_<style>_n: n reaches in turn from a shared centre, each out along
// its own direction and length and back, then a rest at the centre before
// the next. Every reach starts and ends at rest, so nothing jumps. Styles:
// scoop (out on one side, back on the other: a petal), hook (the tip veers
// sideways and comes back from the side), lift (a scoop that also rises in
// depth) and recoil (the return overshoots the centre a little and settles).
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace reach_local {

enum class Kind { scoop, hook, lift, recoil };

struct Style {
    const char* word;
    Kind kind;
};

constexpr std::array<Style, 4> styles = {
    {{"scoop", Kind::scoop}, {"hook", Kind::hook}, {"lift", Kind::lift}, {"recoil", Kind::recoil}}};
constexpr std::array<int, 4> reach_counts = {3, 4, 5, 7};

constexpr int period = 1024;
constexpr double moving_share = 0.82;  // of a reach's slot; the rest is a rest

double squared_sine(double s) {
    const double v = std::sin(pi * s);
    return v * v;
}

// Distance out along the reach's direction, 0 at both ends.
double outward(Kind kind, double s) {
    if (kind != Kind::recoil) {
        return squared_sine(s);
    }
    // The reach over the first three quarters, then a shallow overshoot
    // behind the centre.
    return s < 0.75 ? squared_sine(s / 0.75) : -0.22 * squared_sine((s - 0.75) / 0.25);
}

// Distance across the reach's direction.
double across(Kind kind, double s) {
    switch (kind) {
        case Kind::scoop:
        case Kind::lift:
            return 0.3 * std::sin(2.0 * pi * s) * std::sin(pi * s);
        case Kind::hook:
            // Grows toward the tip and stays on the way back.
            return s * squared_sine(s) * squared_sine(s);
        case Kind::recoil:
            return 0.12 * std::sin(2.0 * pi * std::min(s / 0.75, 1.0));
    }
    return 0.0;
}

Offset3 reach(Kind kind, int count, double pip) {
    const double slot = static_cast<double>(period) / count;
    const int j = std::min(count - 1, static_cast<int>(pip / slot));
    const double t = (pip - j * slot) / (moving_share * slot);
    if (t >= 1.0) {
        return {0.0, 0.0, 0.0};
    }
    const double direction = 2.0 * pi * j / count + 0.35;
    const double length = 1.0 - 0.22 * (j % 3) / 2.0;
    const double out = length * outward(kind, t);
    const double side_way = length * across(kind, t);
    const double c = std::cos(direction);
    const double s = std::sin(direction);
    const double x = out * c - side_way * s;
    const double y = 0.8 * (out * s + side_way * c);
    const double z = kind == Kind::lift ? (0.55 - 0.15 * (j % 2)) * squared_sine(t) : 0.0;
    return {x, y, z};
}

}  // namespace reach_local
}  // namespace

std::vector<PatternDef> reach_family() {
    using namespace reach_local;
    std::vector<PatternDef> family;
    for (const int count : reach_counts) {
        for (const Style& style : styles) {
            const Kind kind = style.kind;
            family.push_back(shape(numbered("reach_" + std::string(style.word), std::array{count}), period,
                                   kind == Kind::lift ? 3 : 2,
                                   "Separate shaped reaches depart from and settle at a shared centre, without "
                                   "reset jumps.",
                                   [kind, count](double pip) { return reach(kind, count, pip); }));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
