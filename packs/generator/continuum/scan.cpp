// scan_<style>_n: n rows scanned back and forth, top to bottom, each row
// and each step down eased from rest to rest, then a return that swings
// around the outside of the scanned field back to the first row's start.
// Styles shape the rows: flat, bowed (rows sag), tilted (rows slope) and
// depth (rows arc into depth, alternately forward and back).
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace scan_local {

struct Style {
    const char* word;
    double bow;    // sag of a row at its middle
    double tilt;   // rise of a row per unit of x
    double depth;  // depth arc of a row
};

constexpr std::array<Style, 4> styles = {{{"flat", 0.0, 0.0, 0.0},
                                          {"bowed", 0.22, 0.0, 0.0},
                                          {"tilted", 0.0, 0.2, 0.0},
                                          {"depth", 0.0, 0.0, 0.55}}};
constexpr std::array<int, 4> row_counts = {3, 4, 5, 6};

constexpr int period = 1024;
constexpr double row_height = 0.8;   // rows from +0.8 down to -0.8
constexpr double step_time = 0.3;    // a step down, in row times
constexpr double return_share = 0.22;  // of the loop
constexpr double return_swing = 0.2;  // how far the return swings outside the field

double row_y(int row, int rows) { return row_height - 2.0 * row_height * row / (rows - 1); }

// A point of row `row` at x, with the style's shaping; `along` in [0, 1]
// runs along the row.
Offset3 on_row(const Style& style, int row, int rows, double x, double along) {
    const double y = row_y(row, rows) + style.tilt * x - style.bow * std::sin(pi * along);
    const double z = style.depth * side(row) * std::sin(pi * along);
    return {x, y, z};
}

double row_direction(int row) { return side(row); }  // +1: left to right

Offset3 row_end(const Style& style, int row, int rows) {
    return on_row(style, row, rows, row_direction(row), 1.0);
}

Offset3 scan_start(const Style& style, int rows) { return on_row(style, 0, rows, -1.0, 0.0); }

// Polar radius about the centre, y measured in row heights.
double radius_of(Offset3 p) { return std::hypot(p.x, p.y / row_height); }

// The largest radius the rows reach, sampled along every row.
double field_radius(const Style& style, int rows) {
    constexpr int samples = 16;
    double largest = 0.0;
    for (int row = 0; row < rows; ++row) {
        for (int k = 0; k <= samples; ++k) {
            const double along = static_cast<double>(k) / samples;
            largest = std::max(largest, radius_of(on_row(style, row, rows, -1.0 + 2.0 * along, along)));
        }
    }
    return largest;
}

// The return: from the last row's end round the outside of the field to
// the start, in polar form about the centre; half-way it passes
// `return_swing` beyond the field's widest point.
Offset3 outer_return(const Style& style, int rows, double field, double s) {
    const Offset3 from = row_end(style, rows - 1, rows);
    const Offset3 to = scan_start(style, rows);
    const double a0 = std::atan2(from.y / row_height, from.x);
    const double a1 = std::atan2(to.y / row_height, to.x);
    double turn = std::remainder(a1 - a0, 2.0 * pi);
    if (std::fabs(turn) > pi - 1e-9) {
        turn = pi;
    }
    const double r0 = radius_of(from);
    const double r1 = radius_of(to);
    const double swing = field + return_swing - 0.5 * (r0 + r1);
    const double e = smootherstep(s);
    const double angle = a0 + turn * e;
    const double radius = r0 + (r1 - r0) * e + swing * std::sin(pi * e);
    return {radius * std::cos(angle), row_height * radius * std::sin(angle), 0.0};
}

Offset3 scan(const Style& style, int rows, double field, double pip) {
    const double scan_pips = (1.0 - return_share) * period;
    const double row_pips = scan_pips / (rows + step_time * (rows - 1));
    const double step_pips = step_time * row_pips;
    double t = pip;
    for (int row = 0; row < rows; ++row) {
        if (t < row_pips) {
            const double along = t / row_pips;
            const double x = -row_direction(row) + 2.0 * row_direction(row) * smootherstep(along);
            return on_row(style, row, rows, x, smootherstep(along));
        }
        t -= row_pips;
        if (row + 1 < rows) {
            if (t < step_pips) {
                const Offset3 a = row_end(style, row, rows);
                const Offset3 b = on_row(style, row + 1, rows, a.x, 0.0);
                return a + smootherstep(t / step_pips) * (b + (-1.0) * a);
            }
            t -= step_pips;
        }
    }
    return outer_return(style, rows, field, t / (return_share * period));
}

}  // namespace scan_local
}  // namespace

std::vector<PatternDef> scan_family() {
    using namespace scan_local;
    std::vector<PatternDef> family;
    for (const int rows : row_counts) {
        for (const Style& style : styles) {
            family.push_back(shape(numbered("scan_" + std::string(style.word), std::array{rows}), period,
                                   style.depth > 0.0 ? 3 : 2,
                                   "An eased serpentine scan and an explicit outer return to the starting point.",
                                   [style, rows, field = field_radius(style, rows)](double pip) {
                                       return scan(style, rows, field, pip);
                                   }));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
