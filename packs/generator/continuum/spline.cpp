// spline_<shape>: a closed cubic through authored control points, each
// segment with its own duration. The tangent at a control is the chord
// between its neighbours over the time between them, so a long segment
// leaves and arrives slower than a short one.
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace spline_local {

// A control point and the pips it takes to reach the next one.
struct Control {
    double pips;
    Offset3 at;
};

struct Spline {
    const char* shape;
    std::vector<Control> controls;  // durations add up to the period
};

constexpr int period = 512;

std::vector<Spline> members() {
    return {
        {"kite", {{160, {0.0, 1.0, 0}}, {96, {0.55, 0.15, 0}}, {160, {0.0, -0.9, 0}}, {96, {-0.45, 0.2, 0}}}},
        {"hourglass",
         {{144, {-0.7, 0.8, 0}}, {112, {0.8, 0.7, 0}}, {144, {-0.6, -0.75, 0}}, {112, {0.7, -0.85, 0}}}},
        {"hook",
         {{96, {0.0, 0.9, 0}}, {64, {0.6, 0.3, 0}}, {96, {0.4, -0.6, 0}}, {64, {-0.2, -0.8, 0}},
          {96, {-0.45, -0.4, 0}}, {96, {-0.1, 0.2, 0}}}},
        {"crown",
         {{80, {-0.9, -0.5, 0}}, {64, {-0.7, 0.6, 0}}, {64, {-0.3, 0.05, 0}}, {80, {0.05, 0.85, 0}},
          {64, {0.35, 0.1, 0}}, {64, {0.8, 0.7, 0}}, {96, {0.9, -0.5, 0}}}},
        {"bow", {{176, {-0.9, 0.5, 0}}, {80, {0.9, -0.45, 0}}, {176, {0.8, 0.4, 0}}, {80, {-0.85, -0.5, 0}}}},
        {"crooked_cross",
         {{80, {0.1, 0.9, 0}}, {48, {0.15, 0.1, 0}}, {64, {0.85, 0.2, 0}}, {48, {0.2, -0.05, 0}},
          {80, {0.05, -0.8, 0}}, {48, {-0.1, -0.1, 0}}, {96, {-0.9, 0.05, 0}}, {48, {-0.15, 0.15, 0}}}},
        {"asymmetric_star",
         {{112, {0.0, 0.9, 0}}, {96, {-0.44, -0.61, 0}}, {112, {0.9, 0.29, 0}}, {96, {-0.67, 0.22, 0}},
          {96, {0.5, -0.69, 0}}}},
        {"scoop",
         {{128, {-0.9, 0.4, 0}}, {96, {-0.4, -0.7, 0}}, {128, {0.5, -0.6, 0}}, {64, {0.9, 0.5, 0}},
          {96, {0.2, 0.0, 0}}}},
        {"rising_kite",
         {{160, {0.0, 1.0, -0.5}}, {96, {0.55, 0.15, 0.0}}, {160, {0.0, -0.9, 0.6}}, {96, {-0.45, 0.2, 0.1}}}},
        {"twisted_bow",
         {{176, {-0.9, 0.5, 0.5}}, {80, {0.9, -0.45, -0.5}}, {176, {0.8, 0.4, 0.4}}, {80, {-0.85, -0.5, -0.45}}}},
        {"cup",
         {{64, {-0.8, 0.7, 0.2}}, {96, {-0.6, -0.5, -0.3}}, {96, {0.0, -0.85, 0.0}}, {96, {0.65, -0.45, 0.35}},
          {64, {0.85, 0.75, -0.2}}, {96, {0.05, 0.35, 0.4}}}},
        {"bridge",
         {{112, {-0.9, -0.6, 0.0}}, {128, {-0.5, 0.6, 0.4}}, {96, {0.5, 0.7, 0.3}}, {80, {0.9, -0.55, -0.2}},
          {96, {0.0, -0.1, -0.5}}}},
        {"double_bay",
         {{80, {-0.85, 0.3, 0.1}}, {96, {-0.45, -0.7, 0.5}}, {64, {0.0, 0.1, 0.0}}, {112, {0.5, -0.75, -0.4}},
          {80, {0.9, 0.35, 0.2}}, {80, {0.0, 0.7, -0.3}}}},
        {"slanted_loop",
         {{128, {-0.8, -0.7, -0.3}}, {64, {0.3, 0.1, 0.2}}, {96, {0.85, 0.8, 0.5}}, {96, {0.6, 0.2, -0.1}},
          {128, {-0.2, 0.5, 0.4}}}},
        {"fork",
         {{96, {0.0, -0.9, 0.0}}, {64, {0.0, 0.0, 0.2}}, {96, {-0.7, 0.8, 0.5}}, {64, {0.05, 0.15, -0.1}},
          {112, {0.75, 0.85, -0.5}}, {80, {0.1, -0.1, 0.3}}}},
        {"folded_crown",
         {{64, {-0.9, -0.4, 0.3}}, {64, {-0.6, 0.7, -0.2}}, {64, {-0.2, 0.0, 0.5}}, {64, {0.1, 0.85, 0.0}},
          {64, {0.4, 0.05, -0.5}}, {64, {0.85, 0.6, 0.2}}, {80, {0.7, -0.6, -0.3}}, {48, {0.0, -0.3, 0.4}}}},
    };
}

bool is_flat(const Spline& s) {
    for (const Control& c : s.controls) {
        if (c.at.z != 0.0) {
            return false;
        }
    }
    return true;
}

// Cubic Hermite segment from a to b over `pips`, with tangents per pip.
Offset3 hermite(Offset3 a, Offset3 ta, Offset3 b, Offset3 tb, double pips, double s) {
    const double s2 = s * s;
    const double s3 = s2 * s;
    const double h00 = 2.0 * s3 - 3.0 * s2 + 1.0;
    const double h10 = s3 - 2.0 * s2 + s;
    const double h01 = -2.0 * s3 + 3.0 * s2;
    const double h11 = s3 - s2;
    return h00 * a + (h10 * pips) * ta + h01 * b + (h11 * pips) * tb;
}

Rule closed_spline(std::vector<Control> controls) {
    const std::size_t n = controls.size();
    std::vector<double> starts;
    std::vector<Offset3> tangents;
    double t = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const Control& before = controls[(i + n - 1) % n];
        const Control& after = controls[(i + 1) % n];
        tangents.push_back((1.0 / (before.pips + controls[i].pips)) * (after.at + (-1.0) * before.at));
        starts.push_back(t);
        t += controls[i].pips;
    }
    return [controls = std::move(controls), starts = std::move(starts), tangents = std::move(tangents)](double pip) {
        const std::size_t count = controls.size();
        std::size_t i = count - 1;
        while (i > 0 && starts[i] > pip) {
            --i;
        }
        const std::size_t next = (i + 1) % count;
        const double s = (pip - starts[i]) / controls[i].pips;
        return hermite(controls[i].at, tangents[i], controls[next].at, tangents[next], controls[i].pips, s);
    };
}

}  // namespace spline_local
}  // namespace

std::vector<PatternDef> spline_family() {
    using namespace spline_local;
    std::vector<PatternDef> family;
    for (Spline& s : members()) {
        const int dims = is_flat(s) ? 2 : 3;
        family.push_back(shape(std::string("spline_") + s.shape, period, dims,
                               "Periodic cubic tangents connect asymmetrical controls with unequal segment times.",
                               closed_spline(std::move(s.controls))));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
