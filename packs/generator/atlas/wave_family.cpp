// wave_*: one-axis control waves over eight beats, each a shaped cycle of
// the loop angle brought to a peak of exactly 0.82. The folds, the rounded
// square, the bottle, the shelf and the teeth are odd functions of sin(t)
// or of a half-turn-symmetric warp of t, so their second half mirrors the
// first (odd harmonics only); the soft rectifier repeats every half turn.
#include <array>
#include <cmath>
#include <string_view>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace wave_family_local {

using WaveShape = double (*)(double theta);

double pinched(double t) { return std::sin(t) - (1.0 / 3.0) * std::sin(3.0 * t); }

// A pause on the way up: the second harmonic slows the rise half-way.
double shouldered(double t) { return std::sin(t) - 0.25 * std::sin(2.0 * t) + 0.12 * std::sin(3.0 * t); }

// Sine folding back on itself past the crest: gain beyond pi/2 folds once,
// beyond 3 pi/2 twice.
double folded(double t) { return std::sin(2.4 * std::sin(t)); }
double double_fold(double t) { return std::sin(5.6 * std::sin(t)); }

double rounded_square(double t) { return std::tanh(3.0 * std::sin(t)); }

// |sin t| with its valleys rounded; rests at 0 at both valleys.
double soft_rectifier(double t) {
    const double s = std::sin(t);
    return std::sqrt(s * s + 0.01) - 0.1;
}

// Phase t - a sin t: a slow rise and a quick fall.
double skew_warp(double t) { return std::sin(t - 0.6 * std::sin(t)); }

// A slow rise to the crest, a quick drop, then a long shallow bowl back up:
// the square of the sine flattens the trough into a scoop.
double scoop_warp(double t) {
    const double s = std::sin(t - 0.5 * std::sin(t));
    return s + 0.4 * s * s - 0.2;
}

// Flat shelves at half height on every flank, scooped approaches to the crests.
double shelf_wave(double t) {
    const double s = std::sin(t);
    return s + 0.95 * std::sin(2.0 * pi * s) / (2.0 * pi);
}

double notched(double t) { return std::sin(t) - 0.36 * std::sin(3.0 * t) + 0.12 * std::cos(5.0 * t); }

// A broad body at about two thirds of the crest and a narrow neck above it.
double bottle(double t) {
    const double s = std::sin(t);
    return 0.6 * std::tanh(4.0 * s) / std::tanh(4.0) + 0.4 * std::pow(s, 9);
}

double reed(double t) { return std::sin(t) * (0.85 + 0.4 * std::cos(7.0 * t)); }

// Two crests per half, the first higher than the second.
double unequal_peaks(double t) { return std::sin(t) + 0.45 * std::sin(3.0 * t) + 0.2 * std::sin(2.0 * t); }

double ripple_return(double t) { return std::sin(t) + 0.09 * std::sin(5.0 * t) * (1.0 + std::cos(t)); }

// Three rounded, slightly leaning teeth in each half, under a sine envelope.
double soft_teeth(double t) {
    const double s = std::sin(t);
    const double tooth = std::sin(3.0 * t + 0.35 * std::sin(6.0 * t));
    return std::copysign(std::sqrt(std::fabs(s)), s) * tooth * tooth;
}

// A single fold of a sine whose phase runs fast near the zero crossings.
double warped_fold(double t) { return std::sin(2.8 * std::sin(t + 0.35 * std::sin(2.0 * t))); }

struct Wave {
    std::string_view word;
    std::string_view label;
    WaveShape shape;
};

constexpr std::array<Wave, 16> waves = {{
    {"pinched", "Pinched sine", &pinched},
    {"shouldered", "Shouldered sine", &shouldered},
    {"folded", "Folded sine", &folded},
    {"double_fold", "Double-fold wave", &double_fold},
    {"rounded_square", "Rounded square", &rounded_square},
    {"soft_rectifier", "Soft rectified swell", &soft_rectifier},
    {"skew_warp", "Phase-skew sweep", &skew_warp},
    {"scoop_warp", "Scooped return", &scoop_warp},
    {"shelf_wave", "Shelf and scoop", &shelf_wave},
    {"notched", "Notched crest", &notched},
    {"bottle", "Bottle-neck swell", &bottle},
    {"reed", "Reed flutter", &reed},
    {"unequal_peaks", "Unequal double crest", &unequal_peaks},
    {"ripple_return", "Rippled recovery", &ripple_return},
    {"soft_teeth", "Soft triple teeth", &soft_teeth},
    {"warped_fold", "Warped wave fold", &warped_fold},
}};

}  // namespace wave_family_local
}  // namespace

Family wave_family() {
    using namespace wave_family_local;
    Family family;
    for (const Wave& w : waves) {
        const WaveShape shape = w.shape;
        family.push_back(peak_82("wave_" + std::string(w.word),
                                 std::string(w.label) + "; a continuous shaped control wave, mapped to horizontal "
                                                        "displacement.",
                                 512, 1, of_angle(512, [shape](double t) { return Offset3{shape(t), 0.0, 0.0}; })));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
