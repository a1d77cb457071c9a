// arm_coupled_NN: the tip of a two-link arm whose shoulder swings once a
// loop and whose elbow is driven m times a loop, about the tip's mean
// position. Members 09-16 also turn the arm's plane about the vertical.
#include <array>
#include <cmath>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace arm_local {

struct Arm {
    double upper, fore;              // link lengths
    double shoulder, shoulder_swing;  // rest angle and swing of the shoulder
    double elbow, elbow_swing;        // rest angle and swing of the elbow
    int elbow_cycles;                 // elbow cycles per loop
    double elbow_phase;
    double turn;                      // swing of the arm's plane (0: flat)
};

constexpr std::array<Arm, 16> members = {{
    {1.0, 0.8, 0.3, 0.9, 1.2, 0.6, 2, 0.4, 0.0},   {1.0, 0.6, -0.2, 1.1, 0.9, 0.8, 1, 1.2, 0.0},
    {0.9, 0.9, 0.5, 0.7, 1.5, 0.5, 3, 0.8, 0.0},   {1.0, 0.7, 0.0, 1.2, 1.0, 0.7, 2, 2.0, 0.0},
    {0.8, 1.0, 0.4, 0.8, 1.8, 0.4, 3, 0.9, 0.0},   {1.0, 0.5, -0.4, 1.0, 0.7, 0.9, 2, 0.2, 0.0},
    {0.9, 0.8, 0.2, 0.6, 1.3, 0.7, 1, 2.6, 0.0},   {1.0, 0.9, 0.6, 1.0, 1.1, 0.5, 4, 0.6, 0.0},
    {1.0, 0.8, 0.3, 0.8, 1.2, 0.6, 2, 0.7, 0.6},   {0.9, 0.7, -0.3, 1.0, 1.0, 0.7, 1, 1.8, 0.5},
    {1.0, 0.9, 0.4, 0.7, 1.6, 0.5, 3, 0.3, 0.7},   {0.8, 0.8, 0.0, 1.1, 0.9, 0.8, 2, 2.4, 0.45},
    {1.0, 0.6, 0.5, 0.9, 1.4, 0.6, 3, 1.1, 0.55},  {0.9, 1.0, -0.1, 0.8, 1.2, 0.5, 2, 0.5, 0.65},
    {1.0, 0.7, 0.2, 1.0, 0.8, 0.9, 1, 2.9, 0.5},   {0.9, 0.9, 0.3, 0.7, 1.7, 0.4, 4, 0.5, 0.6},
}};

Offset3 tip(const Arm& m, double theta) {
    const double q1 = m.shoulder + m.shoulder_swing * std::sin(theta);
    const double q2 = m.elbow + m.elbow_swing * std::sin(m.elbow_cycles * theta + m.elbow_phase);
    const double reach = m.upper * std::cos(q1) + m.fore * std::cos(q1 + q2);
    const double height = m.upper * std::sin(q1) + m.fore * std::sin(q1 + q2);
    const double turn = m.turn * std::sin(theta + 0.9);
    return {reach * std::cos(turn), height, reach * std::sin(turn)};
}

// The tip about its mean position over the loop.
Rule centred_tip(const Arm& m) {
    constexpr int samples = 1024;
    Offset3 mean{0.0, 0.0, 0.0};
    for (int i = 0; i < samples; ++i) {
        mean = mean + (1.0 / samples) * tip(m, 2.0 * pi * i / samples);
    }
    return of_angle(1024, [m, mean](double theta) {
        const Offset3 p = tip(m, theta);
        return Offset3{p.x - mean.x, p.y - mean.y, m.turn > 0.0 ? p.z - mean.z : 0.0};
    });
}

}  // namespace arm_local
}  // namespace

std::vector<PatternDef> arm_family() {
    using namespace arm_local;
    std::vector<PatternDef> family;
    for (std::size_t k = 0; k < members.size(); ++k) {
        const Arm& m = members[k];
        family.push_back(shape("arm_coupled_" + two_digits(static_cast<int>(k) + 1), 1024, m.turn > 0.0 ? 3 : 2,
                               "Tip position of two kinematically driven links; not a dynamics simulation or "
                               "anatomical model.",
                               centred_tip(m)));
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
