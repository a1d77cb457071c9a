// silhouette_harmonic_NN: three unequal harmonics per axis with cross-axis
// phases and a small depth term linked to the first two frequencies.
#include <array>
#include <cmath>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace silhouette_local {

struct Harmonics {
    int p, q, r;
    double b, c;
};

constexpr std::array<Harmonics, 16> members = {{
    {1, 2, 3, 0.2, 0.16},  {1, 3, 5, 0.35, 0.12}, {2, 3, 4, 0.3, 0.18},  {2, 5, 7, 0.23, 0.16},
    {1, 4, 7, 0.35, 0.21}, {3, 4, 5, 0.28, 0.14}, {2, 7, 9, 0.19, 0.12}, {3, 5, 8, 0.3, 0.17},
    {1, 2, 5, 0.4, 0.22},  {1, 5, 8, 0.27, 0.24}, {2, 3, 7, 0.34, 0.2},  {3, 7, 10, 0.26, 0.16},
    {2, 4, 9, 0.33, 0.23}, {3, 4, 9, 0.29, 0.25}, {4, 5, 7, 0.25, 0.21}, {4, 7, 11, 0.21, 0.16},
}};

Offset3 silhouette(const Harmonics& h, double theta) {
    const double x = std::cos(h.p * theta) + h.b * std::sin(h.q * theta + 0.3) + h.c * std::cos(h.r * theta);
    const double y =
        0.65 * std::sin(h.p * theta + 0.2) + h.c * std::sin(h.q * theta) - h.b * std::cos(h.r * theta + 0.1);
    const double z = 0.12 * std::sin(theta) * std::sin((h.p + h.q) * theta);
    return {x, y, z};
}

}  // namespace silhouette_local
}  // namespace

std::vector<PatternDef> silhouette_family() {
    using namespace silhouette_local;
    std::vector<PatternDef> family;
    for (std::size_t k = 0; k < members.size(); ++k) {
        const Harmonics h = members[k];
        PatternDef def{"silhouette_harmonic_" + two_digits(static_cast<int>(k) + 1),
                       "Three unequal harmonic components, with cross-axis phases and a small linked depth term.",
                       1024, 3, of_angle(1024, [h](double theta) { return silhouette(h, theta); })};
        def.scaling = PeakScaling::on_half_pips;
        family.push_back(std::move(def));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
