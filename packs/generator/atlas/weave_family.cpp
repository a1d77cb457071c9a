// weave_a_b: a horizontal and a vertical sine of different cycle counts over
// sixteen beats. The horizontal phase of 0.37 keeps its crest off the pips.
#include <array>
#include <cmath>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace weave_family_local {

struct Cycles {
    int horizontal;
    int vertical;
};

constexpr std::array<Cycles, 16> weaves = {{
    {1, 3}, {1, 4}, {1, 5}, {2, 5}, {2, 7}, {3, 4}, {3, 5}, {3, 7},
    {3, 8}, {4, 5}, {4, 7}, {4, 9}, {5, 6}, {5, 7}, {5, 8}, {5, 9},
}};

Offset3 weave(Cycles c, double theta) {
    return {std::sin(c.horizontal * theta + 0.37), 0.8125 * std::sin(c.vertical * theta), 0.0};
}

}  // namespace weave_family_local
}  // namespace

Family weave_family() {
    using namespace weave_family_local;
    Family family;
    for (const Cycles c : weaves) {
        family.push_back(peak_82(numbered("weave", {c.horizontal, c.vertical}),
                                 std::to_string(c.horizontal) + " horizontal and " + std::to_string(c.vertical) +
                                     " vertical cycles; a phase-offset, closed 16-beat traversal.",
                                 1024, 2, of_angle(1024, [c](double theta) { return weave(c, theta); })));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
