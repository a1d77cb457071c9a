// The motions that rest at the origin between events: bounce, step,
// surge, recoil and spring. Their spacing stretches the decays of every
// gesture but the kicks', and so sets how much of the loop is spent at
// rest.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "motion_rules.hpp"

namespace kinetrope::packgen::beat {

namespace {
namespace event_motions_local {

// A later, weaker copy of every event of `events`: shifted by `delay`,
// with its own decay, amplitude (ax, ay, az) scaled per axis by `scale`,
// plus `lift` times the event's size on y.
std::vector<Event> echoes(const std::vector<Event>& events, double delay, double decay, Offset3 scale,
                          double lift) {
    std::vector<Event> out;
    for (const Event& e : events) {
        const double size = std::max({std::fabs(e.amplitude.x), std::fabs(e.amplitude.y), std::fabs(e.amplitude.z)});
        out.push_back({e.onset + delay, decay,
                       {scale.x * e.amplitude.x, scale.y * e.amplitude.y + lift * size, scale.z * e.amplitude.z}});
    }
    return out;
}

bool sounds(const Groove& groove, Instrument instrument) {
    return std::any_of(groove.onsets.begin(), groove.onsets.end(),
                       [&](const Onset& onset) { return onset.instrument == instrument; });
}

}  // namespace event_motions_local
}  // namespace

// Kicks lift the point (y); snares and claps push it down a little and
// accent alternate sides (x); hats bob and percussion tilts in depth (z).
// A groove without a backbeat takes its side accents from its percussion
// (toms, claves, rims), or failing that from its hats, lighter.
Curve bounce(const Groove& groove, double spacing) {
    using namespace event_motions_local;
    const bool backbeat = sounds(groove, Instrument::snare) || sounds(groove, Instrument::clap);
    const bool percussion = sounds(groove, Instrument::percussion);
    Voices voices;
    voices[Instrument::kick] = Voice{{0.0, 0.55, 0.0}};
    voices[Instrument::snare] = Voice{{0.243, -0.28, 0.0}, 0, true};
    voices[Instrument::clap] = Voice{{0.243, -0.18, 0.0}, 0, false};
    const bool hats_lean = !backbeat && !percussion;
    voices[Instrument::hat] = Voice{{hats_lean ? 0.12 : 0.0, 0.07, 0.05}, hats_lean ? 0 : -1, true};
    voices[Instrument::percussion] = Voice{{backbeat ? 0.0 : 0.2, 0.04, -0.06}, backbeat ? -1 : 0, true};
    voices[Instrument::bass] = Voice{{0.0, 0.16, 0.02}, -1, true};
    return sum_events(voice_events(groove, voices, spacing), groove.period);
}

// Kicks step to alternate sides and down; snares and claps answer with a
// wider step, hats and percussion lift in depth, the bass sinks back in depth and lifts a little. In a
// groove without a backbeat the percussion (toms, claves) gives the answer.
Curve step(const Groove& groove, double spacing) {
    using namespace event_motions_local;
    const bool backbeat = sounds(groove, Instrument::snare) || sounds(groove, Instrument::clap);
    Voices voices;
    voices[Instrument::kick] = Voice{{0.42, -0.22, 0.0}, 0, false};
    voices[Instrument::snare] = Voice{{-0.62, -0.12, 0.06}, 1, true};
    voices[Instrument::clap] = Voice{{-0.5, -0.1, 0.04}, 1, true};
    voices[Instrument::hat] = Voice{{0.0, -0.04, 0.06}, -1, true};
    voices[Instrument::percussion] = Voice{{backbeat ? 0.0 : -0.45, 0.06, 0.1}, backbeat ? -1 : 1, true};
    voices[Instrument::bass] = Voice{{0.0, 0.08, -0.04}, -1, true};
    return sum_events(voice_events(groove, voices, spacing), groove.period);
}

// Kicks thrust forward through depth and dip, leaning to alternate sides
// a little; 16 pips later each kick's
// follow-through draws the point back. Snares and claps lift and
// pull back; hats and percussion add small alternating side detail.
Curve surge(const Groove& groove, double spacing) {
    using namespace event_motions_local;
    Voices kicks;
    kicks[Instrument::kick] = Voice{{0.06, -0.22, 0.6}, 1};
    const std::vector<Event> thrusts = voice_events(groove, kicks, 1.0);
    Voices others;
    others[Instrument::snare] = Voice{{0.0, 0.17, -0.2}, -1, true};
    others[Instrument::clap] = Voice{{0.0, 0.14, -0.16}, -1, true};
    others[Instrument::hat] = Voice{{0.1, -0.03, 0.02}, 0, true};
    others[Instrument::percussion] = Voice{{0.12, 0.02, 0.05}, 0, true};
    others[Instrument::bass] = Voice{{0.0, -0.1, 0.2}, -1, true};
    std::vector<Event> events = voice_events(groove, others, spacing);
    events.insert(events.end(), thrusts.begin(), thrusts.end());
    const std::vector<Event> follow = echoes(thrusts, 16.0, spacing * decay_of(Instrument::snare), {0.0, -0.3, -0.3}, 0.0);
    events.insert(events.end(), follow.begin(), follow.end());
    return sum_events(events, groove.period);
}

// Snares and claps push the point sideways, alternating; kicks counter
// down in depth, leaning a little to alternate sides; every hit's echo, 24 pips later, draws back toward the
// other side and lifts.
Curve recoil(const Groove& groove, double spacing) {
    using namespace event_motions_local;
    Voices voices;
    voices[Instrument::kick] = Voice{{0.1, 0.0, -0.24}, 2};
    voices[Instrument::snare] = Voice{{0.6, 0.0, 0.15}, 0, true};
    voices[Instrument::clap] = Voice{{0.5, 0.0, 0.12}, 0, true};
    voices[Instrument::percussion] = Voice{{0.15, 0.0, 0.05}, 1, true};
    voices[Instrument::bass] = Voice{{0.0, 0.0, -0.1}, -1, true};
    std::vector<Event> events = voice_events(groove, voices, spacing);
    const std::vector<Event> back =
        echoes(events, 24.0, spacing * decay_of(Instrument::kick), {-0.35, 0.0, -0.35}, 0.3);
    events.insert(events.end(), back.begin(), back.end());
    Voices hats;
    hats[Instrument::hat] = Voice{{0.0, 0.05, 0.0}, -1, true};
    const std::vector<Event> ticks = voice_events(groove, hats, spacing);
    events.insert(events.end(), ticks.begin(), ticks.end());
    return sum_events(events, groove.period);
}

// Every hit sets off a damped ring from rest: kicks in depth (swaying to
// alternate sides), snares and
// claps to alternate sides, hats and percussion up and down, the bass low
// and wide. A ring lasts 1.6 decays of its instrument, times the spacing.
Curve spring(const Groove& groove, double spacing) {
    Voices voices;
    voices[Instrument::kick] = Voice{{0.1, 0.2, 0.55}, 2};
    voices[Instrument::snare] = Voice{{0.55, 0.05, 0.0}, 0};
    voices[Instrument::clap] = Voice{{0.45, 0.05, 0.0}, 0};
    voices[Instrument::hat] = Voice{{0.0, 0.12, 0.0}, 1};
    voices[Instrument::percussion] = Voice{{0.06, 0.25, 0.0}, 1};
    voices[Instrument::bass] = Voice{{0.12, 0.0, -0.3}};
    constexpr double omega = 2.0 * std::numbers::pi / 24.0;
    return sum_ringing(voice_events(groove, voices, 1.0), groove.period, 1.6 * spacing, omega);
}

}  // namespace kinetrope::packgen::beat
