#include "grooves.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace kinetrope::packgen {

namespace {
namespace grooves_local {

using enum FunkDrum;

// Excerpt A: a sparse two-bar funk figure, kick on one with a pushed kick
// before beat three, backbeat snares laid back, ghost notes and eighth hats.
constexpr std::array<Hit, 19> hits_a = {{
    {1, kick, 0.97, 20},          {38, closed_hat, 0.35, 8},   {67, snare, 0.58, 18},
    {103, ghost_snare, 0.65, 10}, {122, kick, 0.99, 20},      {158, closed_hat, 0.57, 8},
    {178, kick, 0.96, 20},        {195, snare, 0.71, 18},      {226, ghost_snare, 0.54, 10},
    {246, closed_hat, 0.53, 8},   {257, kick, 0.93, 20},       {291, closed_hat, 0.44, 8},
    {322, snare, 0.67, 18},       {343, kick, 0.9, 20},      {370, ghost_snare, 0.57, 10},
    {398, kick, 0.86, 20},        {451, snare, 0.81, 18},      {470, closed_hat, 0.43, 8},
    {494, ghost_snare, 0.2, 10},
}};

// Excerpt B: a busier two-bar figure with open hats on the offbeats, hard
// backbeats and ghost-note pickups into each snare.
constexpr std::array<Hit, 20> hits_b = {{
    {2, kick, 0.74, 20},          {46, closed_hat, 0.39, 8},   {66, snare, 1.0, 18},
    {83, ghost_snare, 0.48, 10},  {110, kick, 0.72, 20},      {145, kick, 0.74, 20},
    {163, open_hat, 0.42, 12},    {194, snare, 0.94, 18},      {206, ghost_snare, 0.37, 10},
    {243, ghost_snare, 0.67, 10}, {257, kick, 0.72, 20},      {290, closed_hat, 0.63, 8},
    {321, snare, 0.99, 18},       {350, kick, 0.74, 20},       {386, open_hat, 0.59, 12},
    {414, kick, 0.47, 20},       {452, snare, 1.0, 18},      {466, ghost_snare, 0.36, 10},
    {478, ghost_snare, 0.39, 10}, {497, closed_hat, 0.54, 8},
}};

// Direction of each instrument's gesture: kicks lift and lean back, snares
// and their ghost notes push forward and down, closed hats dip, open hats
// lift and lean back. The pack then sets the gain of each side of each axis
// so that the groove spans its stated ranges.
Offset3 direction(FunkDrum instrument) {
    switch (instrument) {
        case kick:
            return {-0.27, 0.92, 0.0};
        case snare:
            return {1.02, -0.72, 0.0};
        case ghost_snare:
            return {0.41, -0.34, 0.0};
        case closed_hat:
            return {-0.14, -0.45, 0.0};
        case open_hat:
            return {-0.49, 0.41, 0.0};
    }
    throw std::logic_error("unknown instrument");
}

constexpr double sixteenth = 16.0;
constexpr double two_bars = 512.0;

double quantised(double pip) { return std::fmod(std::round(pip / sixteenth) * sixteenth, two_bars); }

double& component(Offset3& o, int axis) { return axis == 0 ? o.x : o.y; }

// Lowest and highest value of one axis of the summed gestures over the pips.
AxisRange reached(const std::vector<Bump>& gestures, int period, int axis) {
    AxisRange r{0.0, 0.0};
    for (int i = 0; i < period; ++i) {
        Offset3 p = bumps_at(gestures, i, period);
        const double v = component(p, axis);
        r = {std::min(r.low, v), std::max(r.high, v)};
    }
    return r;
}

// Each gesture's amplitude on `axis` multiplied by `up` where positive and by
// `down` where negative.
void scale_signs(std::vector<Bump>& gestures, int axis, double up, double down) {
    for (Bump& b : gestures) {
        double& a = component(b.amplitude, axis);
        a *= a > 0.0 ? up : down;
    }
}

// Overlapping gestures of opposite sign make each end depend a little on
// both gains, so the gains are refined until both ends sit on their range
// ends to well below the stored precision.
void span_axis(std::vector<Bump>& gestures, int period, int axis, AxisRange range) {
    constexpr int most_rounds = 50;
    constexpr double close_enough = 1e-14;
    for (int round = 0; round < most_rounds; ++round) {
        const AxisRange now = reached(gestures, period, axis);
        if (now.low >= 0.0 || now.high <= 0.0) {
            throw std::runtime_error("a groove axis must swing both ways to span its range");
        }
        if (std::fabs(now.low - range.low) < close_enough && std::fabs(now.high - range.high) < close_enough) {
            return;
        }
        scale_signs(gestures, axis, range.high / now.high, range.low / now.low);
    }
    throw std::runtime_error("groove gestures do not settle on their range ends");
}

}  // namespace grooves_local
}  // namespace

std::span<const Hit> excerpt_a() noexcept { return grooves_local::hits_a; }
std::span<const Hit> excerpt_b() noexcept { return grooves_local::hits_b; }

std::vector<Bump> hit_gestures(std::span<const Hit> hits, bool on_grid) {
    using namespace grooves_local;
    std::vector<Bump> bumps;
    bumps.reserve(hits.size());
    for (const Hit& hit : hits) {
        bumps.push_back({on_grid ? quantised(hit.pip) : hit.pip, hit.width, hit.level * direction(hit.instrument)});
    }
    return bumps;
}

std::vector<Bump> spanning_ranges(std::vector<Bump> gestures, int period, AxisRange x, AxisRange y) {
    using namespace grooves_local;
    span_axis(gestures, period, 0, x);
    span_axis(gestures, period, 1, y);
    return gestures;
}

}  // namespace kinetrope::packgen
