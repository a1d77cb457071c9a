// dwell_phrase_NN: over sixteen beats, a lift to one place and a hold, a
// transfer across, a second lift of another height and a hold of another
// length, then a return that dips past rest and settles. Every key sits on
// the eighth-note grid and every hold lasts whole eighths.
#include <array>
#include <stdexcept>
#include <vector>

#include "families.hpp"
#include "members.hpp"
#include "rules.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace dwell_local {

// Times in beats from the previous key; places as (x, y, z), y negative
// for a lift.
struct Phrase {
    double rise, hold, transfer, lift, hold2, settle;
    Offset3 first, across, second;
};

constexpr int period = 1024;
constexpr double beat = 64.0;
constexpr double settle_dip = -0.18;  // the return's dip past rest, of the second place

constexpr std::array<Phrase, 16> members = {{
    {1.5, 2.0, 1.5, 1.0, 3.0, 2.0, {0.4, -0.8, 0.2}, {-0.1, -0.35, 0.35}, {-0.6, -0.55, -0.3}},
    {1.0, 3.0, 1.0, 1.5, 1.5, 2.5, {-0.5, -0.7, -0.3}, {0.0, -0.3, 0.1}, {0.55, -0.9, 0.4}},
    {2.0, 1.5, 2.0, 1.0, 2.5, 2.0, {0.7, -0.5, 0.35}, {0.2, -0.2, -0.2}, {-0.3, -0.85, 0.25}},
    {1.0, 2.5, 1.5, 2.0, 1.5, 1.5, {-0.3, -0.9, 0.25}, {0.25, -0.4, -0.3}, {0.7, -0.45, 0.15}},
    {1.5, 1.0, 2.0, 1.5, 3.5, 2.0, {0.55, -0.6, -0.4}, {0.1, -0.25, 0.2}, {-0.45, -0.8, 0.45}},
    {0.5, 2.0, 1.5, 1.0, 2.0, 3.0, {-0.65, -0.55, 0.3}, {-0.15, -0.3, -0.35}, {0.4, -0.85, -0.2}},
    {2.0, 2.0, 1.0, 1.0, 1.0, 2.5, {0.3, -0.85, -0.2}, {-0.2, -0.5, 0.3}, {-0.7, -0.6, 0.3}},
    {1.0, 1.5, 2.5, 1.5, 2.5, 2.0, {-0.7, -0.65, -0.25}, {0.05, -0.2, 0.4}, {0.5, -0.75, -0.35}},
    {1.5, 3.0, 1.0, 0.5, 2.0, 2.0, {0.45, -0.75, 0.5}, {0.1, -0.4, -0.1}, {-0.5, -0.5, -0.45}},
    {1.0, 2.0, 2.0, 1.5, 3.0, 1.5, {-0.4, -0.85, 0.15}, {0.15, -0.3, -0.25}, {0.65, -0.6, 0.3}},
    {2.5, 1.5, 1.5, 1.0, 2.0, 2.0, {0.6, -0.7, -0.3}, {0.0, -0.45, 0.2}, {-0.55, -0.9, -0.15}},
    {1.0, 1.0, 1.5, 2.0, 3.0, 2.5, {-0.55, -0.5, 0.4}, {-0.1, -0.25, -0.2}, {0.45, -0.95, 0.25}},
    {1.5, 2.5, 1.0, 1.0, 1.5, 3.0, {0.35, -0.9, 0.3}, {-0.25, -0.35, 0.35}, {-0.75, -0.5, -0.25}},
    {1.0, 2.0, 2.0, 1.0, 2.5, 2.0, {-0.6, -0.6, -0.45}, {0.2, -0.3, 0.1}, {0.6, -0.8, 0.35}},
    {2.0, 1.0, 1.5, 1.5, 3.0, 2.0, {0.5, -0.95, 0.2}, {-0.05, -0.45, -0.3}, {-0.4, -0.6, 0.4}},
    {1.5, 2.0, 1.0, 2.0, 2.0, 2.5, {-0.45, -0.8, -0.35}, {0.25, -0.4, 0.25}, {0.7, -0.55, -0.2}},
}};

// Keys of the phrase, ending at rest; the lanes then rest until the loop
// ends.
Rule phrase(const Phrase& p) {
    const Offset3 rest{0.0, 0.0, 0.0};
    const Offset3 dip = settle_dip * p.second;
    struct Step {
        double beats;
        Offset3 at;
    };
    const std::vector<Step> steps = {{p.rise, p.first},   {p.hold, p.first},    {p.transfer, p.across},
                                     {p.lift, p.second},  {p.hold2, p.second},  {0.5 * p.settle, dip},
                                     {0.5 * p.settle, rest}};
    KeyLane x{{{0.0, 0.0}}}, y{{{0.0, 0.0}}}, z{{{0.0, 0.0}}};
    double pip = 0.0;
    for (const Step& step : steps) {
        pip += step.beats * beat;
        x.keys.push_back({pip, step.at.x});
        y.keys.push_back({pip, step.at.y});
        z.keys.push_back({pip, step.at.z});
    }
    if (pip >= period) {
        throw std::logic_error("a dwell phrase longer than its loop");
    }
    return key_lanes(period, std::move(x), std::move(y), std::move(z));
}

}  // namespace dwell_local
}  // namespace

std::vector<PatternDef> dwell_family() {
    using namespace dwell_local;
    std::vector<PatternDef> family;
    for (std::size_t k = 0; k < members.size(); ++k) {
        family.push_back(shape("dwell_phrase_" + two_digits(static_cast<int>(k) + 1), period, 3,
                               "Two unequal lift-and-hold gestures, a transfer and a settling return; holds have "
                               "finite musical duration.",
                               phrase(members[k])));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
