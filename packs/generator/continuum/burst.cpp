// burst_a_b_c: three bursts, each one beat split into its own number of
// even notes (the numbers of the name) and fading as it goes, to the right,
// to the left and into depth, with rests between them; late in the loop a
// single accent settles down and back.
#include <array>
#include <string>
#include <vector>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace burst_local {

using Splits = std::array<int, 3>;

constexpr std::array<Splits, 16> members = {{
    {3, 5, 2}, {4, 3, 6}, {5, 2, 4}, {2, 7, 3}, {3, 4, 5}, {5, 3, 7}, {6, 2, 5}, {4, 7, 2},
    {7, 3, 4}, {2, 5, 6}, {5, 7, 3}, {3, 6, 4}, {4, 5, 7}, {6, 3, 5}, {7, 4, 3}, {5, 6, 2},
}};

constexpr int period = 512;
constexpr double beat = 64.0;
constexpr double level = 0.288;
constexpr std::array<double, 3> starts = {0.0, 160.0, 320.0};  // pips; the gaps between are rests
constexpr std::array<Offset3, 3> directions = {{{1.0, -0.4, 0.15}, {-1.0, -0.3, -0.15}, {0.2, -0.35, 0.95}}};
constexpr double fade = 0.8;
constexpr double settle_at = 464.0;  // a quarter beat after beat seven
constexpr Offset3 settle{0.3, -0.9, -0.5};

std::vector<Bump> bursts(const Splits& s) {
    std::vector<Bump> bumps;
    for (std::size_t b = 0; b < 3; ++b) {
        double strength = 1.0;
        for (int j = 0; j < s[b]; ++j, strength *= fade) {
            bumps.push_back({starts[b] + beat * j / s[b], 0.0, strength * directions[b]});
        }
    }
    bumps.push_back({settle_at, 0.0, settle});
    fit_half_widths(bumps, period, 0.45, 16.0);
    return bumps;
}

}  // namespace burst_local
}  // namespace

std::vector<PatternDef> burst_family() {
    using namespace burst_local;
    std::vector<PatternDef> family;
    for (const Splits& s : members) {
        family.push_back(rhythm(numbered("burst", s), period, "Three unevenly subdivided directional bursts, deliberate gaps and a late settling accent.",
                                bursts(s), level));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
