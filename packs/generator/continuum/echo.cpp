// echo_<style>_n: a call on beat one to the right and n echoes that fade
// by a fixed ratio; on beat five an answer to the left and into depth with
// the same echoes. Echo gaps are exact fractions of a beat: regular (1/2
// beat each), shrinking (3/4 beat, then each 3/4 of the last), expanding
// (1/4 beat, then each 4/3 of the last) and crossed (3/5 beat each, the
// echoes swapping sides).
#include <array>
#include <string>
#include <vector>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace echo_local {

struct Style {
    const char* word;
    double first_gap;  // beats
    double gap_ratio;  // each gap over the one before
    bool crossed;
};

constexpr std::array<Style, 4> styles = {{{"regular", 1.0 / 2, 1.0, false},
                                          {"shrinking", 3.0 / 4, 3.0 / 4, false},
                                          {"expanding", 1.0 / 4, 4.0 / 3, false},
                                          {"crossed", 3.0 / 5, 1.0, true}}};
constexpr std::array<int, 4> echo_counts = {3, 4, 5, 6};

constexpr int period = 512;
constexpr double beat = 64.0;
constexpr double fade = 0.62;  // each echo against the one before
constexpr Offset3 call{1.0, -0.5, 0.25};
constexpr Offset3 answer{-0.85, -0.3, 0.7};

void sound(std::vector<Bump>& bumps, const Style& style, int echoes, double start, Offset3 voice) {
    double at = start;
    double gap = style.first_gap;
    double strength = 1.0;
    bumps.push_back({at * beat, 0.0, voice});
    for (int e = 1; e <= echoes; ++e) {
        at += gap;
        gap *= style.gap_ratio;
        strength *= fade;
        const double flip = style.crossed ? side(e) : 1.0;
        bumps.push_back({at * beat, 0.0, {flip * strength * voice.x, strength * voice.y, flip * strength * voice.z}});
    }
}

std::vector<Bump> echo(const Style& style, int echoes) {
    std::vector<Bump> bumps;
    sound(bumps, style, echoes, 0.0, call);
    sound(bumps, style, echoes, 4.0, 0.9 * answer);
    fit_half_widths(bumps, period, 0.45, 14.0);
    return bumps;
}

}  // namespace echo_local
}  // namespace

std::vector<PatternDef> echo_family() {
    using namespace echo_local;
    std::vector<PatternDef> family;
    int index = 0;
    for (const int echoes : echo_counts) {
        for (const Style& style : styles) {
            family.push_back(rhythm(numbered("echo_" + std::string(style.word), std::array{echoes}), period,
                                    "An original decaying call and a differently directed answer; echo spacing is "
                                    "preserved as fractions.",
                                    echo(style, echoes), level_between(0.31, 0.249, index++, 16)));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
