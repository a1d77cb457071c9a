// braid_a_b: a point circles a tube whose centreline is an ellipse set off
// the origin. The tube's cross-section is itself an ellipse that rolls a
// times a loop while the point goes round it b times; a second ripple of
// b + 2 cycles adds to the depth.
#include <array>
#include <cmath>
#include <string>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace braid_local {

struct Cycles {
    int a, b;
};

constexpr std::array<Cycles, 16> members = {{{1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 3}, {2, 5}, {3, 4}, {3, 5},
                                             {1, 6}, {2, 7}, {3, 7}, {4, 5}, {4, 7}, {5, 6}, {5, 7}, {5, 8}}};

Offset3 braid(Cycles c, double theta) {
    // Centreline and its outward normal in the x-y plane.
    const double cx = 0.2 + 0.7 * std::cos(theta);
    const double cy = -0.1 + 0.5 * std::sin(theta);
    const double nx = 0.5 * std::cos(theta);
    const double ny = 0.7 * std::sin(theta);
    const double n = std::hypot(nx, ny);
    // The point on the rolling elliptical cross-section.
    const double u = 0.34 * std::cos(c.b * theta);
    const double v = 0.2 * std::sin(c.b * theta);
    const double roll = c.a * theta;
    const double across = u * std::cos(roll) - v * std::sin(roll);
    const double lift = u * std::sin(roll) + v * std::cos(roll);
    return {cx + across * nx / n, cy + across * ny / n, 1.3 * lift + 0.12 * std::sin((c.b + 2) * theta + 0.7)};
}

}  // namespace braid_local
}  // namespace

std::vector<PatternDef> braid_family() {
    using namespace braid_local;
    std::vector<PatternDef> family;
    for (const Cycles c : members) {
        family.push_back(shape(numbered("braid", std::array{c.a, c.b}), 1024, 3,
                               "An offset tube centreline and a rolling cross-section with a second depth ripple.",
                               of_angle(1024, [c](double theta) { return braid(c, theta); })));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
