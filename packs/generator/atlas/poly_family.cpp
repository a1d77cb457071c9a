// poly_a_b: a left train of a pulses and a right train of b pulses over
// eight beats, meeting only at pip 0; the right train carries depth.
#include <array>

#include "atlas/atlas_families.hpp"

namespace kinetrope::packgen::atlas {

namespace {
namespace poly_family_local {

struct Trains {
    int left;   // a
    int right;  // b
};

constexpr std::array<Trains, 16> train_pairs = {{
    {2, 5}, {2, 7}, {2, 9}, {3, 5}, {3, 7}, {3, 8}, {3, 10}, {4, 5},
    {4, 7}, {4, 9}, {5, 6}, {5, 7}, {5, 8}, {5, 9}, {6, 7}, {7, 8},
}};

constexpr int period = 512;
constexpr double half_width = 22.4;  // 0.35 beat
constexpr Offset3 shared_downbeat{0.0, -0.52, 0.22};
constexpr Offset3 left_pulse{-0.403, -0.169, 0.0};
constexpr Offset3 right_pulse{0.403, -0.169, 0.143};

void add_train(std::vector<Bump>& bumps, int count, Offset3 pulse) {
    for (int j = 1; j < count; ++j) {
        bumps.push_back({static_cast<double>(period) * j / count, half_width, pulse});
    }
}

std::vector<Bump> poly_bumps(Trains t) {
    std::vector<Bump> bumps{{0.0, half_width, shared_downbeat}};
    add_train(bumps, t.left, left_pulse);
    add_train(bumps, t.right, right_pulse);
    return bumps;
}

}  // namespace poly_family_local
}  // namespace

Family poly_family() {
    using namespace poly_family_local;
    Family family;
    for (const Trains t : train_pairs) {
        family.push_back(as_stated(numbered("poly", {t.left, t.right}),
                                   "Two independent pulse trains share an eight-beat boundary. Each right-lane gesture "
                                   "includes depth.",
                                   period, 3, gestures(period, poly_bumps(t))));
    }
    return family;
}

}  // namespace kinetrope::packgen::atlas
