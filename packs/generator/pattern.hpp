// A pattern is a rule (the position as a function of a continuous pip) plus
// its catalogue data; a pack is an ordered list of patterns. Rendering turns
// a rule into the table of stored values.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "kinetrope/time_base.hpp"

namespace kinetrope::packgen {

using Rule = std::function<Offset3(double pip)>;

// How a rule's raw curve is brought to its final peak.
enum class PeakScaling {
    none,       // the rule already gives the final values
    on_pips,    // largest magnitude over the table's pips becomes `peak`
    on_half_pips,  // largest magnitude over 2P half-pip points becomes `peak`
};

struct PatternDef {
    std::string name;
    std::string description;
    int period = 0;
    int dimensions = 0;
    Rule rule;
    PeakScaling scaling = PeakScaling::none;
    double peak = 0.82;
};

struct Pack {
    std::string name;  // namespace kinetrope_<name>
    std::vector<PatternDef> patterns;
};

using Table = std::vector<Offset3>;

// Largest coordinate magnitude of `rule` over the `count` points k * step,
// k = 0 .. count-1.
double largest_magnitude(const Rule& rule, int count, double step);

// The rule's values at pips 0 .. period-1 after its peak scaling, rounded to
// 12 decimal places with -0 stored as +0.
Table render(const PatternDef& pattern);

// Nearest multiple of 1e-12 as the double a compiler reads back from the
// 12-decimal text, with -0 folded to +0.
double round12(double value);

}  // namespace kinetrope::packgen
