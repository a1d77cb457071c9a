#include "motion_rules.hpp"

#include <cmath>
#include <numbers>

namespace kinetrope::packgen::beat {

namespace {
namespace motion_rules_local {

std::size_t slot(Instrument instrument) noexcept { return static_cast<std::size_t>(instrument); }

}  // namespace motion_rules_local
}  // namespace

std::vector<Event> voice_events(const Groove& groove, const Voices& voices, double stretch) {
    std::array<int, 6> turns{};
    std::vector<Event> events;
    for (const Onset& onset : groove.onsets) {
        const std::optional<Voice>& voice = voices[onset.instrument];
        if (!voice) {
            continue;
        }
        double side = 1.0;
        if (voice->side_group >= 0) {
            int& turn = turns[static_cast<std::size_t>(voice->side_group)];
            side = turn % 2 == 0 ? 1.0 : -1.0;
            ++turn;
        }
        const Offset3 a = voice->amplitude;
        const double decay = decay_of(onset.instrument) * (voice->stretches ? stretch : 1.0);
        events.push_back({onset.pip, decay, {side * onset.level * a.x, onset.level * a.y, onset.level * a.z}});
    }
    return events;
}

std::vector<Pulse> weighted_pulses(const Groove& groove, const Weights& weights) {
    using namespace motion_rules_local;
    std::vector<Pulse> pulses;
    for (const Onset& onset : groove.onsets) {
        const double weight = weights[slot(onset.instrument)];
        if (weight != 0.0) {
            pulses.push_back({onset.pip, decay_of(onset.instrument), weight * onset.level});
        }
    }
    return pulses;
}

Curve sum_ringing(std::span<const Event> events, int period, double ring, double omega) {
    Curve curve(static_cast<std::size_t>(period), Offset3{0.0, 0.0, 0.0});
    for (const Event& e : events) {
        const double decay = e.decay * ring;
        for_reached_pips(e.onset, decay, period, [&](int i, double d) {
            const double k = kernel(d, decay) * std::sin(omega * (d + attack_pips));
            Offset3& p = curve[static_cast<std::size_t>(i)];
            p = {p.x + k * e.amplitude.x, p.y + k * e.amplitude.y, p.z + k * e.amplitude.z};
        });
    }
    return curve;
}

int bars_of(const Groove& groove) noexcept { return groove.period / pips_per_bar; }

double phrase_angle(int pip, int period) noexcept {
    return 2.0 * std::numbers::pi * static_cast<double>(pip) / static_cast<double>(period);
}

double bar_angle(int pip) noexcept { return phrase_angle(pip, pips_per_bar); }

}  // namespace kinetrope::packgen::beat
