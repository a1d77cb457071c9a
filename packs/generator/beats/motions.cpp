#include "motions.hpp"

#include "motion_rules.hpp"

namespace kinetrope::packgen {

namespace {
namespace motions_local {

struct MotionText {
    std::string_view name;
    std::string_view club;
    std::string_view dancefloor;
};

// In Motion order.
constexpr std::array<MotionText, 16> texts{{
    {"bounce", "Kick-led bounce.", "Kick-led bounce. Original Club 05 kick-led downstroke and side accents."},
    {"step", "Snare side-step.", "Snare side-step. Original Club 05 alternating lateral kick and snare gestures."},
    {"orbit", "Percussion orbit.", "Percussion orbit. Original Club 05 event-weighted orbital speed, radius and depth."},
    {"glide", "Bass-and-phrase glide.",
     "Bass / phrase glide. Original Club 05 continuous phrase path with bass excursions."},
    {"surge", "", "Forward surge. Kick thrust through depth with contrasting snare lift and hat detail."},
    {"recoil", "", "Backbeat recoil. Snare pushes sideways; kick counters downward; delayed echo draws back."},
    {"flutter", "", "Upper-percussion flutter. Hat and shaker tremors over a wider kick/snare arc."},
    {"dive", "", "Bass-led dive. Bass drives a broad depth plunge with alternating drum counterweight."},
    {"pendulum", "", "Weighted pendulum. A hanging arc whose amplitude and angular speed respond to the score."},
    {"figure8", "", "Woven figure eight. Two crossing lobes expand at kicks with a lifted snare crossing."},
    {"box", "", "Rounded corner tour. Rhythm-weighted phase travels around four softened corners."},
    {"corkscrew", "", "Closed corkscrew. Two orbital turns ride a depth wave with percussion-driven radius."},
    {"spiral", "", "Breathing spiral. A contracting and expanding double-turn path with a continuous seam."},
    {"slalom", "", "Drum slalom. S-shaped travel with kick lift, snare cutbacks and depth counter-motion."},
    {"spring", "", "Causal spring. An event starts at rest, then drives a damped ringing excursion."},
    {"ricochet", "",
     "Directional ricochet. Successive onsets send smooth excursions toward a cyclic series of targets."},
}};

const MotionText& text_of(Motion motion) noexcept { return texts[static_cast<std::size_t>(motion)]; }

Curve rule_curve(Motion motion, const Groove& groove, double spacing) {
    switch (motion) {
        case Motion::bounce:
            return beat::bounce(groove, spacing);
        case Motion::step:
            return beat::step(groove, spacing);
        case Motion::orbit:
            return beat::orbit(groove);
        case Motion::glide:
            return beat::glide(groove);
        case Motion::surge:
            return beat::surge(groove, spacing);
        case Motion::recoil:
            return beat::recoil(groove, spacing);
        case Motion::flutter:
            return beat::flutter(groove);
        case Motion::dive:
            return beat::dive(groove);
        case Motion::pendulum:
            return beat::pendulum(groove);
        case Motion::figure8:
            return beat::figure8(groove);
        case Motion::box:
            return beat::box(groove);
        case Motion::corkscrew:
            return beat::corkscrew(groove);
        case Motion::spiral:
            return beat::spiral(groove);
        case Motion::slalom:
            return beat::slalom(groove);
        case Motion::spring:
            return beat::spring(groove, spacing);
        case Motion::ricochet:
            return beat::ricochet(groove);
    }
    return {};
}

}  // namespace motions_local
}  // namespace

std::string_view motion_name(Motion motion) noexcept { return motions_local::text_of(motion).name; }
std::string_view club_text(Motion motion) noexcept { return motions_local::text_of(motion).club; }
std::string_view dancefloor_text(Motion motion) noexcept { return motions_local::text_of(motion).dancefloor; }

int motion_dimensions(Motion motion, const Groove& groove) noexcept {
    const auto index = static_cast<std::size_t>(motion);
    return index < groove.dims.size() ? groove.dims[index] : 3;
}

std::optional<SpacingKnob> spacing_knob(Motion motion) noexcept {
    switch (motion) {
        case Motion::bounce:
        case Motion::step:
        case Motion::surge:
        case Motion::recoil:
        case Motion::spring:
            return SpacingKnob{0.3, 1.0, 6.0};
        default:
            return std::nullopt;
    }
}

Curve raw_motion(Motion motion, const Groove& groove, int dimensions, double spacing) {
    using namespace motions_local;
    Curve curve = rule_curve(motion, groove, spacing);
    for (Offset3& p : curve) {
        if (dimensions < 3) {
            p.z = 0.0;
        }
        if (dimensions < 2) {
            p.y = 0.0;
        }
    }
    return curve;
}

}  // namespace kinetrope::packgen
