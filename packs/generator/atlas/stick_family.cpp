// stick_study_NN: eight notes of sticking on the eighth-note grid, then the
// same eight with the hands swapped; group leads every four notes accented.
#include <array>
#include <string_view>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace stick_family_local {

constexpr std::array<std::string_view, 16> stickings = {
    "RLRRLRLL", "RRLRLLRL", "RLLRLRRL", "RRLLRLRL", "RLRLRRLL", "RRRLLLRL", "RLLLRRRL", "RRLRRLLL",
    "RLRRLLRL", "RRLLRLLR", "RLRLLRRL", "RRRLRLLL", "RRRRLRLL", "RRLLLRRL", "RLRRRLLL", "RRLRLLLR",
};

constexpr int period = 512;
constexpr double eighth = 32.0;
constexpr double half_width = 12.0;

std::vector<Bump> study_bumps(std::string_view sticking) {
    std::vector<Bump> bumps;
    for (int note = 0; note < 16; ++note) {
        const bool right = sticking[static_cast<std::size_t>(note % 8)] == 'R';
        const double hand = (right ? 1.0 : -1.0) * (note < 8 ? 1.0 : -1.0);
        const bool accent = note % 4 == 0;
        const Offset3 a = accent ? Offset3{0.74 * hand, -0.34, 0.0} : Offset3{0.407 * hand, -0.187, 0.0};
        bumps.push_back({eighth * note, half_width, a});
    }
    return bumps;
}

}  // namespace stick_family_local
}  // namespace

Family stick_family() {
    using namespace stick_family_local;
    Family family;
    for (std::size_t k = 0; k < stickings.size(); ++k) {
        family.push_back(as_stated("stick_study_" + two_digits(static_cast<int>(k) + 1),
                                   "Original R/L movement study with accented group leads, followed by its "
                                   "hand-swapped answer. Not an official rudiment transcription.",
                                   period, 2, gestures(period, study_bumps(stickings[k]))));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
