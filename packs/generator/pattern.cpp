#include "pattern.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "decimal.hpp"

namespace kinetrope::packgen {

namespace {
namespace pattern_local {

double largest_axis(Offset3 p) noexcept {
    return std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
}

double scale_for(const PatternDef& pattern) {
    switch (pattern.scaling) {
        case PeakScaling::none:
            return 1.0;
        case PeakScaling::on_pips:
            return pattern.peak / largest_magnitude(pattern.rule, pattern.period, 1.0);
        case PeakScaling::on_half_pips:
            return pattern.peak / largest_magnitude(pattern.rule, pattern.period * 2, 0.5);
    }
    throw std::logic_error("unknown peak scaling");
}

}  // namespace pattern_local
}  // namespace

double largest_magnitude(const Rule& rule, int count, double step) {
    using namespace pattern_local;
    double largest = 0.0;
    for (int i = 0; i < count; ++i) {
        largest = std::max(largest, largest_axis(rule(i * step)));
    }
    if (largest == 0.0) {
        throw std::runtime_error("peak scaling of a curve that never moves");
    }
    return largest;
}

double round12(double value) { return std::strtod(decimal12(value).c_str(), nullptr); }

Table render(const PatternDef& pattern) {
    using namespace pattern_local;
    const double scale = scale_for(pattern);
    Table table;
    table.reserve(static_cast<std::size_t>(pattern.period));
    for (int i = 0; i < pattern.period; ++i) {
        Offset3 p = pattern.rule(static_cast<double>(i));
        if (pattern.scaling != PeakScaling::none) {
            p = {p.x * scale, p.y * scale, p.z * scale};
        }
        table.push_back({round12(p.x), round12(p.y), round12(p.z)});
    }
    return table;
}

}  // namespace kinetrope::packgen
