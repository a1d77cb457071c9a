// env_*: eight-beat vertical envelopes, one smootherstep key lane on y that
// settles back to rest at the loop's end; x stays still. Unlike the atlas
// shapes, an envelope is not brought to a common peak: its keys are the
// stored heights, so a plateau at -0.7 stays at -0.7 and only the members
// whose keys say -0.82 reach it.
#include <array>
#include <string_view>
#include <vector>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace env_family_local {

struct Envelope {
    std::string_view word;
    std::string_view label;
    std::vector<Key> keys;
};

const std::array<Envelope, 16>& envelopes() {
    static const std::array<Envelope, 16> all = {{
        {"lift_hold_drop", "Lift, hold, settle", {{0, 0}, {64, -0.8}, {192, -0.8}, {256, 0.2}, {320, 0}}},
        {"inhale_exhale", "Long inhale, short exhale", {{0, 0}, {320, -0.8}, {384, 0.1}, {448, 0}}},
        {"triple_swell", "Three unequal swells", {{0, 0}, {64, -0.8}, {128, 0}, {192, -0.5}, {256, 0}, {384, -0.3}}},
        {"rising_echo", "Rising echo ladder",
         {{0, 0}, {64, -0.25}, {128, 0}, {192, -0.5}, {256, 0}, {320, -0.8}, {384, 0}}},
        {"falling_echo", "Falling echo ladder",
         {{0, 0}, {64, -0.8}, {128, 0}, {192, -0.45}, {256, 0}, {320, -0.15}}},
        {"anticipation", "Backward anticipation",
         {{0, 0}, {64, 0.35}, {128, 0}, {192, -0.82}, {256, -0.82}, {384, 0.12}}},
        {"plateau_scoop", "Plateau then scoop", {{0, 0}, {64, -0.7}, {256, -0.7}, {320, -0.3}, {384, 0.4}}},
        {"hesitant", "Hesitant reach",
         {{0, 0}, {64, -0.3}, {128, -0.2}, {192, -0.5}, {256, -0.4}, {320, -0.8}}},
        {"double_hold", "Two-height hold", {{0, 0}, {64, -0.4}, {192, -0.4}, {256, -0.8}, {384, -0.8}}},
        {"swell_recoil", "Deep swell and recoil", {{0, 0}, {192, -0.8}, {256, 0.5}, {320, -0.2}, {384, 0.08}}},
        {"late_release", "Late release", {{0, 0}, {256, -0.8}, {384, -0.8}, {448, 0.25}}},
        {"split_attack", "Split attack", {{0, 0}, {32, -0.6}, {64, -0.2}, {128, -0.8}, {320, -0.2}}},
        {"suspended", "Suspended answer",
         {{0, 0}, {64, -0.75}, {128, 0}, {256, 0}, {384, -0.55}, {448, -0.55}}},
        {"valley_peaks", "Valley between peaks", {{0, 0}, {64, -0.7}, {192, -0.3}, {256, -0.82}, {384, 0.2}}},
        {"four_breaths", "Four breathing accents",
         {{0, 0}, {64, -0.7}, {128, 0}, {192, -0.5}, {256, 0}, {320, -0.8}, {384, 0}, {448, -0.3}}},
        {"return_stair", "Stepped soft recovery",
         {{0, 0}, {128, -0.8}, {192, -0.8}, {256, -0.5}, {320, -0.5}, {384, -0.2}, {448, -0.2}}},
    }};
    return all;
}

}  // namespace env_family_local
}  // namespace

Family env_family() {
    using namespace env_family_local;
    Family family;
    for (const Envelope& e : envelopes()) {
        family.push_back(as_stated("env_" + std::string(e.word),
                                   std::string(e.label) + " over an eight-beat phrase; smooth, resting joins.", 512, 2,
                                   key_lanes(512, std::nullopt, KeyLane{e.keys})));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
