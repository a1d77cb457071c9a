// mech_*: kinematic-style position studies over eight beats, one crank turn
// per loop, each brought to a peak of exactly 0.82. Linkages are solved
// from their geometry (crank radius 1); their traces are centred on the
// middle of their travel before scaling.
#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace mech_family_local {

constexpr int period = 512;

Offset3 piston_short(double t) {
    const double s = std::sin(t);
    return {std::cos(t) + std::sqrt(4.0 - s * s) - 2.0, 0.3 * s, 0.0};
}

Offset3 piston_long(double t) {
    const double s = std::sin(t);
    return {std::cos(t) + std::sqrt(16.0 - s * s) - 4.0, 0.25 * std::sin(2.0 * t), 0.0};
}

// Slider-crank whose line of stroke sits 0.6 above the crank centre (rod
// 2.5): the slider's outward and return strokes take unequal times.
Offset3 offset_crank(double t) {
    constexpr double rod = 2.5;
    constexpr double offset = 0.6;
    const double rise = std::sin(t) - offset;
    return {std::cos(t) + std::sqrt(rod * rod - rise * rise) - std::sqrt(rod * rod - offset * offset),
            0.3 * std::sin(t), 0.0};
}

Offset3 scotch_yoke(double t) {
    return {std::cos(t), 0.35 * std::sin(t) + 0.18 * std::sin(3.0 * t), 0.0};
}

// Crank and slotted lever: the crank pin slides in a lever pivoted 1.7
// behind the crank centre; the tip of the 2.7-long lever swings slowly one
// way and returns quickly.
Offset3 whitworth(double t) {
    constexpr double pivot = 1.7;
    constexpr double lever = 2.7;
    const double swing = std::atan2(std::sin(t), pivot + std::cos(t));
    return {lever * std::sin(swing), lever * std::cos(swing), 0.0};
}

// Flat follower on an elliptic cam (semi-axes 1 and 0.6): y is the lift,
// the cam's radius under the follower; x is where the contact point sits
// along the follower's face, the radius's rate of change.
Offset3 elliptic_cam(double t) {
    constexpr double a = 1.0;
    constexpr double b = 0.6;
    const double c = b * std::cos(t);
    const double s = a * std::sin(t);
    const double d = c * c + s * s;
    const double radius = a * b / std::sqrt(d);
    const double slope = -0.5 * a * b * (a * a - b * b) * std::sin(2.0 * t) / (d * std::sqrt(d));
    return {slope, radius, 0.0};
}

Offset3 two_lobe_cam(double t) { return {0.3 * std::sin(t), 0.2 * std::cos(t) + 0.55 * std::cos(2.0 * t), 0.0}; }

Offset3 three_lobe_cam(double t) { return {0.125 * std::sin(t), 0.1 * std::cos(t) + 0.5 * std::cos(3.0 * t), 0.0}; }

// Anchor rocking once a beat with soft locks at either side; each release
// drops the point briefly.
Offset3 escapement(double t) {
    const double release = 0.5 * (1.0 + std::cos(8.0 * t));
    return {std::tanh(2.0 * std::sin(4.0 * t)), -0.35 * std::pow(release, 4), 0.0};
}

Offset3 paddle(double t) {
    return {std::cos(t) + 0.23 * std::cos(4.0 * t), std::sin(t) + 0.23 * std::sin(4.0 * t), 0.0};
}

Offset3 wobble_plate(double t) { return {std::cos(t), 0.35 * std::sin(t), 0.5 * std::sin(2.0 * t + 0.3)}; }

// The end of a beam rocking on its centre, driven unevenly: it swings
// through an arc that lifts at both ends.
Offset3 rocking_beam(double t) {
    const double tilt = 0.55 * std::sin(t) + 0.12 * std::sin(2.0 * t);
    return {std::sin(tilt), 1.0 - std::cos(tilt), 0.0};
}

Offset3 coupled_cranks(double t) {
    return {std::cos(t) + 0.35 * std::cos(3.0 * t + 0.6), std::sin(t) - 0.35 * std::sin(3.0 * t + 0.6), 0.0};
}

// Four-bar crank-rocker (crank 1, coupler 3.2, rocker 2.4, ground 3): x and
// y follow a point off the coupler, z the rocker's angle.
Offset3 crank_rocker(double t) {
    constexpr double coupler = 3.2;
    constexpr double rocker = 2.4;
    constexpr double ground = 3.0;
    const double bx = std::cos(t);
    const double by = std::sin(t);
    // The rocker pin: the upper crossing of the coupler's and rocker's circles.
    const double dx = ground - bx;
    const double dy = -by;
    const double span = std::hypot(dx, dy);
    const double along = (coupler * coupler - rocker * rocker + span * span) / (2.0 * span);
    const double across = std::sqrt(coupler * coupler - along * along);
    const double cx = bx + (along * dx - across * dy) / span;
    const double cy = by + (along * dy + across * dx) / span;
    // Coupler point: 70 % of the way along the coupler and 0.8 to its right,
    // where the coupler curve draws a teardrop with a sharp return.
    const double ux = (cx - bx) / coupler;
    const double uy = (cy - by) / coupler;
    return {bx + 0.7 * (cx - bx) + 0.8 * uy, by + 0.7 * (cy - by) - 0.8 * ux, std::atan2(cy, cx - ground)};
}

Offset3 piston_balance(double t) { return {std::cos(t), 0.5 * std::sin(2.0 * t), 0.25 * std::sin(t)}; }

// Follower lift of a rise-dwell-return-dwell cam and, on x, its contact
// offset (the lift's rate of change).
Rule cam_return() {
    const Rule lift = key_lanes(period, std::nullopt, KeyLane{{{0, -0.5}, {160, 0.5}, {256, 0.5}, {416, -0.5}}});
    const auto around = [](double pip) { return std::fmod(pip + period, static_cast<double>(period)); };
    return [lift, around](double pip) {
        const double rate = lift(around(pip + 0.5)).y - lift(around(pip - 0.5)).y;
        return Offset3{30.0 * rate, lift(pip).y, 0.0};
    };
}

// The rule shifted so that each axis's travel over the pips is centred on 0.
Rule centred(Rule raw) {
    Offset3 low = raw(0.0);
    Offset3 high = low;
    for (int i = 1; i < period; ++i) {
        const Offset3 p = raw(i);
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    const Offset3 middle = 0.5 * (low + high);
    return [raw = std::move(raw), middle](double pip) {
        const Offset3 p = raw(pip);
        return Offset3{p.x - middle.x, p.y - middle.y, p.z - middle.z};
    };
}

using Mechanism = Offset3 (*)(double theta);

struct Study {
    std::string_view word;
    std::string_view label;
    int dims;
    Mechanism mechanism;  // null for the key-lane cam
    bool centre;
};

constexpr std::array<Study, 16> studies = {{
    {"piston_short", "Short-rod piston", 2, &piston_short, false},
    {"piston_long", "Long-rod piston", 2, &piston_long, false},
    {"offset_crank", "Offset crank", 2, &offset_crank, false},
    {"scotch_yoke", "Yoke with rocking linkage", 2, &scotch_yoke, false},
    {"whitworth", "Quick-return linkage study", 2, &whitworth, true},
    {"elliptic_cam", "Elliptic cam follower", 2, &elliptic_cam, true},
    {"two_lobe_cam", "Two-lobe cam follower", 2, &two_lobe_cam, false},
    {"three_lobe_cam", "Three-lobe cam follower", 2, &three_lobe_cam, false},
    {"escapement", "Soft escapement study", 2, &escapement, true},
    {"paddle", "Paddle-wheel tip", 2, &paddle, false},
    {"wobble_plate", "Wobble-plate trace", 3, &wobble_plate, false},
    {"rocking_beam", "Rocking beam", 2, &rocking_beam, false},
    {"coupled_cranks", "Coupled cranks", 2, &coupled_cranks, false},
    {"crank_rocker", "Crank and rocker study", 3, &crank_rocker, true},
    {"piston_balance", "Piston and balance mass", 3, &piston_balance, false},
    {"cam_return", "Cam rise and return", 2, nullptr, false},
}};

Rule study_rule(const Study& s) {
    if (s.mechanism == nullptr) {
        return cam_return();
    }
    Rule raw = of_angle(period, s.mechanism);
    return s.centre ? centred(std::move(raw)) : raw;
}

}  // namespace mech_family_local
}  // namespace

Family mech_family() {
    using namespace mech_family_local;
    Family family;
    for (const Study& s : studies) {
        family.push_back(peak_82("mech_" + std::string(s.word),
                                 std::string(s.label) +
                                     "; an original kinematic-style position study, not an engineering simulation.",
                                 period, s.dims, study_rule(s)));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
