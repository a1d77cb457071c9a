// space_torus_p_q: a knot wound p times around the axis and q times through
// a tube of radius 0.2 about a circle of radius 0.58, its depth the tube's
// height. space_weave_a_b_c: three sines of coprime cycle counts on x, y, z.
#include <array>
#include <cmath>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace space_family_local {

struct Winding {
    int around;   // p
    int through;  // q
};

constexpr std::array<Winding, 8> windings = {{{2, 5}, {2, 7}, {3, 4}, {3, 5}, {3, 7}, {4, 5}, {4, 7}, {5, 6}}};

struct Lanes {
    int a;
    int b;
    int c;
};

constexpr std::array<Lanes, 8> lane_cycles = {{
    {1, 2, 3}, {1, 3, 4}, {2, 3, 4}, {2, 3, 7}, {2, 5, 7}, {3, 4, 5}, {3, 5, 7}, {4, 5, 7},
}};

// The raw knot's farthest coordinate is 0.78, at pip 0.
constexpr double torus_scale = 0.82 / 0.78;
// The raw weave's farthest coordinate is 1.
constexpr double weave_scale = 0.82;

Offset3 torus_knot(Winding w, double theta) {
    const double radius = 0.58 + 0.2 * std::cos(w.through * theta);
    const Offset3 raw{radius * std::cos(w.around * theta), radius * std::sin(w.around * theta),
                      0.42 * std::sin(w.through * theta)};
    return torus_scale * raw;
}

Offset3 three_lanes(Lanes l, double theta) {
    const Offset3 raw{std::sin(l.a * theta), 0.8 * std::sin(l.b * theta + 0.4), 0.7 * std::cos(l.c * theta + 0.7)};
    return weave_scale * raw;
}

}  // namespace space_family_local
}  // namespace

Family space_family() {
    using namespace space_family_local;
    Family family;
    for (const Winding w : windings) {
        family.push_back(as_stated(numbered("space_torus", {w.around, w.through}),
                                   "A genuine XYZ closed torus-knot trajectory. The demo uses an oblique projection.",
                                   1024, 3, of_angle(1024, [w](double theta) { return torus_knot(w, theta); })));
    }
    for (const Lanes l : lane_cycles) {
        family.push_back(as_stated(numbered("space_weave", {l.a, l.b, l.c}),
                                   "Three coprime-frequency coordinate lanes with distinct phase offsets.", 1024, 3,
                                   of_angle(1024, [l](double theta) { return three_lanes(l, theta); })));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
