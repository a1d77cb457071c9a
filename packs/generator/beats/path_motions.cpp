// The motions that never stop: closed paths whose phase, size and depth
// answer the score. Phases come from warped_phase, so a loop closes on a
// whole number of turns.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "motion_rules.hpp"
#include "shapes.hpp"

namespace kinetrope::packgen::beat {

namespace {
namespace path_motions_local {

// kick, snare, clap, hat, percussion, bass
constexpr Weights drums{1.0, 0.6, 0.6, 0.2, 0.5, 0.4};

double at(const std::vector<double>& values, int pip) { return values[static_cast<std::size_t>(pip)]; }

Offset3& at(Curve& curve, int pip) { return curve[static_cast<std::size_t>(pip)]; }

double sign_of(double v) noexcept { return v < 0.0 ? -1.0 : 1.0; }

// How strongly the instruments weighted by `weights` sound at each pip.
std::vector<double> pulse_envelope(const Groove& groove, const Weights& weights) {
    return envelope(weighted_pulses(groove, weights), groove.period);
}

}  // namespace path_motions_local
}  // namespace

// A circuit of one turn a bar around the origin: the phase hurries just
// after each hit, the radius swells with it, percussion and snares tilt
// the depth. Four equal kicks a bar give quarter turns exactly on the kicks
// and a radius from 0.43 to 0.58. The phase crawls between hits and the
// burst after a hit carries most of the turn (for bare kicks about 0.43
// degree a pip between them and 3.9 at the burst's height, 6.4 pips after
// the kick), so the point moves fastest just after a kick, faster than the
// radius swells in the kick's attack.
Curve orbit(const Groove& groove) {
    using namespace path_motions_local;
    constexpr Weights speed{1.0, 0.6, 0.6, 0.2, 0.8, 0.5};
    constexpr Weights swell{1.0, 0.5, 0.5, 0.15, 0.8, 0.4};
    constexpr double burst = 8.0;
    const std::vector<Pulse> hurry = weighted_pulses(groove, speed);
    const std::vector<double> phase = warped_phase(hurry, groove.period, bars_of(groove), burst, attack_pips);
    const std::vector<double> radius = pulse_envelope(groove, swell);
    Voices depth;
    depth[Instrument::snare] = Voice{{0.0, 0.0, -0.14}};
    depth[Instrument::clap] = Voice{{0.0, 0.0, -0.12}};
    depth[Instrument::hat] = Voice{{0.0, 0.0, 0.04}};
    depth[Instrument::percussion] = Voice{{0.0, 0.0, 0.15}};
    depth[Instrument::bass] = Voice{{0.0, 0.0, -0.06}};
    Curve curve = sum_events(voice_events(groove, depth, 1.0), groove.period);
    for (int i = 0; i < groove.period; ++i) {
        const double r = 0.43 + 0.15 * at(radius, i);
        at(curve, i).x = r * std::cos(at(phase, i));
        at(curve, i).y = r * std::sin(at(phase, i));
    }
    return curve;
}

// One slow loop over the whole phrase, tilted in depth, with the bass (and
// the kicks, more gently) pulling it down and forward and to alternate
// sides. The phrase sets the pace: the loop hurries after its snares,
// claps, percussion and hats (kicks a little); snares and claps lift it,
// toms and other percussion dip it to alternate sides and hats sway it,
// so two grooves on the same kicks glide apart.
Curve glide(const Groove& groove) {
    using namespace path_motions_local;
    constexpr Weights phrase{0.2, 0.8, 0.8, 0.5, 0.8, 0.4};
    const std::vector<double> loop = warped_phase(weighted_pulses(groove, phrase), groove.period, 1, 1.0, 0.0);
    Voices low;
    low[Instrument::kick] = Voice{{0.0, -0.14, 0.04}};
    low[Instrument::snare] = Voice{{0.0, 0.12, -0.05}};
    low[Instrument::clap] = Voice{{0.0, 0.1, -0.04}};
    low[Instrument::hat] = Voice{{0.03, 0.0, 0.0}, 1};
    low[Instrument::percussion] = Voice{{0.06, -0.05, 0.05}, 2};
    low[Instrument::bass] = Voice{{0.24, -0.22, 0.12}, 0};
    Curve curve = sum_events(voice_events(groove, low, 1.0), groove.period);
    for (int i = 0; i < groove.period; ++i) {
        const double theta = at(loop, i);
        Offset3& p = at(curve, i);
        p = {p.x + 0.38 * std::sin(theta), p.y - 0.06 + 0.22 * std::cos(2.0 * theta), p.z + 0.3 * std::cos(theta)};
    }
    return curve;
}

// A wide arc swung from side to side by the kicks and snares (one swing
// each way a bar), with hats and percussion shivering on top of it.
Curve flutter(const Groove& groove) {
    using namespace path_motions_local;
    constexpr Weights swing{1.0, 0.8, 0.8, 0.0, 0.0, 0.3};
    const std::vector<double> arc = warped_phase(weighted_pulses(groove, swing), groove.period, bars_of(groove), 1.5, 0.0);
    Voices shiver;
    shiver[Instrument::hat] = Voice{{0.03, 0.1, 0.1}, 0};
    shiver[Instrument::percussion] = Voice{{0.04, 0.12, 0.12}, 0};
    Curve curve = sum_ringing(voice_events(groove, shiver, 1.0), groove.period, 1.5, 2.0 * pi / 8.0);
    for (int i = 0; i < groove.period; ++i) {
        const double s = std::sin(at(arc, i));
        Offset3& p = at(curve, i);
        p = {p.x + 0.42 * s, p.y + 0.06 + 0.2 * s * s, p.z + 0.12 * std::cos(at(arc, i))};
    }
    return curve;
}

// The bass plunges the point forward in depth (kicks, where there is no
// bass to lead, more gently); drums lean it to alternate sides as a
// counterweight over a slow drifting circle.
Curve dive(const Groove& groove) {
    using namespace path_motions_local;
    Voices plunge;
    plunge[Instrument::kick] = Voice{{0.22, -0.1, 0.25}, 0};
    plunge[Instrument::snare] = Voice{{0.25, 0.08, -0.22}, 0};
    plunge[Instrument::clap] = Voice{{0.2, 0.06, -0.18}, 0};
    plunge[Instrument::hat] = Voice{{0.0, 0.02, 0.02}};
    plunge[Instrument::percussion] = Voice{{0.05, 0.04, 0.0}, 1};
    plunge[Instrument::bass] = Voice{{0.0, -0.06, 0.6}};
    Curve curve = sum_events(voice_events(groove, plunge, 1.0), groove.period);
    for (int i = 0; i < groove.period; ++i) {
        const double theta = phrase_angle(i, groove.period);
        Offset3& p = at(curve, i);
        p = {p.x + 0.08 * std::sin(theta), p.y + 0.06 * std::cos(theta), p.z - 0.12 * std::cos(theta)};
    }
    return curve;
}

// A bob hanging on a rod: a swing each way every two beats, quicker just
// after the hits and wider while they ring; it rises at the ends of the
// swing and leans forward with hats and percussion.
Curve pendulum(const Groove& groove) {
    using namespace path_motions_local;
    const std::vector<Pulse> hits = weighted_pulses(groove, drums);
    const std::vector<double> phase = warped_phase(hits, groove.period, groove.period / 128, 1.0, 3.0);
    constexpr Weights weight{1.0, 0.8, 0.8, 0.0, 0.3, 0.5};
    const std::vector<double> width = pulse_envelope(groove, weight);
    Voices lean;
    lean[Instrument::kick] = Voice{{0.0, 0.0, -0.08}};
    lean[Instrument::hat] = Voice{{0.0, 0.0, 0.06}};
    lean[Instrument::percussion] = Voice{{0.0, 0.0, 0.1}};
    Curve curve = sum_events(voice_events(groove, lean, 1.0), groove.period);
    for (int i = 0; i < groove.period; ++i) {
        const double angle = 0.7 * (1.0 + 0.6 * at(width, i)) * std::sin(at(phase, i));
        Offset3& p = at(curve, i);
        p = {0.6 * std::sin(angle), -0.12 + 0.3 * (1.0 - std::cos(angle)), p.z};
    }
    return curve;
}

// A figure eight a bar, at the tip of a lobe on beats one and three and at
// the crossing on two and four: both lobes swell at the kicks, and the
// crossing rides high in depth where a snare lands on it.
Curve figure8(const Groove& groove) {
    using namespace path_motions_local;
    const std::vector<double> phase =
        warped_phase(weighted_pulses(groove, drums), groove.period, bars_of(groove), 0.8, 4.0);
    constexpr Weights kicks{1.0, 0.0, 0.0, 0.0, 0.0, 0.3};
    const std::vector<double> swell = pulse_envelope(groove, kicks);
    constexpr Weights snares{0.0, 1.0, 0.8, 0.0, 0.0, 0.0};
    const std::vector<double> lift = pulse_envelope(groove, snares);
    Curve curve(static_cast<std::size_t>(groove.period));
    for (int i = 0; i < groove.period; ++i) {
        const double phi = at(phase, i);
        const double size = 0.5 + 0.15 * at(swell, i);
        at(curve, i) = {size * std::cos(phi), 0.68 * size * std::sin(phi) * std::cos(phi),
                        0.16 * std::sin(phi) + 0.04 * at(lift, i)};
    }
    return curve;
}

// A square with rounded corners, one lap a bar, a corner on each beat;
// the lap hurries after hits, and hats and percussion lift it.
Curve box(const Groove& groove) {
    using namespace path_motions_local;
    const std::vector<double> phase = warped_phase(weighted_pulses(groove, drums), groove.period, bars_of(groove), 1.0, 3.0);
    Voices lift;
    lift[Instrument::kick] = Voice{{0.0, 0.0, -0.05}};
    lift[Instrument::hat] = Voice{{0.0, 0.0, 0.06}};
    lift[Instrument::percussion] = Voice{{0.0, 0.0, 0.12}};
    Curve curve = sum_events(voice_events(groove, lift, 1.0), groove.period);
    const double corner = std::tanh(2.5);
    for (int i = 0; i < groove.period; ++i) {
        const double phi = at(phase, i) + pi / 4.0;
        Offset3& p = at(curve, i);
        p = {0.5 * std::tanh(2.5 * std::cos(phi)) / corner, 0.45 * std::tanh(2.5 * std::sin(phi)) / corner, p.z};
    }
    return curve;
}

// Two turns a bar riding one depth wave a bar; percussion widens the turns,
// kicks and bass deepen the wave.
Curve corkscrew(const Groove& groove) {
    using namespace path_motions_local;
    constexpr Weights turn{0.6, 0.5, 0.5, 0.3, 1.0, 0.3};
    const std::vector<double> phase =
        warped_phase(weighted_pulses(groove, turn), groove.period, 2 * bars_of(groove), 0.8, 3.0);
    constexpr Weights widen{0.3, 0.4, 0.4, 0.3, 1.0, 0.2};
    const std::vector<double> radius = pulse_envelope(groove, widen);
    constexpr Weights low{1.0, 0.0, 0.0, 0.0, 0.0, 1.0};
    const std::vector<double> deep = pulse_envelope(groove, low);
    Curve curve(static_cast<std::size_t>(groove.period));
    for (int i = 0; i < groove.period; ++i) {
        const double r = 0.42 + 0.16 * at(radius, i);
        const double wave = (0.34 + 0.12 * at(deep, i)) * std::sin(bar_angle(i));
        at(curve, i) = {r * std::cos(at(phase, i)), r * std::sin(at(phase, i)), wave};
    }
    return curve;
}

// Two turns a bar that draw in to a small ring at mid-bar and open out
// again toward the bar line, widest on the left where the bar starts,
// breathing in depth; hits hurry and widen it.
Curve spiral(const Groove& groove) {
    using namespace path_motions_local;
    const std::vector<Pulse> hits = weighted_pulses(groove, drums);
    const std::vector<double> phase = warped_phase(hits, groove.period, 2 * bars_of(groove), 0.8, 3.0);
    const std::vector<double> push = envelope(hits, groove.period);
    Curve curve(static_cast<std::size_t>(groove.period));
    for (int i = 0; i < groove.period; ++i) {
        const double breath = 0.5 + 0.5 * std::cos(bar_angle(i));
        const double r = 0.2 + 0.4 * breath + 0.06 * at(push, i);
        at(curve, i) = {-r * std::cos(at(phase, i)), -r * std::sin(at(phase, i)), 0.3 * std::sin(bar_angle(i))};
    }
    return curve;
}

// Side to side once a bar like skis through gates, depth swinging against
// it; kicks lift, snares cut back against the current direction.
Curve slalom(const Groove& groove) {
    using namespace path_motions_local;
    const std::vector<double> phase = warped_phase(weighted_pulses(groove, drums), groove.period, bars_of(groove), 0.6, 3.0);
    std::vector<Event> events;
    for (const Onset& onset : groove.onsets) {
        const double l = onset.level;
        const int pip = std::clamp(static_cast<int>(std::lround(onset.pip)), 0, groove.period - 1);
        const double heading = sign_of(std::cos(at(phase, pip)));
        const double decay = decay_of(onset.instrument);
        switch (onset.instrument) {
            case Instrument::kick:
                events.push_back({onset.pip, decay, {0.0, 0.22 * l, 0.0}});
                break;
            case Instrument::snare:
            case Instrument::clap:
                events.push_back({onset.pip, decay, {-0.22 * heading * l, -0.24 * l, 0.0}});
                break;
            case Instrument::percussion:
                events.push_back({onset.pip, decay, {0.0, 0.0, 0.1 * l}});
                break;
            default:
                break;
        }
    }
    Curve curve = sum_events(events, groove.period);
    for (int i = 0; i < groove.period; ++i) {
        const double phi = at(phase, i);
        Offset3& p = at(curve, i);
        p = {p.x + 0.5 * std::sin(phi), p.y - 0.1 * std::cos(2.0 * phi), p.z - 0.32 * std::sin(phi + 0.5)};
    }
    return curve;
}

namespace {
namespace path_motions_local {

// Main hits (every onset but quiet hats) within two pips of each other
// land as one hit: the loudest onset's instrument and level, and how many
// sounded together.
struct Hit {
    Onset onset;
    int together;
};

std::vector<Hit> main_hits(const Groove& groove) {
    std::vector<Hit> hits;
    for (const Onset& onset : groove.onsets) {
        if (onset.instrument == Instrument::hat && onset.level < 0.7) {
            continue;
        }
        if (!hits.empty() && onset.pip - hits.back().onset.pip < 2.0) {
            Hit& hit = hits.back();
            ++hit.together;
            if (onset.level > hit.onset.level) {
                hit.onset = {hit.onset.pip, onset.instrument, onset.level};
            }
            continue;
        }
        hits.push_back({onset, 1});
    }
    return hits;
}

}  // namespace path_motions_local
}  // namespace

// Each main hit in turn throws the point toward a target round a five-
// pointed star: a lone hit to the next point, a hit of several instruments
// together that many points on, so the score's layering sets the order in
// which the star is visited. Every throw lasts until the next one lands,
// so the point never settles.
Curve ricochet(const Groove& groove) {
    using namespace path_motions_local;
    const std::vector<Hit> hits = main_hits(groove);
    std::vector<Event> events;
    const double period = static_cast<double>(groove.period);
    int target = 0;
    for (std::size_t j = 0; j < hits.size(); ++j) {
        const Onset& hit = hits[j].onset;
        const double next = j + 1 < hits.size() ? hits[j + 1].onset.pip : hits.front().onset.pip + period;
        const double decay = std::max(decay_of(hit.instrument), next - hit.pip + 2.0 * attack_pips);
        const double angle = -pi / 2.0 + static_cast<double>(target % 5) * 4.0 * pi / 5.0;
        const double l = hit.level;
        events.push_back({hit.pip, decay,
                          {0.8 * l * std::cos(angle), 0.8 * l * std::sin(angle), 0.45 * l * std::sin(2.0 * angle)}});
        target += hits[j].together;
    }
    return sum_events(events, groove.period);
}

}  // namespace kinetrope::packgen::beat
