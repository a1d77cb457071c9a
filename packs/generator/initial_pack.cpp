// kinetrope_initial: 28 patterns of low-frequency shapes, rhythms, sticking
// studies, easings, authored waveforms and funk grooves.
#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>

#include "grooves.hpp"
#include "packs.hpp"
#include "rules.hpp"
#include "waveforms.hpp"

namespace kinetrope::packgen {

namespace {
namespace initial_pack_local {

PatternDef pattern(std::string name, int period, int dims, std::string description, Rule rule) {
    return {std::move(name), std::move(description), period, dims, std::move(rule)};
}

KeyLane lane(std::vector<Key> keys, Easing easing = &smootherstep) { return {std::move(keys), easing}; }

// Ratchet: four bumps sixteen pips apart, each 18 % smaller than the last.
std::vector<Bump> ratchet_bumps() {
    std::vector<Bump> bumps;
    for (int j = 0; j < 4; ++j) {
        const double decay = 1.0 - 0.18 * j;
        bumps.push_back({16.0 * j, 8.0, {0.8 * decay, -0.5 * decay, 0.0}});
    }
    return bumps;
}

// Skewed triangle of the morph: a fast rise over 23 % of the cycle, then a
// slow fall.
double skewed_triangle(double u) {
    return u < 0.23 ? -0.8 + 1.6 * u / 0.23 : 0.8 - 1.6 * (u - 0.23) / 0.77;
}

Offset3 morph(double i) {
    const double theta = loop_angle(i, 512);
    const double m = 0.5 - 0.5 * std::cos(theta);
    const double u = std::fmod(i, 128.0) / 128.0;
    const double x = (1.0 - m) * 0.8 * std::sin(2.0 * pi * i / 128.0) + m * skewed_triangle(u);
    return {x, 0.2 * std::sin(theta), 0.0};
}

Offset3 flower(double i) {
    const double theta = loop_angle(i, 512);
    return {0.56 * std::cos(theta) - 0.28 * std::cos(2.0 * theta),
            0.56 * std::sin(theta) + 0.28 * std::sin(2.0 * theta), 0.0};
}

// Euclidean k-in-n rhythm over four beats: onset m on grid step
// ceil(m n / k), alternating sides.
PatternDef euclid_four_beats(int k, int n) {
    std::vector<Bump> bumps;
    for (int m = 0; m < k; ++m) {
        const double onset = euclid_step(m, n, k) * 256.0 / n;
        bumps.push_back({onset, 12.0, {m % 2 == 0 ? 0.8 : -0.8, -0.3, 0.0}});
    }
    const std::string kn = std::to_string(k) + "_" + std::to_string(n);
    return pattern("rhythm_euclid_" + kn, 256, 2,
                   std::to_string(k) + " evenly distributed onsets on a " + std::to_string(n) +
                       "-step grid. Alternating lateral gestures.",
                   gestures(256, std::move(bumps)));
}

std::vector<Bump> three_against_two() {
    std::vector<Bump> bumps;
    for (int j = 0; j < 3; ++j) {
        bumps.push_back({256.0 * j / 3.0, 24.0, {0.78, 0.0, 0.0}});
    }
    bumps.push_back({0.0, 24.0, {0.0, 0.78, 0.0}});
    bumps.push_back({128.0, 24.0, {0.0, 0.78, 0.0}});
    return bumps;
}

// Sticking studies: twelve triplet-spaced notes, R to +x and L to -x.
struct StickingStudy {
    std::string_view name;
    std::string_view sticking;  // two groups of six, space separated
    bool accent_last_of_six;    // accents on notes 0 and 5 of each six
};

constexpr std::array<StickingStudy, 3> sticking_studies = {{
    {"rudiment_double_paradiddle", "RLRLRR LRLRLL", false},
    {"rudiment_paradiddle_diddle", "RLRRLL LRLLRR", false},
    {"rudiment_six_stroke", "RLLRRL LRRLLR", true},
}};

PatternDef sticking_study(const StickingStudy& study) {
    std::string hands(study.sticking);
    std::erase(hands, ' ');
    std::vector<Bump> bumps;
    for (int j = 0; j < 12; ++j) {
        const double side = hands[static_cast<std::size_t>(j)] == 'R' ? 1.0 : -1.0;
        const bool accent = j % 6 == 0 || (study.accent_last_of_six && j % 6 == 5);
        const Offset3 a = accent ? Offset3{0.82 * side, -0.42, 0.0} : Offset3{0.492 * side, -0.252, 0.0};
        bumps.push_back({64.0 * j / 3.0, 28.0 / 3.0, a});
    }
    return pattern(std::string(study.name), 256, 2,
                   "Visual sticking study " + std::string(study.sticking) +
                       "; equal triplet spacing over four beats. This is a movement interpretation, not a "
                       "complete drum-performance notation.",
                   gestures(256, std::move(bumps)));
}

// Flam accents: six notes, 0 and 3 accented, each accent led by an
// opposite-hand grace gesture eight pips earlier.
std::vector<Bump> flam_accent_bumps() {
    std::vector<Bump> bumps;
    for (int j = 0; j < 6; ++j) {
        const double side = j % 2 == 0 ? 1.0 : -1.0;
        const double onset = 128.0 * j / 3.0;
        if (j % 3 == 0) {
            const Offset3 a{0.82 * side, -0.42, 0.0};
            bumps.push_back({onset, 16.0, a});
            bumps.push_back({onset - 8.0, 8.0, {-0.32 * a.x, 0.32 * a.y, 0.0}});
        } else {
            bumps.push_back({onset, 16.0, {0.492 * side, -0.252, 0.0}});
        }
    }
    return bumps;
}

// An easing out to +0.65 over two beats, and a smoothstep back to -0.65.
Rule eased_round_trip(Easing outward) {
    return [outward](double i) {
        const double x = i < 128.0 ? -0.65 + 1.3 * outward(i / 128.0) : 0.65 - 1.3 * smoothstep((i - 128.0) / 128.0);
        return Offset3{x, 0.0, 0.0};
    };
}

constexpr std::string_view d3_easing_description =
    "An attributed D3 easing curve, assembled into a closed outward-and-return loop.";

double elastic_raw(double i) {
    const double s = std::sin(pi * i / 256.0);
    return s * s * std::exp(-2.0 * i / 256.0) * std::sin(6.0 * pi * i / 256.0);
}

Rule elastic() {
    const double peak_value = elastic_raw(106.0);  // largest |g| over the pips
    return [peak_value](double i) { return Offset3{0.8 * elastic_raw(i) / peak_value, 0.0, 0.0}; };
}

struct Waveform {
    std::string_view name;
    std::string_view source;  // the waveform file the shape is modelled on
    std::span<const int> (*samples)() noexcept;
    double signed_peak;
};

const std::array<Waveform, 4> waveforms = {{
    {"akwf_round_saw", "AKWF_R_asym_saw_05_256.h", &waveform_round_saw, -0.85},
    {"akwf_quick_return", "AKWF_R_asym_saw_15_256.h", &waveform_quick_return, 0.85},
    {"akwf_multi_lobe", "AKWF_0001_256.h", &waveform_multi_lobe, 0.85},
    {"akwf_plateau", "AKWF_0010_256.h", &waveform_plateau, 0.85},
}};

PatternDef waveform_loop(const Waveform& w) {
    return pattern(std::string(w.name), 256, 1,
                   std::string(w.source) + ": an actual CC0 waveform slowed to a four-beat position loop.",
                   sampled_x(zero_mean_with_peak(w.samples(), w.signed_peak)));
}

struct GrooveVariant {
    std::string_view name;
    std::span<const Hit> (*excerpt)() noexcept;
    bool on_grid;
    AxisRange x;
    AxisRange y;
    std::string_view description;
};

const std::array<GrooveVariant, 4> groove_variants = {{
    {"groove_a_played", &excerpt_a, false, {-0.2204, 0.6745}, {-0.3059, 0.4859},
     "Two-bar funk excerpt A (4\u201312 source beats), performed microtiming."},
    {"groove_a_grid", &excerpt_a, true, {-0.2205, 0.6488}, {-0.3066, 0.4680},
     "Two-bar funk excerpt A (4\u201312 source beats), same hits quantised to sixteenths."},
    {"groove_b_played", &excerpt_b, false, {-0.3065, 1.0}, {-0.4287, 0.4191},
     "Two-bar funk excerpt B (36\u201344 source beats), performed microtiming."},
    {"groove_b_grid", &excerpt_b, true, {-0.2831, 1.0}, {-0.4121, 0.3771},
     "Two-bar funk excerpt B (36\u201344 source beats), same hits quantised to sixteenths."},
}};

PatternDef groove(const GrooveVariant& g) {
    return pattern(std::string(g.name), 512, 2, std::string(g.description),
                   gestures(512, spanning_ranges(hit_gestures(g.excerpt(), g.on_grid), 512, g.x, g.y)));
}

}  // namespace initial_pack_local
}  // namespace

Pack initial_pack() {
    using namespace initial_pack_local;
    Pack pack{"initial", {}};
    auto& p = pack.patterns;
    p.push_back(pattern("lfo_breathe", 256, 1,
                        "A four-beat, single-axis sine. The quiet reference for judging busier shapes.",
                        [](double i) { return Offset3{0.8 * std::sin(loop_angle(i, 256)), 0.0, 0.0}; }));
    p.push_back(pattern("lfo_surge", 256, 1,
                        "A long rounded sweep and short recovery; an independently authored smooth-reset shape.",
                        key_lanes(256, lane({{0, -0.8}, {192, 0.8}}))));
    p.push_back(pattern("lfo_soft_gate", 256, 1,
                        "Short smooth transitions separated by long stationary dwells. No square-wave teleport.",
                        key_lanes(256, lane({{0, -0.8}, {32, 0.8}, {128, 0.8}, {160, -0.8}}))));
    p.push_back(pattern("lfo_double_pump", 256, 2, "Two unequal pumps and a breathing space within four beats.",
                        key_lanes(256, std::nullopt,
                                  lane({{0, 0}, {32, -0.85}, {64, 0}, {96, -0.55}, {128, 0}}))));
    p.push_back(pattern("lfo_ratchet", 256, 2, "A four-hit decaying burst, then a rest. Every event is peak-aligned.",
                        gestures(256, ratchet_bumps())));
    p.push_back(pattern(
        "lfo_glide_stair", 256, 1, "Five rounded steps traverse the field, then a smooth return.",
        key_lanes(256, lane({{0, -0.8}, {32, -0.8}, {64, -0.4}, {96, 0}, {128, 0.4}, {160, 0.8}, {192, 0.8}}))));
    p.push_back(pattern(
        "lfo_morph", 512, 2,
        "An eight-beat blend between a sine and skewed triangle; movement changes within the phrase.", &morph));
    p.push_back(pattern("lfo_flower", 512, 2,
                        "Related rotations form an original three-lobed XY loop over eight beats.", &flower));
    p.push_back(euclid_four_beats(3, 8));
    p.push_back(euclid_four_beats(5, 12));
    p.push_back(pattern("rhythm_three_two", 256, 2,
                        "Three horizontal gestures interlock with two vertical gestures in one four-beat cycle.",
                        gestures(256, three_against_two())));
    p.push_back(pattern("rhythm_half_time", 256, 2,
                        "A strong downbeat, snare-like accent on beat three, and smaller offbeat shuffles.",
                        gestures(256, {{0, 16, {0, 0.85, 0}},
                                       {96, 16, {0, 0.4675, 0}},
                                       {128, 16, {0.85, -0.25, 0}},
                                       {224, 12, {-0.4, -0.1, 0}}})));
    for (const StickingStudy& study : sticking_studies) {
        p.push_back(sticking_study(study));
    }
    p.push_back(pattern(
        "rudiment_flam_accent", 256, 2,
        "Opposite-hand grace gestures lead accented groups of three; deliberately expanded for visible motion.",
        gestures(256, flam_accent_bumps())));
    p.push_back(pattern("ease_rebound", 256, 1, std::string(d3_easing_description), eased_round_trip(&bounce_out)));
    p.push_back(pattern("ease_anticipate", 256, 1, std::string(d3_easing_description), eased_round_trip(&back_in)));
    p.push_back(pattern("ease_overshoot", 256, 1, std::string(d3_easing_description), eased_round_trip(&back_out)));
    p.push_back(pattern("ease_elastic", 256, 1,
                        "Original windowed, decaying oscillation; not a copied D3 curve. Peak scaled to .8.",
                        elastic()));
    for (const Waveform& w : waveforms) {
        p.push_back(waveform_loop(w));
    }
    for (const GrooveVariant& g : groove_variants) {
        p.push_back(groove(g));
    }
    return pack;
}

}  // namespace kinetrope::packgen
