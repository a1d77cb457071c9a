// ribbon_a_b_slim / _deep: a point weaves across a bent elliptical spine.
// The weave runs 3b times a loop along the spine's radial direction, its
// width swelling a times; depth follows the weave and the width.
#include <array>
#include <cmath>
#include <string>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace ribbon_local {

struct Cycles {
    int a, b;
};

struct Body {
    const char* word;
    double width;  // radial weave amplitude
    double depth;  // depth deflection
};

constexpr std::array<Cycles, 8> cycles = {{{1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 3}, {2, 5}, {3, 4}, {3, 5}}};
constexpr std::array<Body, 2> bodies = {{{"slim", 0.1, 0.22}, {"deep", 0.2, 0.55}}};

Offset3 ribbon(Cycles c, Body body, double theta) {
    // Spine: an ellipse bent into a bean, its ends raised and its middle
    // pressed down.
    const double sx = std::cos(theta);
    const double sy = 0.5 * std::sin(theta) + 0.26 * std::cos(2.0 * theta);
    const double width = body.width * (0.65 + 0.35 * std::cos(c.a * theta));
    const double weave = std::sin(3.0 * c.b * theta);
    const double offset = width * weave;
    const double depth = body.depth * (0.55 * std::sin(c.a * theta + 0.5) +
                                       0.45 * std::cos(3.0 * c.b * theta) * width / body.width);
    return {sx * (1.0 + offset), sy + offset * std::sin(theta), depth};
}

}  // namespace ribbon_local
}  // namespace

std::vector<PatternDef> ribbon_family() {
    using namespace ribbon_local;
    std::vector<PatternDef> family;
    for (const Body& body : bodies) {
        for (const Cycles c : cycles) {
            family.push_back(shape(
                numbered("ribbon", std::array{c.a, c.b}) + "_" + body.word, 1024, 3,
                "A curved elliptical spine with variable radial width and linked depth deflection.",
                of_angle(1024, [c, body](double theta) { return ribbon(c, body, theta); })));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
