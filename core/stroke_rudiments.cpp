// Drum rudiments rendered as motion: each stroke is a sine-squared pulse that
// swings x toward its hand's side and dips y; overlapping strokes add.
#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "kinetrope/rudiments.hpp"

namespace kinetrope {
namespace {

constexpr double pi = 3.141592653589793;

// Every stroke lowers y by this share of its current envelope.
constexpr double vertical_coupling = 0.72;

struct StrokeEvent {
    int onset_pip;     // start within the loop
    int hand;          // +1 right, -1 left
    double amplitude;  // peak strength in (0, 1]
    int duration_pips; // pulse length
};

constexpr int R = +1;
constexpr int L = -1;

Offset3 stroke_envelope(int pip, int period, std::span<const StrokeEvent> events) noexcept {
    double lateral = 0.0;
    double vertical = 0.0;
    const int looped = wrap_pip(pip, period);
    for (const StrokeEvent& e : events) {
        // Folding first keeps the subtraction from overflowing at any pip.
        const int local = wrap_pip(looped - e.onset_pip, period);
        if (local < e.duration_pips) {
            const double s = std::sin(static_cast<double>(local) / static_cast<double>(e.duration_pips) * pi);
            const double envelope = (e.amplitude * s) * s;
            vertical = vertical - vertical_coupling * envelope;
            lateral = envelope * e.hand + lateral;
        }
    }
    return {std::clamp(lateral, -1.0, 1.0), std::clamp(vertical, -1.0, 1.0), 0.0};
}

constexpr std::array<StrokeEvent, 8> single_stroke_events{{
    {0, R, 0.92, 8}, {8, L, 0.92, 8}, {16, R, 0.92, 8}, {24, L, 0.92, 8},
    {32, R, 0.92, 8}, {40, L, 0.92, 8}, {48, R, 0.92, 8}, {56, L, 0.92, 8},
}};

constexpr std::array<StrokeEvent, 8> double_stroke_events{{
    {0, R, 0.88, 8}, {8, R, 0.72, 8}, {16, L, 0.88, 8}, {24, L, 0.72, 8},
    {32, R, 0.88, 8}, {40, R, 0.72, 8}, {48, L, 0.88, 8}, {56, L, 0.72, 8},
}};

constexpr std::array<StrokeEvent, 8> multiple_bounce_events{{
    {0, R, 0.92, 6}, {6, R, 0.68, 6}, {12, R, 0.48, 6}, {18, R, 0.32, 6},
    {32, L, 0.92, 6}, {38, L, 0.68, 6}, {44, L, 0.48, 6}, {50, L, 0.32, 6},
}};

constexpr std::array<StrokeEvent, 16> paradiddle_events{{
    {0, R, 1.0, 8}, {8, L, 0.72, 8}, {16, R, 0.72, 8}, {24, R, 0.72, 8},
    {32, L, 1.0, 8}, {40, R, 0.72, 8}, {48, L, 0.72, 8}, {56, L, 0.72, 8},
    {64, R, 1.0, 8}, {72, L, 0.72, 8}, {80, R, 0.72, 8}, {88, R, 0.72, 8},
    {96, L, 1.0, 8}, {104, R, 0.72, 8}, {112, L, 0.72, 8}, {120, L, 0.72, 8},
}};

constexpr std::array<StrokeEvent, 4> flam_events{{
    {0, L, 0.34, 10}, {5, R, 0.9, 14}, {32, R, 0.34, 10}, {37, L, 0.9, 14},
}};

constexpr std::array<StrokeEvent, 6> drag_events{{
    {0, L, 0.28, 8}, {5, L, 0.32, 8}, {10, R, 0.88, 14},
    {32, R, 0.28, 8}, {37, R, 0.32, 8}, {42, L, 0.88, 14},
}};

constexpr std::array<StrokeEvent, 10> five_stroke_events{{
    {0, R, 0.72, 9}, {8, R, 0.62, 9}, {16, L, 0.72, 9}, {24, L, 0.62, 9}, {36, R, 1.0, 14},
    {64, L, 0.72, 9}, {72, L, 0.62, 9}, {80, R, 0.72, 9}, {88, R, 0.62, 9}, {100, L, 1.0, 14},
}};

}  // namespace

Offset3 single_stroke_roll(int pip) noexcept { return stroke_envelope(pip, 64, single_stroke_events); }
Offset3 double_stroke_roll(int pip) noexcept { return stroke_envelope(pip, 64, double_stroke_events); }
Offset3 multiple_bounce_roll(int pip) noexcept { return stroke_envelope(pip, 64, multiple_bounce_events); }
Offset3 single_paradiddle(int pip) noexcept { return stroke_envelope(pip, 128, paradiddle_events); }
Offset3 flam(int pip) noexcept { return stroke_envelope(pip, 64, flam_events); }
Offset3 drag(int pip) noexcept { return stroke_envelope(pip, 64, drag_events); }
Offset3 five_stroke_roll(int pip) noexcept { return stroke_envelope(pip, 128, five_stroke_events); }

}  // namespace kinetrope
