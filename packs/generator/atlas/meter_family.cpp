// meter_g1_g2_...: groups of eighth notes; each group start leans to the
// opposite side of the last, the other eighths get a quiet dip with depth.
#include <vector>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace meter_family_local {

const std::vector<std::vector<int>> groupings = {
    {2, 3}, {3, 2}, {3, 2, 2}, {2, 3, 2}, {3, 4}, {4, 3}, {2, 2, 2, 3}, {2, 3, 2, 2},
    {3, 2, 3, 2}, {3, 3, 2, 3}, {2, 2, 3, 2, 3}, {3, 3, 3, 2}, {4, 3, 3}, {3, 4, 4}, {2, 3, 3, 2, 3}, {3, 3, 3, 4},
};

constexpr int eighth = 32;
constexpr double start_half_width = 19.2;
constexpr double subdivision_half_width = 32.0 / 3.0;
constexpr Offset3 subdivision{0.0, -0.1134, 0.0504};

std::vector<Bump> meter_bumps(const std::vector<int>& groups) {
    std::vector<Bump> bumps;
    int eighths = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const Offset3 start{0.72 * side(static_cast<int>(g)), -0.33, 0.0};
        bumps.push_back({static_cast<double>(eighth * eighths), start_half_width, start});
        for (int k = 1; k < groups[g]; ++k) {
            bumps.push_back({static_cast<double>(eighth * (eighths + k)), subdivision_half_width, subdivision});
        }
        eighths += groups[g];
    }
    return bumps;
}

int total(const std::vector<int>& groups) {
    int sum = 0;
    for (const int g : groups) {
        sum += g;
    }
    return sum;
}

}  // namespace meter_family_local
}  // namespace

Family meter_family() {
    using namespace meter_family_local;
    Family family;
    for (const std::vector<int>& groups : groupings) {
        const int period = eighth * total(groups);
        family.push_back(as_stated(numbered("meter", groups),
                                   "Group starts lean alternately left and right; quieter subdivisions mark the "
                                   "eighth-note grid.",
                                   period, 3, gestures(period, meter_bumps(groups))));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
