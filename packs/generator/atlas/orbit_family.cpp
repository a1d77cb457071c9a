// orbit_harmonic_NN: an ellipse with a horizontal ripple of harmonic h and a
// counter-turning vertical ripple of harmonic h + 1.
#include <array>
#include <cmath>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace orbit_family_local {

struct Ripple {
    int harmonic;
    double depth;
    double phase;
};

constexpr std::array<Ripple, 16> ripples = {{
    {2, 0.18, 0.0}, {3, 0.22, 0.0}, {4, 0.25, 0.0}, {5, 0.28, 0.0},
    {6, 0.25, 0.0}, {7, 0.2, 0.0},  {8, 0.15, 0.0}, {9, 0.13, 0.0},
    {2, 0.34, 0.5}, {3, 0.31, 0.8}, {4, 0.29, 1.1}, {5, 0.26, 1.4},
    {6, 0.23, 1.7}, {7, 0.2, 2.0},  {8, 0.17, 2.3}, {9, 0.14, 2.6},
}};

Offset3 rippled_ellipse(const Ripple& r, double theta) {
    const double h = r.harmonic;
    return {std::cos(theta) + r.depth * std::cos(h * theta + r.phase),
            0.72 * std::sin(theta) - r.depth * std::sin((h + 1.0) * theta - r.phase), 0.0};
}

}  // namespace orbit_family_local
}  // namespace

Family orbit_family() {
    using namespace orbit_family_local;
    Family family;
    for (std::size_t k = 0; k < ripples.size(); ++k) {
        const Ripple r = ripples[k];
        family.push_back(peak_82("orbit_harmonic_" + two_digits(static_cast<int>(k) + 1),
                                 "An ellipse combined with unequal horizontal and vertical harmonic ripples.", 512, 2,
                                 of_angle(512, [r](double theta) { return rippled_ellipse(r, theta); })));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
