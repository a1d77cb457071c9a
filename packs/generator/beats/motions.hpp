// The sixteen beat motions: each is one rule that turns a groove's score
// into a raw curve, one Offset3 per pip. Calibration (calibration.hpp)
// brings the raw curves of a pack to their final sizes.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "event_kernel.hpp"
#include "score.hpp"

namespace kinetrope::packgen {

enum class Motion {
    bounce,
    step,
    orbit,
    glide,
    surge,
    recoil,
    flutter,
    dive,
    pendulum,
    figure8,
    box,
    corkscrew,
    spiral,
    slalom,
    spring,
    ricochet,
};

inline constexpr std::array<Motion, 4> club_motions{Motion::bounce, Motion::step, Motion::orbit, Motion::glide};
inline constexpr std::array<Motion, 12> dancefloor_motions{
    Motion::surge,   Motion::recoil, Motion::flutter,   Motion::dive,   Motion::pendulum, Motion::figure8,
    Motion::box,     Motion::corkscrew, Motion::spiral, Motion::slalom, Motion::spring,   Motion::ricochet};

std::string_view motion_name(Motion motion) noexcept;
std::string_view club_text(Motion motion) noexcept;
std::string_view dancefloor_text(Motion motion) noexcept;

// Axes the motion moves for a groove: the groove's own count for the four
// club motions, all three otherwise.
int motion_dimensions(Motion motion, const Groove& groove) noexcept;

// A motion that comes to rest at the origin between events has a spacing
// knob: how much longer than drawn its gestures take to let go (kicks
// always keep their decay). Larger values keep it moving longer after each
// event, so fewer pips rest. The rule is drawn at `design`; calibration may
// move a groove's spacing within [low, high].
struct SpacingKnob {
    double low;
    double design;
    double high;
};

std::optional<SpacingKnob> spacing_knob(Motion motion) noexcept;

// The motion's raw curve for a groove, axes beyond `dimensions` exactly 0.
// `spacing` is ignored by motions without a knob.
Curve raw_motion(Motion motion, const Groove& groove, int dimensions, double spacing);

}  // namespace kinetrope::packgen
