// contour_shaped_NN: an oval whose edges follow signed powers of cos and
// sin (squared-off below 1, pinched above), with a ripple confined to one
// stretch of the edge and a bow that bends the oval unevenly. Members 09-16
// add a depth lane tied to the edge.
#include <array>
#include <cmath>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace contour_local {

struct Contour {
    double power;        // signed-power exponent of the edges
    double height;       // vertical semi-axis against the horizontal 1
    int ripples;         // ripple cycles per loop
    double ripple;       // ripple depth, relative to the radius
    double ripple_at;    // loop angle at the centre of the rippled stretch
    double bow;          // bend of the oval
    double depth;        // depth amplitude (0 for the flat members)
};

constexpr std::array<Contour, 16> members = {{
    {0.6, 0.7, 9, 0.09, 0.8, 0.22, 0.0},   {1.4, 0.75, 7, 0.075, 2.4, -0.18, 0.0},
    {0.75, 0.6, 11, 0.075, 4.0, 0.3, 0.0},  {0.5, 0.8, 6, 0.105, 5.5, 0.15, 0.0},
    {1.2, 0.65, 13, 0.06, 1.6, -0.26, 0.0}, {0.85, 0.85, 8, 0.09, 3.2, 0.2, 0.0},
    {0.65, 0.55, 10, 0.075, 0.2, -0.3, 0.0}, {1.6, 0.7, 5, 0.12, 4.7, 0.24, 0.0},
    {0.7, 0.7, 9, 0.075, 1.1, 0.2, 0.4},    {1.3, 0.6, 7, 0.09, 3.6, -0.22, 0.5},
    {0.55, 0.75, 12, 0.06, 5.1, 0.26, 0.35}, {0.9, 0.65, 6, 0.105, 2.0, -0.16, 0.6},
    {0.6, 0.8, 10, 0.075, 0.5, 0.3, 0.45},  {1.5, 0.7, 8, 0.09, 2.9, 0.18, 0.55},
    {0.8, 0.55, 11, 0.075, 4.4, -0.28, 0.4}, {1.1, 0.75, 5, 0.12, 4.6, 0.22, 0.5},
}};

// A signed power |v|^power with the sign of v, softened within about
// `softness` of 0 so that its slope stays finite there: a plain power below
// 1 has an infinite slope at 0, which would make the point leap across the
// oval's quarter points. Still 0 at 0, ±1 at ±1 and increasing.
constexpr double softness = 0.2;

double signed_power(double v, double power) {
    const double half = 0.5 * (power - 1.0);
    return v * std::pow(v * v + softness * softness, half) / std::pow(1.0 + softness * softness, half);
}

// 1 at `centre`, falling smoothly to 0 half a turn away.
double window(double theta, double centre) {
    const double c = 0.5 * (1.0 + std::cos(theta - centre));
    return c * c;
}

Offset3 contour(const Contour& m, double theta) {
    const double ex = signed_power(std::cos(theta), m.power);
    const double ey = m.height * signed_power(std::sin(theta), m.power);
    const double swell = 1.0 + m.ripple * std::sin(m.ripples * theta) * window(theta, m.ripple_at);
    const double x = ex * swell;
    const double y = ey * swell + m.bow * (ex * ex - 0.5) * (1.0 + 0.6 * ex);
    const double z = m.depth * (std::sin(2.0 * theta + m.ripple_at) + 0.5 * (swell - 1.0) / m.ripple);
    return {x, y, z};
}

}  // namespace contour_local
}  // namespace

std::vector<PatternDef> contour_family() {
    using namespace contour_local;
    std::vector<PatternDef> family;
    for (std::size_t k = 0; k < members.size(); ++k) {
        const Contour m = members[k];
        family.push_back(shape("contour_shaped_" + two_digits(static_cast<int>(k) + 1), 1024,
                               m.depth > 0.0 ? 3 : 2,
                               "Signed-power oval edges with local ripples and an asymmetric bow.",
                               of_angle(1024, [m](double theta) { return contour(m, theta); })));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
