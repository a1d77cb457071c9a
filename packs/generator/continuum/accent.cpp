// accent_walk_n_k: four bars of n even pulses each. Two pulses of every bar
// are accented, a strong one to the right and forward and a lighter one to
// the left and back, two pulses apart; from bar to bar the pair moves k
// pulses later, so the motif walks through the bar while the pulse grid
// stays put.
#include <array>
#include <string>
#include <vector>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace accent_local {

struct Walk {
    int n, k;
};

constexpr std::array<Walk, 16> members = {{{5, 1}, {5, 2}, {7, 1}, {7, 2}, {7, 3}, {8, 1}, {8, 3}, {9, 1},
                                           {9, 2}, {9, 4}, {10, 3}, {11, 2}, {11, 3}, {12, 5}, {13, 3}, {13, 5}}};

constexpr int period = 1024;
constexpr double bar = 256.0;
constexpr int accent_gap = 2;  // pulses between the two accents
constexpr Offset3 strong{1.0, -0.45, 0.55};
constexpr Offset3 light{-0.75, -0.35, -0.4};
constexpr Offset3 pulse{0.0, -0.35, 0.0};

std::vector<Bump> walk(const Walk& w) {
    std::vector<Bump> bumps;
    for (int b = 0; b < 4; ++b) {
        const int first = b * w.k % w.n;
        const int second = (first + accent_gap) % w.n;
        for (int j = 0; j < w.n; ++j) {
            const Offset3 a = j == first ? strong : j == second ? light : pulse;
            bumps.push_back({bar * b + bar * j / w.n, 0.0, a});
        }
    }
    fit_half_widths(bumps, period, 0.45, 16.0);
    return bumps;
}

}  // namespace accent_local
}  // namespace

std::vector<PatternDef> accent_family() {
    using namespace accent_local;
    std::vector<PatternDef> family;
    for (std::size_t m = 0; m < members.size(); ++m) {
        const Walk w = members[m];
        family.push_back(rhythm(numbered("accent_walk", std::array{w.n, w.k}), period,
                                "A four-bar grid keeps its pulse spacing while a two-accent motif migrates between "
                                "bars.",
                                walk(w), level_between(0.314, 0.256, static_cast<int>(m), 16)));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
