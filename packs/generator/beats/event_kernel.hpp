// The event kernel every beat motion is built from: an onset pulls the
// point toward its amplitude over a short attack and lets go over the
// instrument's decay, summed around the loop.
#pragma once

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "kinetrope/time_base.hpp"
#include "score.hpp"

namespace kinetrope::packgen {

// A tenth of a beat of attack before every onset.
inline constexpr double attack_pips = 6.4;

// How long each instrument's gesture takes to let go, in pips.
double decay_of(Instrument instrument) noexcept;

// k(d): 1/2(1 + cos(pi d / attack)) for -attack < d <= 0, 1/2(1 + cos(pi d /
// decay)) for 0 < d < decay, else 0; d is the pip minus the onset.
double kernel(double d, double decay) noexcept;

// Integral of the kernel from minus infinity to d.
double kernel_integral(double d, double decay) noexcept;

// One gesture: the kernel of `decay` at `onset`, scaled by `amplitude`.
struct Event {
    double onset;
    double decay;
    Offset3 amplitude;
};

using Curve = std::vector<Offset3>;

// Calls `at(pip, d)` for every integer pip of [0, period) that a kernel of
// `decay` at `onset` (or its copies a loop earlier and later) reaches, d
// being the pip minus that copy's onset.
template <class At>
void for_reached_pips(double onset, double decay, int period, At&& at) {
    const double p = static_cast<double>(period);
    for (const double copy : {onset - p, onset, onset + p}) {
        const int first = std::max(0, static_cast<int>(std::floor(copy - attack_pips)) + 1);
        const int last = std::min(period - 1, static_cast<int>(std::ceil(copy + decay)) - 1);
        for (int i = first; i <= last; ++i) {
            at(i, static_cast<double>(i) - copy);
        }
    }
}

// Sum of every event at the integer pips 0 .. period-1; events act across
// the loop's wrap. Pips that no event reaches stay exactly 0.
Curve sum_events(std::span<const Event> events, int period);

// A scalar envelope: the same kernel sum on one value per pip.
struct Pulse {
    double onset;
    double decay;
    double weight;
};

std::vector<double> envelope(std::span<const Pulse> pulses, int period);

// Phase that runs `turns` whole turns (2 pi each) over the loop with speed
// 1 + boost * (pulse envelope delayed by `delay` pips): slow between pulses,
// fast just after them. Exact integrals, so equal beats take equal shares
// of the turn. Value at pips 0 .. period-1, starting at 0.
std::vector<double> warped_phase(std::span<const Pulse> pulses, int period, int turns, double boost,
                                 double delay);

}  // namespace kinetrope::packgen
