// noise_*: irregular but exactly periodic paths over sixteen beats whose
// control points are drawn from SHA-256 of an index string
// "noise_<stem>_<k>/<lane>/<j>", so every value is fixed by its name and
// position and nothing depends on a random generator's state.
//
// drift: x and y are smootherstep key lanes with k keys at pips 1024 j / k.
// depth: the same on x, y and z, z stretched to fill [-0.516, 0.464].
// orbit: one turn around the centre with a drifting radius (k keys, 0.52 to
//        0.82) and a gently drifting speed.
// ripple: one turn whose radius ripples 2k times around the loop, the
//        ripple's centre and depth drifting over k keys.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "atlas/atlas_families.hpp"
#include "atlas/sha256.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace noise_family_local {

constexpr int period = 1024;
constexpr std::string_view description_template =
    "Indexed SHA-256 control points in a closed drift path. No mutable random state.";
constexpr AxisRange depth_range{-0.516, 0.464};
constexpr double widest = 0.82;

// The hash of `index` as a fraction in [0, 1): its first 53 bits.
double hashed_fraction(const std::string& index) {
    const Digest digest = sha256(index);
    std::uint64_t bits = 0;
    for (int b = 0; b < 8; ++b) {
        bits = (bits << 8) | digest[b];
    }
    return static_cast<double>(bits >> 11) * 0x1.0p-53;
}

// k keys at pips 1024 j / k; key j's value maps the hash of
// "<member>/<lane>/<j>" from [0, 1) onto [low, high).
KeyLane hashed_lane(const std::string& member, std::string_view lane, int k, double low, double high) {
    KeyLane keys;
    for (int j = 0; j < k; ++j) {
        const double u = hashed_fraction(member + "/" + std::string(lane) + "/" + std::to_string(j));
        keys.keys.push_back({static_cast<double>(period) * j / k, low + (high - low) * u});
    }
    return keys;
}

struct Extremes {
    double low;
    double high;
};

Extremes lane_extremes(const KeyLane& lane) {
    Extremes e{key_lane_at(lane, 0.0, period), key_lane_at(lane, 0.0, period)};
    for (int i = 1; i < period; ++i) {
        const double v = key_lane_at(lane, i, period);
        e = {std::min(e.low, v), std::max(e.high, v)};
    }
    return e;
}

// The lane with every key value mapped by v -> offset + factor v; a key lane
// is affine in its values, so its pips map the same way.
KeyLane remapped(KeyLane lane, double factor, double offset) {
    for (Key& key : lane.keys) {
        key.value = offset + factor * key.value;
    }
    return lane;
}

// x and y scaled together so that the larger of them peaks at 0.82 on the pips.
std::array<KeyLane, 2> peaked(const KeyLane& x, const KeyLane& y) {
    const Extremes ex = lane_extremes(x);
    const Extremes ey = lane_extremes(y);
    const double largest = std::max({-ex.low, ex.high, -ey.low, ey.high});
    return {remapped(x, widest / largest, 0.0), remapped(y, widest / largest, 0.0)};
}

KeyLane stretched_to(const KeyLane& lane, AxisRange range) {
    const Extremes e = lane_extremes(lane);
    const double factor = (range.high - range.low) / (e.high - e.low);
    return remapped(lane, factor, range.low - factor * e.low);
}

Rule drift(const std::string& member, int k) {
    const auto [x, y] = peaked(hashed_lane(member, "x", k, -1.0, 1.0), hashed_lane(member, "y", k, -1.0, 1.0));
    return key_lanes(period, x, y);
}

Rule depth(const std::string& member, int k) {
    const auto [x, y] = peaked(hashed_lane(member, "x", k, -1.0, 1.0), hashed_lane(member, "y", k, -1.0, 1.0));
    return key_lanes(period, x, y, stretched_to(hashed_lane(member, "z", k, -1.0, 1.0), depth_range));
}

// A lane whose first key is pinned to `first`: where the path starts.
KeyLane starting_at(KeyLane lane, double first) {
    lane.keys.front().value = first;
    return lane;
}

Offset3 on_circle(double radius, double angle) { return {radius * std::cos(angle), radius * std::sin(angle), 0.0}; }

// Starts at its widest, 0.82 on the x axis; the phase drift (at most 0.08
// radians, changing slower than the turn) never reverses the travel.
Rule orbit(const std::string& member, int k) {
    const KeyLane radius = starting_at(hashed_lane(member, "radius", k, 0.52, widest), widest);
    const KeyLane phase = starting_at(hashed_lane(member, "phase", k, -0.08, 0.08), 0.0);
    return [radius, phase](double pip) {
        const double angle = loop_angle(pip, period) + key_lane_at(phase, pip, period);
        return on_circle(key_lane_at(radius, pip, period), angle);
    };
}

// Radius centre in [0.62, 0.72] and ripple depth in [0.04, 0.1], both
// pinned at their largest at pip 0, so the radius stays in [0.52, 0.82] and
// starts at 0.82 on the x axis.
Rule ripple(const std::string& member, int k) {
    const KeyLane centre = starting_at(hashed_lane(member, "centre", k, 0.62, 0.72), 0.72);
    const KeyLane depth_lane = starting_at(hashed_lane(member, "depth", k, 0.04, 0.1), 0.1);
    const int ripples = 2 * k;
    return [centre, depth_lane, ripples](double pip) {
        const double theta = loop_angle(pip, period);
        const double r =
            key_lane_at(centre, pip, period) + key_lane_at(depth_lane, pip, period) * std::cos(ripples * theta);
        return on_circle(r, theta);
    };
}

struct Stem {
    std::string_view word;
    int dims;
    Rule (*rule)(const std::string& member, int k);
    std::array<int, 4> key_counts;
};

const std::array<Stem, 4> stems = {{
    {"drift", 2, &drift, {5, 7, 9, 11}},
    {"orbit", 2, &orbit, {6, 8, 10, 12}},
    {"ripple", 2, &ripple, {5, 7, 9, 11}},
    {"depth", 3, &depth, {6, 8, 10, 12}},
}};

std::string description(std::string_view word) {
    std::string text(description_template);
    return text.replace(text.find("drift"), 5, word);
}

}  // namespace noise_family_local
}  // namespace

Family noise_family() {
    using namespace noise_family_local;
    Family family;
    for (const Stem& stem : stems) {
        for (const int k : stem.key_counts) {
            const std::string name = "noise_" + std::string(stem.word) + "_" + std::to_string(k);
            family.push_back(as_stated(name, description(stem.word), period, stem.dims, stem.rule(name, k)));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
