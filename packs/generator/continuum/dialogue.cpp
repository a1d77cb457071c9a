// dialogue_g1_g2_...: groups of eighth notes, the numbers of the name,
// each played in the next direction of a round (right, forward, left,
// back) with its first eighth accented and the rest fading. Half an eighth
// after a group's last note a light pickup leans late toward the next
// group's direction.
#include <array>
#include <numeric>
#include <string>
#include <vector>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace dialogue_local {

// Group lengths in eighths.
const std::vector<std::vector<int>>& members() {
    static const std::vector<std::vector<int>> groups = {
        {3, 4, 5},    {5, 3, 4},    {3, 5, 2},    {2, 5, 4},    {4, 3, 2},    {3, 2, 4, 5}, {5, 2, 3, 4}, {2, 3, 5, 3},
        {3, 4, 3, 5}, {5, 4, 2, 3}, {2, 4, 5, 2}, {4, 5, 3, 2}, {3, 5, 4, 3}, {5, 3, 2, 5}, {2, 5, 3, 5}, {4, 3, 5, 4},
    };
    return groups;
}

constexpr double eighth = 32.0;
constexpr double level = 0.32;
constexpr double fade = 0.75;     // each eighth of a group against the one before
constexpr double pickup = 0.45;   // pickup strength against an accent
constexpr std::array<Offset3, 4> directions = {
    {{1.0, -0.45, 0.0}, {0.0, -0.4, 0.9}, {-1.0, -0.45, 0.0}, {0.0, -0.4, -0.9}}};

std::vector<Bump> dialogue(const std::vector<int>& groups, int period) {
    std::vector<Bump> bumps;
    int eighths = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const Offset3 voice = directions[g % directions.size()];
        // The group after the last is the first one, round the loop.
        const Offset3 next = directions[(g + 1) % groups.size() % directions.size()];
        double strength = 1.0;
        for (int e = 0; e < groups[g]; ++e, ++eighths, strength *= fade) {
            bumps.push_back({eighth * eighths, 0.0, strength * voice});
        }
        bumps.push_back({eighth * (eighths - 0.5), 0.0, pickup * next});
    }
    fit_half_widths(bumps, period, 0.45, 14.0);
    return bumps;
}

}  // namespace dialogue_local
}  // namespace

std::vector<PatternDef> dialogue_family() {
    using namespace dialogue_local;
    std::vector<PatternDef> family;
    for (const std::vector<int>& groups : members()) {
        const int period = 32 * std::accumulate(groups.begin(), groups.end(), 0);
        family.push_back(rhythm(numbered("dialogue", groups), period,
                                "Different eighth-note group lengths pass a phrase between directions, with late "
                                "pickup responses.",
                                dialogue(groups, period), level));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
