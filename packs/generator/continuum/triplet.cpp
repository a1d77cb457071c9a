// triplet_NN_answer / _turnaround: eighth-note triplets over eight beats
// with authored gaps in the first four beats. Beat notes lean to alternate
// sides, the two notes after them reach forward and back in depth. In the
// answer, the second four beats keep the gaps and fill each one half a
// triplet late, off the grid, with a move to the other side; in the
// turnaround the second four beats play the gaps turned a slot or two on.
#include <array>
#include <string>
#include <vector>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace triplet_local {

// One letter per triplet slot of four beats: 1 sounds, 0 is a gap.
struct Gaps {
    const char* slots;
    int turn;  // slots the turnaround turns the gaps on by
};

constexpr std::array<Gaps, 8> members = {{{"101111110111", 1},
                                          {"110101111100", 2},
                                          {"111011101110", 1},
                                          {"101101110111", 2},
                                          {"110111011101", 1},
                                          {"100111101110", 2},
                                          {"111100110101", 1},
                                          {"101110100111", 2}}};

constexpr int period = 512;
constexpr int slots = 12;                     // per four beats
constexpr double slot = 64.0 / 3.0;           // pips
constexpr double level = 0.2945;
constexpr Offset3 gap_answer{-0.6, -0.2, 0.45};

bool sounds(const char* pattern, int j) { return pattern[j % slots] == '1'; }

// A note of slot j (counted over all eight beats).
Offset3 note(int j) {
    const int beat = j / 3;
    switch (j % 3) {
        case 0:
            return {side(beat), -0.45, 0.0};
        case 1:
            return {0.35 * side(beat), -0.25, 0.4};
        default:
            return {-0.25 * side(beat), -0.2, -0.35};
    }
}

std::vector<Bump> triplets(const Gaps& g, bool answer) {
    std::vector<Bump> bumps;
    for (int j = 0; j < 2 * slots; ++j) {
        const bool second_half = j >= slots;
        const int read = second_half && !answer ? j + g.turn : j;
        if (sounds(g.slots, read)) {
            bumps.push_back({slot * j, 0.0, note(j)});
        } else if (second_half && answer) {
            bumps.push_back({slot * (j + 0.5), 0.0, gap_answer});
        }
    }
    fit_half_widths(bumps, period, 0.45, 12.0);
    return bumps;
}

}  // namespace triplet_local
}  // namespace

std::vector<PatternDef> triplet_family() {
    using namespace triplet_local;
    std::vector<PatternDef> family;
    for (std::size_t k = 0; k < members.size(); ++k) {
        const std::string stem = "triplet_" + two_digits(static_cast<int>(k) + 1) + "_";
        const std::string description =
            "Triplet-grid gestures with deliberate omissions; gaps either answer off-grid or rotate after four beats.";
        family.push_back(rhythm(stem + "answer", period, description, triplets(members[k], true), level));
        family.push_back(rhythm(stem + "turnaround", period, description, triplets(members[k], false), level));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
