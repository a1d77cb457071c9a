// tour_n_k: a point tours the n vertices of an uneven polygon, k vertices
// on at each step (a star path when k > 1), easing into and out of every
// corner and resting there, long and short rests in turn. Members from
// 11_3 on give each vertex a depth too.
#include <array>
#include <cmath>
#include <string>

#include "families.hpp"
#include "members.hpp"
#include "rules.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace tour_local {

struct Tour {
    int n, k;
    bool depth;
};

constexpr std::array<Tour, 16> members = {{{5, 2, false},  {7, 2, false},  {7, 3, false},  {8, 3, false},
                                           {9, 2, false},  {9, 4, false},  {10, 3, false}, {11, 2, false},
                                           {11, 3, true},  {11, 4, true},  {12, 5, true},  {13, 2, true},
                                           {13, 3, true},  {13, 4, true},  {13, 5, true},  {14, 3, true}}};

constexpr int period = 1024;
constexpr double long_rest = 0.34;   // of a step's time
constexpr double short_rest = 0.12;

// Vertex j of the uneven polygon: its radius swells and shrinks around it.
Offset3 vertex(const Tour& t, int j) {
    const double angle = 2.0 * pi * j / t.n + 0.3;
    const double radius = 1.0 + 0.14 * std::cos(2.0 * angle + 0.6) + 0.06 * std::cos(3.0 * angle);
    const double depth = t.depth ? 0.5 * std::cos(3.0 * angle + 0.5) : 0.0;
    return {radius * std::cos(angle), 0.8 * radius * std::sin(angle), depth};
}

Rule tour(const Tour& t) {
    KeyLane x, y, z;
    const double step = static_cast<double>(period) / t.n;
    for (int m = 0; m < t.n; ++m) {
        const Offset3 v = vertex(t, m * t.k % t.n);
        const double arrive = m * step;
        const double leave = arrive + (m % 2 == 0 ? long_rest : short_rest) * step;
        for (const double pip : {arrive, leave}) {
            x.keys.push_back({pip, v.x});
            y.keys.push_back({pip, v.y});
            z.keys.push_back({pip, v.z});
        }
    }
    if (!t.depth) {
        return key_lanes(period, std::move(x), std::move(y));
    }
    return key_lanes(period, std::move(x), std::move(y), std::move(z));
}

}  // namespace tour_local
}  // namespace

std::vector<PatternDef> tour_family() {
    using namespace tour_local;
    std::vector<PatternDef> family;
    for (const Tour& t : members) {
        family.push_back(shape(numbered("tour", std::array{t.n, t.k}), period, t.depth ? 3 : 2,
                               "A noncircular vertex tour with eased corners and alternating dwell lengths.",
                               tour(t)));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
