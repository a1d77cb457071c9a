// swing_<score>_p_q: eight beats of gestures with a lighter offbeat at p/q of
// each beat. The push score plays every beat; the skip score leaves out
// beats 2 and 6; the answer score mirrors its second half's offbeats to
// (1 - p/q), ahead of the beat instead of behind it; the shuffle score drags
// each offbeat with a quieter ghost a sixteenth note earlier.
#include <array>
#include <string>
#include <string_view>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace swing_family_local {

struct Swing {
    int p;
    int q;
};

constexpr std::array<Swing, 4> swings = {{{3, 5}, {2, 3}, {5, 7}, {3, 4}}};

enum class Score { push, answer, skip, shuffle };

struct ScoreStyle {
    Score score;
    std::string_view word;
    int dims;
    // Lateral lean of the unaccented beats. The answer and shuffle scores
    // keep x within [-0.422, 0.585], a hair inside the push score's 0.4225.
    double beat_lean;
};

constexpr std::array<ScoreStyle, 4> scores = {{
    {Score::push, "push", 3, 0.4225},
    {Score::answer, "answer", 2, 0.422},
    {Score::skip, "skip", 3, 0.4225},
    {Score::shuffle, "shuffle", 3, 0.422},
}};

constexpr int period = 512;
constexpr double beat = 64.0;
constexpr double beat_half_width = 12.8;
constexpr double offbeat_half_width = 8.0;
constexpr double sixteenth = 16.0;
constexpr Offset3 downbeat_accent{0.585, -0.216, 0.0};  // beats 0 and 4
constexpr Offset3 offbeat{0.075, -0.15, 0.09};
constexpr double ghost_level = 0.5;

bool plays_beat(Score score, int j) { return score != Score::skip || (j != 2 && j != 6); }

// Pips from beat j to its offbeat.
double offbeat_delay(Score score, Swing s, int j) {
    const double swung = beat * s.p / s.q;
    return score == Score::answer && j >= 4 ? beat - swung : swung;
}

std::vector<Bump> score_bumps(const ScoreStyle& style, Swing s) {
    const Offset3 lift = style.dims == 3 ? offbeat : Offset3{offbeat.x, offbeat.y, 0.0};
    std::vector<Bump> bumps;
    for (int j = 0; j < 8; ++j) {
        const double onset = beat * j;
        if (plays_beat(style.score, j)) {
            const Offset3 a = j % 4 == 0 ? downbeat_accent : Offset3{style.beat_lean * side(j), -0.156, 0.0};
            bumps.push_back({onset, beat_half_width, a});
        }
        const double off = onset + offbeat_delay(style.score, s, j);
        if (style.score == Score::shuffle) {
            bumps.push_back({off - sixteenth, offbeat_half_width, ghost_level * lift});
        }
        bumps.push_back({off, offbeat_half_width, lift});
    }
    return bumps;
}

PatternDef swing(const ScoreStyle& style, Swing s) {
    const std::string fraction = std::to_string(s.p) + "/" + std::to_string(s.q);
    return as_stated(numbered("swing_" + std::string(style.word), {s.p, s.q}),
                     "Eight-beat " + std::string(style.word) + " score with offbeats at " + fraction +
                         " of each beat; peaks follow the score.",
                     period, style.dims, gestures(period, score_bumps(style, s)));
}

}  // namespace swing_family_local
}  // namespace

Family swing_family() {
    using namespace swing_family_local;
    Family family;
    for (const Swing s : swings) {
        for (const ScoreStyle& style : scores) {
            family.push_back(swing(style, s));
        }
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
