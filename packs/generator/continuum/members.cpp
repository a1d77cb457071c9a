#include "members.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "rules.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace members_local {

double magnitude(Offset3 p) noexcept { return std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}); }

// The rule read around the loop: any pip folds into [0, period).
Rule looped(Rule raw, int period) {
    return [raw = std::move(raw), period](double pip) {
        const double folded = std::fmod(pip, period);
        return raw(folded < 0.0 ? folded + period : folded);
    };
}

// Pip of the largest coordinate magnitude: a scan at 1/16 pip, refined by a
// ternary search over the neighbouring scan steps.
double peak_pip(const Rule& rule, int period) {
    constexpr int steps_per_pip = 16;
    constexpr double step = 1.0 / steps_per_pip;
    double best_pip = 0.0;
    double best = -1.0;
    for (int k = 0; k < period * steps_per_pip; ++k) {
        const double m = magnitude(rule(k * step));
        if (m > best) {
            best = m;
            best_pip = k * step;
        }
    }
    double low = best_pip - step;
    double high = best_pip + step;
    for (int iteration = 0; iteration < 100; ++iteration) {
        const double a = low + (high - low) / 3.0;
        const double b = high - (high - low) / 3.0;
        if (magnitude(rule(a)) < magnitude(rule(b))) {
            low = a;
        } else {
            high = b;
        }
    }
    return 0.5 * (low + high);
}

double largest_on_pips(const Rule& rule, int period) {
    double largest = 0.0;
    for (int i = 0; i < period; ++i) {
        largest = std::max(largest, magnitude(rule(i)));
    }
    return largest;
}

// The rule shifted in time so that its peak falls `offset` pips after a
// whole pip. A rule whose peak a whole pip already holds (a hold, a key)
// stays as it is when no offset is asked for.
Rule with_peak_phase(Rule raw, int period, double offset) {
    raw = looped(std::move(raw), period);
    const double peak = peak_pip(raw, period);
    if (offset == 0.0 && largest_on_pips(raw, period) >= magnitude(raw(peak))) {
        return raw;
    }
    const double shift = peak - (std::round(peak) + offset);
    return [raw = std::move(raw), shift](double pip) { return raw(pip + shift); };
}

}  // namespace members_local
}  // namespace

PatternDef shape(std::string name, int period, int dims, std::string description, Rule raw,
                 double peak_offset) {
    using namespace members_local;
    PatternDef def{std::move(name), std::move(description), period, dims,
                   with_peak_phase(std::move(raw), period, peak_offset)};
    def.scaling = PeakScaling::on_half_pips;
    def.peak = 0.82;
    return def;
}

PatternDef rhythm(std::string name, int period, std::string description, std::vector<Bump> bumps,
                  double level) {
    PatternDef def{std::move(name), std::move(description), period, 3, gestures(period, std::move(bumps))};
    def.scaling = PeakScaling::on_pips;
    def.peak = level;
    return def;
}

void fit_half_widths(std::vector<Bump>& bumps, double period, double fraction, double widest) {
    std::vector<double> onsets;
    for (Bump& b : bumps) {
        b.onset = std::fmod(b.onset, period);
        if (b.onset < 0.0) {
            b.onset += period;
        }
        onsets.push_back(b.onset);
    }
    std::sort(onsets.begin(), onsets.end());
    for (Bump& b : bumps) {
        const auto at = std::lower_bound(onsets.begin(), onsets.end(), b.onset);
        if (at == onsets.end() || *at != b.onset || (at + 1 != onsets.end() && at[1] == b.onset)) {
            throw std::logic_error("two bumps share the onset " + std::to_string(b.onset));
        }
        const double before = at == onsets.begin() ? onsets.back() - period : at[-1];
        const double after = at + 1 == onsets.end() ? onsets.front() + period : at[1];
        const double gap = onsets.size() == 1 ? period : std::min(b.onset - before, after - b.onset);
        b.half_width = std::min(widest, fraction * gap);
    }
}

double level_between(double first, double last, int index, int count) noexcept {
    return first + (last - first) * index / (count - 1);
}

}  // namespace kinetrope::packgen::continuum
