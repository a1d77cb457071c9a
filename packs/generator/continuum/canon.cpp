// canon_NN_close / _late: a motif of five notes at rational beat positions
// is led on the lateral lane and answered on the depth lane after a delay
// (a third of a beat when close, seven sixths when late). After four
// beats the lanes trade: the depth lane leads and the lateral answer comes
// back mirrored and one note short.
#include <array>
#include <string>
#include <vector>

#include "families.hpp"
#include "members.hpp"

namespace kinetrope::packgen::continuum {

namespace {
namespace canon_local {

struct Motif {
    std::array<double, 5> beats;  // note positions within the first four beats
};

constexpr std::array<Motif, 8> motifs = {{
    {{0.0, 1.0 / 2, 4.0 / 3, 2.0, 3.0}},
    {{0.0, 2.0 / 3, 4.0 / 3, 5.0 / 2, 3.0}},
    {{0.0, 3.0 / 4, 3.0 / 2, 9.0 / 4, 3.0}},
    {{0.0, 1.0 / 3, 1.0, 5.0 / 3, 8.0 / 3}},
    {{0.0, 3.0 / 5, 6.0 / 5, 2.0, 13.0 / 5}},
    {{0.0, 1.0 / 2, 3.0 / 2, 7.0 / 3, 3.0}},
    {{0.0, 5.0 / 6, 5.0 / 3, 5.0 / 2, 10.0 / 3}},
    {{0.0, 1.0 / 4, 5.0 / 4, 2.0, 11.0 / 4}},
}};

constexpr std::array<double, 5> strengths = {1.0, 0.6, 0.75, 0.85, 0.65};

struct Delay {
    const char* word;
    double beats;
};

constexpr std::array<Delay, 2> delays = {{{"close", 1.0 / 3}, {"late", 7.0 / 6}}};

constexpr int period = 512;
constexpr double beat = 64.0;
constexpr double half = 4.0;  // beats
constexpr double lift = -0.45;  // vertical part of every note, of its strength

// One statement of the motif on a lane, starting at `start` beats. Lateral
// notes alternate sides (`mirror` flips them); depth notes reach forward
// and back.
std::vector<Bump> statement(const Motif& m, double start, bool lateral, double mirror, std::size_t notes,
                            double scale) {
    std::vector<Bump> bumps;
    for (std::size_t n = 0; n < notes; ++n) {
        const double s = strengths[n] * scale;
        const double sign = mirror * side(static_cast<int>(n));
        const Offset3 a = lateral ? Offset3{sign * s, lift * s, 0.0} : Offset3{0.0, lift * s, sign * 0.85 * s};
        bumps.push_back({(start + m.beats[n]) * beat, 0.0, a});
    }
    return bumps;
}

std::vector<Bump> canon(const Motif& m, double delay) {
    std::vector<Bump> lateral = statement(m, 0.0, true, 1.0, 5, 1.0);
    std::vector<Bump> depth = statement(m, delay, false, 1.0, 5, 0.8);
    const std::vector<Bump> depth_lead = statement(m, half, false, 1.0, 5, 1.0);
    const std::vector<Bump> lateral_answer = statement(m, half + delay, true, -1.0, 4, 0.8);
    lateral.insert(lateral.end(), lateral_answer.begin(), lateral_answer.end());
    depth.insert(depth.end(), depth_lead.begin(), depth_lead.end());
    // Each lane's notes keep clear of their neighbours on the same lane.
    fit_half_widths(lateral, period, 0.45, 14.0);
    fit_half_widths(depth, period, 0.45, 14.0);
    lateral.insert(lateral.end(), depth.begin(), depth.end());
    return lateral;
}

}  // namespace canon_local
}  // namespace

std::vector<PatternDef> canon_family() {
    using namespace canon_local;
    std::vector<PatternDef> family;
    for (std::size_t k = 0; k < motifs.size(); ++k) {
        for (std::size_t d = 0; d < delays.size(); ++d) {
            // Close canons from 0.311 down, late ones from 0.279 up.
            const double step = 0.004 * static_cast<double>(k);
            const double level = d == 0 ? 0.311 - step : 0.279 + step;
            family.push_back(rhythm("canon_" + two_digits(static_cast<int>(k) + 1) + "_" + delays[d].word, period,
                                    "A rational-beat motif passes between lateral and depth lanes, with an altered "
                                    "second-half response.",
                                    canon(motifs[k], delays[d].beats), level));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::continuum
