#include "event_kernel.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "shapes.hpp"

namespace kinetrope::packgen {

double decay_of(Instrument instrument) noexcept {
    switch (instrument) {
        case Instrument::kick:
            return 29.44;  // 0.46 beat
        case Instrument::snare:
        case Instrument::clap:
            return 23.04;  // 0.36 beat
        case Instrument::hat:
            return 10.24;  // 0.16 beat
        case Instrument::percussion:
            return 16.64;  // 0.26 beat
        case Instrument::bass:
            return 38.4;  // 0.6 beat
    }
    return 0.0;
}

double kernel(double d, double decay) noexcept {
    if (d > -attack_pips && d <= 0.0) {
        return 0.5 * (1.0 + std::cos(pi * d / attack_pips));
    }
    if (d > 0.0 && d < decay) {
        return 0.5 * (1.0 + std::cos(pi * d / decay));
    }
    return 0.0;
}

double kernel_integral(double d, double decay) noexcept {
    if (d <= -attack_pips) {
        return 0.0;
    }
    if (d <= 0.0) {
        return 0.5 * (d + attack_pips) + attack_pips / (2.0 * pi) * std::sin(pi * d / attack_pips);
    }
    if (d < decay) {
        return 0.5 * (attack_pips + d) + decay / (2.0 * pi) * std::sin(pi * d / decay);
    }
    return 0.5 * (attack_pips + decay);
}

Curve sum_events(std::span<const Event> events, int period) {
    Curve curve(static_cast<std::size_t>(period), Offset3{0.0, 0.0, 0.0});
    for (const Event& e : events) {
        for_reached_pips(e.onset, e.decay, period, [&](int i, double d) {
            const double k = kernel(d, e.decay);
            Offset3& p = curve[static_cast<std::size_t>(i)];
            p = {p.x + k * e.amplitude.x, p.y + k * e.amplitude.y, p.z + k * e.amplitude.z};
        });
    }
    return curve;
}

std::vector<double> envelope(std::span<const Pulse> pulses, int period) {
    std::vector<double> values(static_cast<std::size_t>(period), 0.0);
    for (const Pulse& pulse : pulses) {
        for_reached_pips(pulse.onset, pulse.decay, period, [&](int i, double d) {
            values[static_cast<std::size_t>(i)] += pulse.weight * kernel(d, pulse.decay);
        });
    }
    return values;
}

namespace {
namespace event_kernel_local {

// Integral over [0, i] of the delayed pulse envelope, around the loop, for
// i = 0 .. period: each pulse adds its running integral inside its reach
// and its whole area from the end of its reach on.
std::vector<double> running_integral(std::span<const Pulse> pulses, int period, double delay) {
    const std::size_t n = static_cast<std::size_t>(period) + 1;
    std::vector<double> inside(n, 0.0);
    std::vector<double> completed(n + 1, 0.0);  // added from index on
    const double p = static_cast<double>(period);
    for (const Pulse& pulse : pulses) {
        const double area = 0.5 * (attack_pips + pulse.decay);
        for (const double copy : {pulse.onset + delay - p, pulse.onset + delay, pulse.onset + delay + p}) {
            const double before = kernel_integral(-copy, pulse.decay);
            const int first = std::max(0, static_cast<int>(std::floor(copy - attack_pips)) + 1);
            const int end = static_cast<int>(std::ceil(copy + pulse.decay));
            completed[0] -= pulse.weight * before;
            if (end > period) {
                for (int i = first; i <= period; ++i) {
                    inside[static_cast<std::size_t>(i)] += pulse.weight * kernel_integral(i - copy, pulse.decay);
                }
                continue;
            }
            for (int i = first; i < std::max(first, end); ++i) {
                inside[static_cast<std::size_t>(i)] += pulse.weight * kernel_integral(i - copy, pulse.decay);
            }
            completed[static_cast<std::size_t>(std::max(0, end))] += pulse.weight * area;
        }
    }
    std::vector<double> total(n);
    double running = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        running += completed[i];
        total[i] = running + inside[i];
    }
    return total;
}

}  // namespace event_kernel_local
}  // namespace

std::vector<double> warped_phase(std::span<const Pulse> pulses, int period, int turns, double boost,
                                 double delay) {
    using namespace event_kernel_local;
    const std::vector<double> integral = running_integral(pulses, period, delay);
    const double whole = static_cast<double>(period) + boost * integral.back();
    std::vector<double> phase(static_cast<std::size_t>(period));
    for (int i = 0; i < period; ++i) {
        const double travelled = static_cast<double>(i) + boost * integral[static_cast<std::size_t>(i)];
        phase[static_cast<std::size_t>(i)] = 2.0 * pi * turns * (travelled / whole);
    }
    return phase;
}

}  // namespace kinetrope::packgen
