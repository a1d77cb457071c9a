// spiro_inside_p_q and spiro_outside_p_q: the pen of a circle of radius q
// rolling inside or outside a fixed circle of radius p, the pen at a
// fraction f of the rolling radius. The carrier turns q times, so the trace
// closes once per loop.
#include <array>
#include <cmath>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace spiro_family_local {

struct Rolling {
    int fixed_radius;    // p
    int rolling_radius;  // q
    double pen;          // f: pen distance over rolling radius
};

constexpr std::array<Rolling, 8> rollings = {{
    {3, 1, 0.45}, {4, 1, 0.6}, {5, 2, 0.75}, {5, 1, 0.55}, {7, 2, 0.65}, {7, 3, 0.7}, {8, 3, 0.6}, {9, 4, 0.8},
}};

Offset3 hypotrochoid(Rolling c, double t) {
    const double big = c.fixed_radius;
    const double r = c.rolling_radius;
    const double d = c.pen * r;
    return {(big - r) * std::cos(t) + d * std::cos((big - r) * t / r),
            (big - r) * std::sin(t) - d * std::sin((big - r) * t / r), 0.0};
}

Offset3 epitrochoid(Rolling c, double t) {
    const double big = c.fixed_radius;
    const double r = c.rolling_radius;
    const double d = c.pen * r;
    return {(big + r) * std::cos(t) - d * std::cos((big + r) * t / r),
            (big + r) * std::sin(t) - d * std::sin((big + r) * t / r), 0.0};
}

using Trace = Offset3 (*)(Rolling, double);

PatternDef spiro(const std::string& way, Trace trace, Rolling c) {
    const Rule raw = [trace, c](double pip) { return trace(c, 2.0 * pi * c.rolling_radius * pip / 1024.0); };
    return peak_82(numbered("spiro_" + way, {c.fixed_radius, c.rolling_radius}),
                   "A closed " + way + "-rolling circle trace, with pen radius smaller than the rolling radius.", 1024,
                   2, raw);
}

}  // namespace spiro_family_local
}  // namespace

Family spiro_family() {
    using namespace spiro_family_local;
    Family family;
    for (const Rolling c : rollings) {
        family.push_back(spiro("inside", &hypotrochoid, c));
    }
    for (const Rolling c : rollings) {
        family.push_back(spiro("outside", &epitrochoid, c));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
