// kinetrope_expansion: 24 patterns of phrase-length shapes, closed paths and
// rhythms with rational onsets.
#include <array>
#include <cmath>
#include <string>
#include <utility>

#include "packs.hpp"
#include "rules.hpp"

namespace kinetrope::packgen {

namespace {
namespace expansion_pack_local {

PatternDef pattern(std::string name, int period, int dims, std::string description, Rule rule) {
    return {std::move(name), std::move(description), period, dims, std::move(rule)};
}

KeyLane lane(std::vector<Key> keys, Easing easing = &smootherstep) { return {std::move(keys), easing}; }

std::vector<Bump> sweep_ratchets() {
    std::vector<Bump> bumps;
    for (int j = 0; j < 3; ++j) {
        bumps.push_back({256.0 + 32.0 * j, 12.0, {0.0, -0.65 * (1.0 - 0.22 * j), 0.0}});
    }
    return bumps;
}

Rule sweep_ratchet() {
    Rule sweep = key_lanes(512, lane({{0, -0.75}, {256, 0.75}, {384, 0.75}}));
    Rule ratchets = gestures(512, sweep_ratchets());
    return [sweep, ratchets](double i) {
        return Offset3{sweep(i).x, ratchets(i).y, 0.0};
    };
}

// Seeded drift: fixed key values (drawn once from a seeded generator) on S3
// lanes, eight keys on x and five on y.
Rule seeded_drift() {
    constexpr std::array<double, 8> x_values = {0.073681248811,  0.602833500982,  0.380098359734,
                                                0.787097347851,  -0.710648647689, 0.466493500809,
                                                -0.496392090816, -0.57411383677};
    constexpr std::array<double, 5> y_values = {0.071011606311, 0.035962627311, 0.396668543632,
                                                -0.609786446646, -0.406132276906};
    KeyLane x{{}, &smoothstep};
    for (std::size_t j = 0; j < x_values.size(); ++j) {
        x.keys.push_back({128.0 * static_cast<double>(j), x_values[j]});
    }
    KeyLane y{{}, &smoothstep};
    for (std::size_t j = 0; j < y_values.size(); ++j) {
        y.keys.push_back({1024.0 * static_cast<double>(j) / 5.0, y_values[j]});
    }
    return key_lanes(1024, std::move(x), std::move(y));
}

// h lateral hits against eight vertical hits over two bars.
PatternDef cross_rhythm(const std::string& word, int h) {
    std::vector<Bump> bumps;
    for (int j = 0; j < h; ++j) {
        bumps.push_back({512.0 * j / h, 12.0, {0.72 * side(j), 0.0, 0.0}});
    }
    for (int j = 0; j < 8; ++j) {
        bumps.push_back({64.0 * j, 12.0, {0.0, 0.68 * side(j), 0.0}});
    }
    return pattern("rhythm_" + word + "_four", 512, 2,
                   std::to_string(h / 2) +
                       " lateral hits against four vertical hits per four beats; two bars preserve alternating "
                       "directions.",
                   gestures(512, std::move(bumps)));
}

// Euclidean k-in-16 bar, played twice with sides alternating over both.
PatternDef euclid_two_bars(int k) {
    std::vector<Bump> bumps;
    int g = 0;
    for (int bar = 0; bar < 2; ++bar) {
        for (int m = 0; m < k; ++m, ++g) {
            const int onset = 16 * euclid_step(m, 16, k);
            const bool accent = onset % 64 == 0;
            const double s = side(g);
            const Offset3 a = accent ? Offset3{0.76 * s, -0.3, 0.0} : Offset3{0.5472 * s, -0.216, 0.0};
            bumps.push_back({256.0 * bar + onset, 12.0, a});
        }
    }
    return pattern("rhythm_euclid_" + std::to_string(k) + "_16", 512, 2,
                   std::to_string(k) +
                       " evenly distributed onsets on a sixteen-step grid, repeated with alternating sides over "
                       "eight beats.",
                   gestures(512, std::move(bumps)));
}

std::vector<Bump> swung_answer() {
    std::vector<Bump> bumps;
    for (int half = 0; half < 2; ++half) {
        const double s = side(half);
        for (const double beat : {0.0, 64.0}) {
            const double onset = 128.0 * half + beat;
            bumps.push_back({onset, 8.0, {0.78 * s, -0.3, 0.0}});
            bumps.push_back({onset + 128.0 / 3.0, 8.0, {0.468 * s, -0.18, 0.0}});
        }
    }
    return bumps;
}

// Three accented groups per bar; the second bar answers with the sides
// reversed.
struct Grouping {
    double bar;
    std::array<double, 3> onsets;
    std::array<double, 3> factors;
    double lateral;
    double vertical;
};

std::vector<Bump> grouped_accents(const Grouping& g) {
    std::vector<Bump> bumps;
    for (int bar = 0; bar < 2; ++bar) {
        for (int k = 0; k < 3; ++k) {
            const double s = side(k) * side(bar);
            const double f = g.factors[static_cast<std::size_t>(k)];
            bumps.push_back({g.bar * bar + g.onsets[static_cast<std::size_t>(k)], 16.0,
                             {s * g.lateral * f, -g.vertical * f, 0.0}});
        }
    }
    return bumps;
}

std::vector<Bump> three_four_five() {
    std::vector<Bump> bumps;
    for (int j = 0; j < 3; ++j) {
        bumps.push_back({512.0 * j / 3.0, 24.0, {0.7, 0.0, 0.0}});
    }
    for (int j = 0; j < 4; ++j) {
        bumps.push_back({128.0 * j, 24.0, {0.0, -0.7, 0.0}});
    }
    for (int j = 0; j < 5; ++j) {
        bumps.push_back({512.0 * j / 5.0, 24.0, {0.0, 0.0, 0.55}});
    }
    return bumps;
}

}  // namespace expansion_pack_local
}  // namespace

Pack expansion_pack() {
    using namespace expansion_pack_local;
    Pack pack{"expansion", {}};
    auto& p = pack.patterns;
    p.push_back(pattern("lfo_twin_swell", 512, 2,
                        "Two broad swells of unequal depth, with a gentle lateral answer. Eight beats.",
                        key_lanes(512, lane({{0, 0}, {128, 0.2}, {256, 0}, {384, -0.32}}),
                                  lane({{0, 0}, {128, -0.85}, {256, 0}, {384, -0.45}}))));
    p.push_back(pattern("lfo_pulse_hold", 256, 1,
                        "A smooth outward pulse, sustained plateau, smaller opposite recoil, and rest.",
                        key_lanes(256, lane({{0, 0}, {32, 0.8}, {128, 0.8}, {160, -0.35}, {192, 0}}))));
    p.push_back(pattern("lfo_sweep_ratchet", 512, 2,
                        "A slow lateral sweep followed by three decaying vertical ratchets; no reset jump.",
                        sweep_ratchet()));
    p.push_back(pattern("lfo_triplet_wobble", 512, 2,
                        "Three rounded oscillations per two beats, breathing in depth over an eight-beat phrase.",
                        of_angle(512, [](double t) {
                            return Offset3{0.85 * std::sin(12.0 * t) * (0.65 - 0.3 * std::cos(t)),
                                           0.22 * std::sin(t), 0.0};
                        })));
    p.push_back(pattern("lfo_breathing_orbit", 512, 2,
                        "A closed ellipse expands and contracts twice during its eight-beat revolution.",
                        of_angle(512, [](double t) {
                            return Offset3{0.67 * std::cos(t) + 0.11 * std::cos(3.0 * t),
                                           0.39 * std::sin(t) + 0.09 * std::sin(3.0 * t), 0.0};
                        })));
    p.push_back(pattern(
        "lfo_seeded_drift", 1024, 2,
        "Two independently seeded smooth random lanes; irregular-looking but exactly periodic and seekable.",
        seeded_drift()));
    p.push_back(pattern(
        "lfo_pendulum_dwell", 512, 2,
        "Rounded saturation slows the pendulum near either side; a shallow arc connects the turns.",
        of_angle(512, [](double t) {
            return Offset3{0.78 * std::tanh(2.8 * std::sin(t)) / std::tanh(2.8), 0.22 * std::cos(2.0 * t), 0.0};
        })));
    p.push_back(pattern(
        "lfo_reverse_swell", 512, 2,
        "A long anticipatory rise, quick softened return, and two diminishing aftershocks.",
        key_lanes(512, lane({{0, 0}, {192, -0.24}, {224, 0.24}, {384, 0}}),
                  lane({{0, 0}, {192, -0.82}, {224, 0}, {256, -0.38}, {288, 0}, {320, -0.18}, {352, 0}}))));
    p.push_back(pattern(
        "path_lissajous_2_3", 512, 2,
        "Two horizontal cycles cross three vertical cycles in a closed eight-beat Lissajous path.",
        of_angle(512, [](double t) { return Offset3{0.78 * std::sin(2.0 * t), 0.68 * std::sin(3.0 * t), 0.0}; })));
    p.push_back(pattern("path_rose_4", 512, 2,
                        "A signed radial oscillation draws four petals, passing through the centre between them.",
                        of_angle(512, [](double t) {
                            const double r = 0.82 * std::cos(2.0 * t);
                            return Offset3{r * std::cos(t), r * std::sin(t), 0.0};
                        })));
    p.push_back(pattern(
        "path_rose_5", 512, 2,
        "Five petals in one complete eight-beat traversal; the odd-petal parameter runs through pi, not two pi.",
        [](double i) {
            const double t = pi * i / 512.0;  // half turn: an odd rose closes after pi
            const double r = 0.82 * std::cos(5.0 * t);
            return Offset3{r * std::cos(t), r * std::sin(t), 0.0};
        }));
    p.push_back(pattern("path_bowed_diamond", 512, 2,
                        "An astroid-shaped loop with inward-curved edges and naturally slow corners.",
                        of_angle(512, [](double t) {
                            const double c = std::cos(t);
                            const double s = std::sin(t);
                            return Offset3{0.8 * c * c * c, 0.8 * s * s * s, 0.0};
                        })));
    p.push_back(pattern("path_orbit_dwell", 512, 2,
                        "An ellipse whose phase slows to zero speed at the loop boundary and accelerates through "
                        "the opposite side.",
                        of_angle(512, [](double t) {
                            const double phase = t - std::sin(t);
                            return Offset3{0.8 * std::cos(phase), 0.6 * std::sin(phase), 0.0};
                        })));
    p.push_back(pattern(
        "path_torus_knot", 1024, 3,
        "Two turns around the axis and three through the tube. XYZ is retained; the demo projects depth.",
        of_angle(1024, [](double t) {
            const double radius = 0.54 + 0.22 * std::cos(3.0 * t);
            return Offset3{radius * std::cos(2.0 * t), radius * std::sin(2.0 * t), 0.36 * std::sin(3.0 * t)};
        })));
    p.push_back(pattern("path_woven_3d", 1024, 3,
                        "Independent two-, three-, and five-cycle XYZ oscillations close after sixteen beats.",
                        of_angle(1024, [](double t) {
                            return Offset3{0.72 * std::sin(2.0 * t), 0.64 * std::sin(3.0 * t),
                                           0.48 * std::sin(5.0 * t)};
                        })));
    p.push_back(pattern("path_crank_slider", 256, 2,
                        "Horizontal slider-crank travel with rod length three and crank radius one; vertical "
                        "motion follows the crank tip.",
                        of_angle(256, [](double t) {
                            const double s = std::sin(t);
                            return Offset3{0.78 * (std::cos(t) + std::sqrt(9.0 - s * s) - 3.0), 0.3 * s, 0.0};
                        })));
    p.push_back(cross_rhythm("five", 10));
    p.push_back(cross_rhythm("seven", 14));
    p.push_back(euclid_two_bars(7));
    p.push_back(euclid_two_bars(5));
    p.push_back(pattern("rhythm_swung_answer", 256, 2,
                        "A two-to-one swung call on the right, answered on the left; four beats and eight "
                        "peak-aligned gestures.",
                        gestures(256, swung_answer())));
    p.push_back(pattern(
        "rhythm_group_332", 512, 2,
        "Groups of three, three, and two eighth notes. Six alternating accents make an eight-beat loop.",
        gestures(512, grouped_accents({256.0, {0.0, 96.0, 192.0}, {1.0, 0.72, 0.86}, 0.76, 0.38}))));
    p.push_back(pattern(
        "rhythm_group_223", 448, 2,
        "Two 7/8 bars grouped as 2+2+3 eighth notes: a seven-quarter-note loop, not forced into four beats.",
        gestures(448, grouped_accents({224.0, {0.0, 64.0, 128.0}, {1.0, 0.7, 0.85}, 0.74, 0.4}))));
    p.push_back(pattern(
        "rhythm_three_four_five", 512, 3,
        "Three X, four Y, and five Z gestures share an eight-beat phrase, with exact rational peak times.",
        gestures(512, three_four_five())));
    return pack;
}

}  // namespace kinetrope::packgen
