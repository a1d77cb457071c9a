// ladder_a_b_c_d: four two-beat regions, region r split into the r-th
// number of even notes. Each region opens with an accent to alternate sides
// and its own depth; the notes after it sway lightly, side to side.
#include <array>
#include <string>
#include <vector>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace ladder_local {

using Densities = std::array<int, 4>;

constexpr std::array<Densities, 16> members = {{
    {2, 3, 4, 6}, {3, 5, 4, 2}, {2, 5, 3, 7}, {4, 3, 6, 5}, {2, 4, 7, 3}, {3, 6, 2, 5}, {5, 3, 7, 4}, {6, 4, 3, 2},
    {2, 7, 4, 5}, {7, 3, 5, 2}, {4, 7, 3, 6}, {5, 2, 6, 3}, {3, 4, 5, 7}, {6, 5, 4, 3}, {7, 5, 3, 4}, {4, 6, 7, 5},
}};

constexpr int period = 512;
constexpr double region = 128.0;
constexpr std::array<double, 4> accent_depth = {0.5, -0.3, 0.3, -0.5};

std::vector<Bump> ladder(const Densities& d) {
    std::vector<Bump> bumps;
    for (int r = 0; r < 4; ++r) {
        const int notes = d[static_cast<std::size_t>(r)];
        for (int j = 0; j < notes; ++j) {
            const double onset = region * r + region * j / notes;
            const Offset3 a = j == 0 ? Offset3{side(r), -0.45, accent_depth[static_cast<std::size_t>(r)]}
                                     : Offset3{0.4 * side(j), -0.25, 0.12};
            bumps.push_back({onset, 0.0, a});
        }
    }
    fit_half_widths(bumps, period, 0.45, 16.0);
    return bumps;
}

}  // namespace ladder_local
}  // namespace

std::vector<PatternDef> ladder_family() {
    using namespace ladder_local;
    std::vector<PatternDef> family;
    for (const Densities& d : members) {
        family.push_back(rhythm(numbered("ladder", d), period,
                                "Four two-beat regions change subdivision density while accents mark region starts.",
                                ladder(d), 0.32));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
