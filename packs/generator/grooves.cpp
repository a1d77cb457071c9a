#include "grooves.hpp"

#include <array>
#include <cmath>
#include <stdexcept>

namespace kinetrope::packgen {

namespace {

using enum Instrument;

// Excerpt A: a sparse two-bar funk figure, kick on one with a pushed kick
// before beat three, backbeat snares laid back, ghost notes and eighth hats.
constexpr std::array<Hit, 19> hits_a = {{
    {1, kick, 1.0, 20},          {38, closed_hat, 0.5, 8},   {67, snare, 0.9, 18},
    {103, ghost_snare, 0.45, 10}, {122, kick, 0.8, 20},      {158, closed_hat, 0.55, 8},
    {178, kick, 0.7, 20},        {195, snare, 1.0, 18},      {226, ghost_snare, 0.4, 10},
    {246, closed_hat, 0.5, 8},   {257, kick, 1.0, 20},       {291, closed_hat, 0.5, 8},
    {322, snare, 0.9, 18},       {343, kick, 0.75, 20},      {370, ghost_snare, 0.4, 10},
    {398, kick, 0.8, 20},        {451, snare, 1.0, 18},      {470, closed_hat, 0.55, 8},
    {494, ghost_snare, 0.45, 10},
}};

// Excerpt B: a busier two-bar figure with open hats on the offbeats, hard
// backbeats and ghost-note pickups into each snare.
constexpr std::array<Hit, 20> hits_b = {{
    {2, kick, 1.0, 20},          {46, closed_hat, 0.5, 8},   {66, snare, 1.0, 18},
    {83, ghost_snare, 0.4, 10},  {110, kick, 0.85, 20},      {145, kick, 0.7, 20},
    {163, open_hat, 0.7, 12},    {194, snare, 1.0, 18},      {206, ghost_snare, 0.35, 10},
    {243, ghost_snare, 0.45, 10}, {257, kick, 1.0, 20},      {290, closed_hat, 0.5, 8},
    {321, snare, 1.0, 18},       {350, kick, 0.8, 20},       {386, open_hat, 0.65, 12},
    {414, kick, 0.75, 20},       {452, snare, 1.0, 18},      {466, ghost_snare, 0.4, 10},
    {478, ghost_snare, 0.35, 10}, {497, closed_hat, 0.45, 8},
}};

// Direction of each instrument's gesture: kicks lift, snares push to the
// side and down, hats pull back lightly.
Offset3 direction(Instrument instrument) {
    switch (instrument) {
        case kick:
            return {-0.15, 1.0, 0.0};
        case snare:
            return {1.0, -0.45, 0.0};
        case ghost_snare:
            return {0.35, -0.25, 0.0};
        case closed_hat:
            return {-0.3, -0.35, 0.0};
        case open_hat:
            return {-0.4, 0.3, 0.0};
    }
    throw std::logic_error("unknown instrument");
}

constexpr double sixteenth = 16.0;
constexpr double two_bars = 512.0;

double quantised(double pip) { return std::fmod(std::round(pip / sixteenth) * sixteenth, two_bars); }

}  // namespace

std::span<const Hit> excerpt_a() noexcept { return hits_a; }
std::span<const Hit> excerpt_b() noexcept { return hits_b; }

std::vector<Bump> hit_gestures(std::span<const Hit> hits, bool on_grid) {
    std::vector<Bump> bumps;
    bumps.reserve(hits.size());
    for (const Hit& hit : hits) {
        bumps.push_back({on_grid ? quantised(hit.pip) : hit.pip, hit.width, hit.level * direction(hit.instrument)});
    }
    return bumps;
}

}  // namespace kinetrope::packgen
