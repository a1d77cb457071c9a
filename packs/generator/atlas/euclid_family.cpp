// euclid_k_n: k onsets spread as evenly as the n-step eighth-note grid
// allows, sides alternating; the first onset is the phrase accent.
#include <array>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace euclid_family_local {

struct Spread {
    int onsets;  // k
    int steps;   // n
};

constexpr std::array<Spread, 16> spreads = {{
    {2, 5}, {3, 7}, {3, 10}, {4, 9}, {4, 11}, {5, 9}, {5, 11}, {5, 13},
    {5, 14}, {6, 13}, {7, 12}, {7, 15}, {7, 17}, {8, 19}, {9, 20}, {11, 24},
}};

constexpr int eighth = 32;
constexpr double half_width = 24.0;
constexpr Offset3 phrase_accent{0.75, -0.32, 0.0};

std::vector<Bump> euclid_bumps(Spread s) {
    std::vector<Bump> bumps;
    for (int m = 0; m < s.onsets; ++m) {
        const Offset3 a = m == 0 ? phrase_accent : Offset3{0.5625 * side(m), -0.24, 0.0};
        bumps.push_back({static_cast<double>(eighth * euclid_step(m, s.steps, s.onsets)), half_width, a});
    }
    return bumps;
}

}  // namespace euclid_family_local
}  // namespace

Family euclid_family() {
    using namespace euclid_family_local;
    Family family;
    for (const Spread s : spreads) {
        const int period = eighth * s.steps;
        family.push_back(as_stated(numbered("euclid", {s.onsets, s.steps}),
                                   "Evenly distributed accents with alternating sides; first onset is the phrase accent.",
                                   period, 2, gestures(period, euclid_bumps(s))));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
