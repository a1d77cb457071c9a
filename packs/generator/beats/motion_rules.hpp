// Inside the beat motions: the pieces the rules share, and one function per
// rule. Each rule returns its raw curve over the groove's loop.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "event_kernel.hpp"
#include "score.hpp"

namespace kinetrope::packgen::beat {

inline constexpr int pips_per_bar = 256;

// How an instrument speaks in an event motion: its gesture at level 1,
// whether the gesture alternates sides on x (turn by turn among the
// instruments of the same side group), and whether the spacing knob
// lengthens its decay.
struct Voice {
    Offset3 amplitude;
    int side_group = -1;
    bool stretches = false;
};

// The voice of each instrument; an absent voice is silent.
class Voices {
public:
    std::optional<Voice>& operator[](Instrument instrument) noexcept { return by_instrument_[index(instrument)]; }
    const std::optional<Voice>& operator[](Instrument instrument) const noexcept {
        return by_instrument_[index(instrument)];
    }

private:
    static std::size_t index(Instrument instrument) noexcept { return static_cast<std::size_t>(instrument); }
    std::array<std::optional<Voice>, 6> by_instrument_;
};

// Weight of each instrument, in Instrument order.
using Weights = std::array<double, 6>;

// The events of every sounding onset: amplitude scaled by level and side,
// the instrument's decay (times `stretch` for voices that stretch). The
// first gesture of each side group goes to +x.
std::vector<Event> voice_events(const Groove& groove, const Voices& voices, double stretch);

// A pulse per onset of a weighted instrument: weight times level.
std::vector<Pulse> weighted_pulses(const Groove& groove, const Weights& weights);

// Ringing excursions: each event's kernel (decay times `ring`) times a sine
// of angular speed `omega` that starts with the attack, so the point leaves
// rest smoothly, rings and settles back exactly.
Curve sum_ringing(std::span<const Event> events, int period, double ring, double omega);

int bars_of(const Groove& groove) noexcept;
double phrase_angle(int pip, int period) noexcept;  // 2 pi pip / period
double bar_angle(int pip) noexcept;                 // 2 pi pip / 256

Curve bounce(const Groove& groove, double spacing);
Curve step(const Groove& groove, double spacing);
Curve orbit(const Groove& groove);
Curve glide(const Groove& groove);
Curve surge(const Groove& groove, double spacing);
Curve recoil(const Groove& groove, double spacing);
Curve flutter(const Groove& groove);
Curve dive(const Groove& groove);
Curve pendulum(const Groove& groove);
Curve figure8(const Groove& groove);
Curve box(const Groove& groove);
Curve corkscrew(const Groove& groove);
Curve spiral(const Groove& groove);
Curve slalom(const Groove& groove);
Curve spring(const Groove& groove, double spacing);
Curve ricochet(const Groove& groove);

}  // namespace kinetrope::packgen::beat
