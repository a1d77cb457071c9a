// surface_a_b_low / _wide: a path over a bulging sphere. Longitude turns a
// times a loop and speeds up and slows down with the latitude, which swings
// b times; the radius breathes with both. Low members keep near the
// equator, wide ones reach toward the poles.
#include <array>
#include <cmath>
#include <string>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace surface_local {

struct Cycles {
    int a, b;
};

struct Band {
    const char* word;
    double latitude;  // largest latitude, radians
};

constexpr std::array<Cycles, 8> cycles = {{{1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 3}, {2, 5}, {3, 4}, {3, 5}}};
constexpr std::array<Band, 2> bands = {{{"low", 0.42}, {"wide", 1.05}}};

Offset3 surface(Cycles c, Band band, double theta) {
    const double swing = std::sin(c.b * theta + 0.4);
    const double latitude = band.latitude * swing;
    // The longitude hurries and lingers with the latitude but never turns
    // back: its rate a (1 + 0.5 cos b theta) stays positive.
    const double longitude = c.a * theta + 0.5 * c.a / c.b * std::sin(c.b * theta);
    const double radius = 1.0 + 0.14 * std::cos((c.a + c.b) * theta);
    return {radius * std::cos(latitude) * std::cos(longitude), 0.8 * radius * std::cos(latitude) * std::sin(longitude),
            radius * std::sin(latitude)};
}

}  // namespace surface_local
}  // namespace

std::vector<PatternDef> surface_family() {
    using namespace surface_local;
    std::vector<PatternDef> family;
    for (const Band& band : bands) {
        for (const Cycles c : cycles) {
            family.push_back(shape(numbered("surface", std::array{c.a, c.b}) + "_" + band.word,
                                   1024, 3,
                                   "A varying-radius surface path with coupled longitude and latitude; all three "
                                   "coordinates are retained.",
                                   of_angle(1024, [c, band](double theta) { return surface(c, band, theta); })));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
