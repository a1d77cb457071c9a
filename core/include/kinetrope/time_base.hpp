// Pip time base: the integer clock every motion is a function of, and the
// position record every motion answers with.
#pragma once

namespace kinetrope {

// One beat is 64 pips; the core has no other unit of time.
inline constexpr int pips_per_beat = 64;

// Position offset of the moving point at one pip; each axis within [-1, 1]
// for every built-in motion.
struct Offset3 {
    double x;
    double y;
    double z;
};

// Folds a pip into a loop of `period` pips: the result lies in [0, period).
// Negative pips run the loop backwards from its end. A period of zero or
// less folds everything to 0.
constexpr int wrap_pip(int pip, int period) noexcept {
    if (period <= 0) {
        return 0;
    }
    const int local = pip % period;
    return local < 0 ? local + period : local;
}

}  // namespace kinetrope
