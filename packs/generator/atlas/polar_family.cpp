// polar_rose_k: signed-radius roses r = cos(k t), odd petal counts over a
// half turn of t, even ones as cos((k/2) t) over a full turn.
// polar_scallop_k: a loop of k rounded lobes whose radius stays well clear
// of the centre; the lobe around angle 0 leans to one side.
#include <array>
#include <cmath>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace polar_family_local {

constexpr std::array<int, 8> rose_petals = {3, 6, 7, 8, 9, 10, 11, 12};
constexpr std::array<int, 8> scallop_lobes = {2, 3, 4, 5, 6, 7, 8, 9};

Offset3 rose(int k, double pip) {
    const bool odd = k % 2 == 1;
    const double t = odd ? pi * pip / 1024.0 : 2.0 * pi * pip / 1024.0;
    const double r = odd ? std::cos(k * t) : std::cos((k / 2) * t);
    return {0.82 * r * std::cos(t), 0.82 * r * std::sin(t), 0.0};
}

// How far the bent lobe's crest leans, in radians times the lobe count:
// below 2 keeps the warped angle increasing.
constexpr double lean = 1.4;
// Innermost radius between lobes, as a share of the outermost.
constexpr double waist = 0.55;
// Softens the joins between lobes into rounded valleys.
constexpr double valley_softening = 0.01;

// The angle with the lobe around 0 (|t| < pi / k) pushed forward by up to
// lean / k at its crest, so that lobe rises steeply and falls slowly.
double bent_angle(int k, double t) {
    const double lobe_half = pi / k;
    const double from_crest = std::remainder(t, 2.0 * pi);
    return std::fabs(from_crest) < lobe_half ? t - (lean / k) * raised_cosine(from_crest / lobe_half) : t;
}

Offset3 scallop(int k, double theta) {
    const double lobe = std::cos(0.5 * k * bent_angle(k, theta));
    const double r = waist + (1.0 - waist) * std::sqrt(lobe * lobe + valley_softening);
    return {r * std::cos(theta), r * std::sin(theta), 0.0};
}

}  // namespace polar_family_local
}  // namespace

Family polar_family() {
    using namespace polar_family_local;
    Family family;
    for (const int k : rose_petals) {
        family.push_back(as_stated("polar_rose_" + std::to_string(k),
                                   "A complete signed-radius rose traversal; odd-petal roses use a half-turn parameter.",
                                   1024, 2, [k](double pip) { return rose(k, pip); }));
    }
    for (const int k : scallop_lobes) {
        family.push_back(peak_82("polar_scallop_" + std::to_string(k),
                                 "A positive-radius scalloped loop; no centre crossings, with an asymmetrically bent "
                                 "lobe.",
                                 1024, 2, of_angle(1024, [k](double theta) { return scallop(k, theta); })));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
