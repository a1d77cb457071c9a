// Exact values of the computed rudiments, compared bit for bit (so the sign
// of a zero counts), plus periodicity and range over many loops.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "kinetrope/catalogue.hpp"
#include "kinetrope/rudiments.hpp"

namespace {

using kinetrope::Offset3;
using Motion = Offset3 (*)(int) noexcept;

struct Expected {
    const char* name;
    Motion motion;
    int pip;
    double x;
    double y;
    double z;
};

void PrintTo(const Expected& e, std::ostream* os) { *os << e.name << "(" << e.pip << ")"; }

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

class ExactValue : public ::testing::TestWithParam<Expected> {};

TEST_P(ExactValue, MatchesToTheLastBit) {
    const Expected& e = GetParam();
    const Offset3 got = e.motion(e.pip);
    EXPECT_PRED2(same_bits, got.x, e.x) << "x = " << got.x;
    EXPECT_PRED2(same_bits, got.y, e.y) << "y = " << got.y;
    EXPECT_PRED2(same_bits, got.z, e.z) << "z = " << got.z;
    // The dispatcher reaches the same function by name.
    const Offset3 by_name = kinetrope::sample(e.name, e.pip);
    EXPECT_TRUE(same_bits(by_name.x, got.x) && same_bits(by_name.y, got.y) && same_bits(by_name.z, got.z));
}

using namespace kinetrope;

INSTANTIATE_TEST_SUITE_P(
    DanceMotions, ExactValue,
    ::testing::Values(
        Expected{"bounce", &bounce, 0, -1, 0, 0}, Expected{"bounce", &bounce, 8, -0.5, 0, 0},
        Expected{"bounce", &bounce, 16, 0, 0, 0}, Expected{"bounce", &bounce, 32, 1, 0, 0},
        Expected{"bounce", &bounce, 63, -0.9375, 0, 0}, Expected{"bounce", &bounce, -1, -0.9375, 0, 0},
        Expected{"bounce", &bounce, 64, -1, 0, 0},
        Expected{"sway", &sway, 32, 1, 0, 0}, Expected{"sway", &sway, 96, -1, 0, 0},
        Expected{"sway", &sway, -32, -1, 0, 0}, Expected{"sway", &sway, 64, 1.2246467991473532e-16, 0, 0},
        Expected{"circle", &circle, 0, 6.123233995736766e-17, -1, 0}, Expected{"circle", &circle, 16, 1, 0, 0},
        Expected{"circle", &circle, 32, 6.123233995736766e-17, 1, 0},
        Expected{"circle", &circle, 48, -1, 1.2246467991473532e-16, 0},
        Expected{"figure_eight", &figure_eight, 16, 0.7071067811865475, 1, 0},
        Expected{"figure_eight", &figure_eight, 32, 1, 1.2246467991473532e-16, 0},
        Expected{"step_touch", &step_touch, 0, -1, -0.0, 0},
        Expected{"step_touch", &step_touch, 8, -0.84375, -0.2474873734152916, 0},
        Expected{"step_touch", &step_touch, 16, -0.5, -0.35, 0},
        Expected{"step_touch", &step_touch, 48, 0.5, -0.35, 0},
        Expected{"step_touch", &step_touch, 64, 1, -0.0, 0},
        Expected{"step_touch", &step_touch, 112, -0.5, -0.35, 0},
        Expected{"step_touch", &step_touch, -1, -0.99713134765625, -0.034305999115346285, 0},
        Expected{"step_touch", &step_touch, 127, -0.99713134765625, -0.034305999115346285, 0},
        Expected{"box_step", &box_step, 0, -1, -1, 0}, Expected{"box_step", &box_step, 64, 1, -1, 0},
        Expected{"box_step", &box_step, 128, 1, 1, 0}, Expected{"box_step", &box_step, 192, -1, 1, 0},
        Expected{"box_step", &box_step, 32, 0, -1, 0}, Expected{"box_step", &box_step, 96, 1, 0, 0},
        Expected{"box_step", &box_step, 255, -1, -0.9985504150390625, 0},
        Expected{"helix", &helix, 0, 1, 0, 0}, Expected{"helix", &helix, 64, -1, 1.2246467991473532e-16, 1},
        Expected{"helix", &helix, 192, -1, 3.6739403974420594e-16, -1},
        Expected{"varn_background", &varn_background, 0, 0, 0, 0},
        Expected{"varn_background", &varn_background, 256, 0, 0, 0},
        Expected{"varn_background", &varn_background, 23, 0.14285714285714285, -0.1, 0},
        Expected{"varn_background", &varn_background, 33, 0.9285714285714286, -0.8, 0},
        Expected{"varn_background", &varn_background, 49, 0.3571428571428572, -0.4, 0},
        Expected{"varn_background", &varn_background, 100, -1, 0.8999999999999999, 0},
        Expected{"varn_background", &varn_background, 169, 0.8571428571428571, 1, 0},
        Expected{"varn_background", &varn_background, 1, 0.0007866712066597001, -0.0005506698446617901, 0},
        Expected{"varn_background", &varn_background, -1, -0.0036088172182846823, -0.005052344105598516, 0}));

INSTANTIATE_TEST_SUITE_P(
    StrokeRudiments, ExactValue,
    ::testing::Values(
        Expected{"single_stroke_roll", &single_stroke_roll, 0, 0, 0, 0},
        Expected{"single_stroke_roll", &single_stroke_roll, 2, 0.4599999999999999, -0.33119999999999994, 0},
        Expected{"single_stroke_roll", &single_stroke_roll, 4, 0.92, -0.6624, 0},
        Expected{"single_stroke_roll", &single_stroke_roll, 8, 0, 0, 0},
        Expected{"single_stroke_roll", &single_stroke_roll, 12, -0.92, -0.6624, 0},
        Expected{"single_stroke_roll", &single_stroke_roll, 36, 0.92, -0.6624, 0},
        Expected{"single_stroke_roll", &single_stroke_roll, -60, 0.92, -0.6624, 0},
        Expected{"double_stroke_roll", &double_stroke_roll, 4, 0.88, -0.6335999999999999, 0},
        Expected{"double_stroke_roll", &double_stroke_roll, 12, 0.72, -0.5184, 0},
        Expected{"multiple_bounce_roll", &multiple_bounce_roll, 36, -0.6900000000000001, -0.4968, 0},
        Expected{"single_paradiddle", &single_paradiddle, 4, 1, -0.72, 0},
        Expected{"single_paradiddle", &single_paradiddle, 36, -1, -0.72, 0},
        Expected{"single_paradiddle", &single_paradiddle, 100, -1, -0.72, 0},
        Expected{"single_paradiddle", &single_paradiddle, 132, 1, -0.72, 0},
        Expected{"flam", &flam, 5, -0.34, -0.24480000000000002, 0},
        Expected{"flam", &flam, 8, 0.23239846876339948, -0.3364795372866606, 0},
        Expected{"flam", &flam, 12, 0.9, -0.648, 0},
        Expected{"drag", &drag, 4, -0.28, -0.2016, 0},
        Expected{"drag", &drag, 16, 0.8364263018770643, -0.6022269373514864, 0},
        Expected{"five_stroke_roll", &five_stroke_roll, 36, 0, 0, 0},
        Expected{"five_stroke_roll", &five_stroke_roll, 43, 1, -0.72, 0}));

TEST(StrokeRudiments, MultipleBounceRestsBetweenClusters) {
    for (const int pip : {24, 25, 26, 27, 28, 29, 30, 31, 56, 57, 58, 59, 60, 61, 62, 63}) {
        const Offset3 o = multiple_bounce_roll(pip);
        EXPECT_EQ(o.x, 0.0) << pip;
        EXPECT_EQ(o.y, 0.0) << pip;
    }
}

struct Rudiment {
    const char* name;
    Motion motion;
    int period;
    int dimensions;
    bool strokes;
};

class EveryRudiment : public ::testing::TestWithParam<Rudiment> {};

void PrintTo(const Rudiment& r, std::ostream* os) { *os << r.name; }

// Over several loops either side of zero and at both ends of the pip range:
// the same value one period on, every axis in [-1, 1], unused axes exactly
// +0.0, and strokes never lift y above zero.
TEST_P(EveryRudiment, PeriodicBoundedAndAxisClean) {
    const Rudiment& r = GetParam();
    auto check = [&](int pip) {
        const Offset3 o = r.motion(pip);
        for (const double v : {o.x, o.y, o.z}) {
            ASSERT_TRUE(std::isfinite(v) && v >= -1.0 && v <= 1.0) << r.name << " at " << pip;
        }
        if (r.dimensions < 3) {
            ASSERT_PRED2(same_bits, o.z, 0.0) << pip;
        }
        if (r.dimensions < 2) {
            ASSERT_PRED2(same_bits, o.y, 0.0) << pip;
        }
        if (r.strokes) {
            ASSERT_LE(o.y, 0.0) << pip;
        }
    };
    for (int pip = -4 * r.period; pip < 4 * r.period; ++pip) {
        check(pip);
        const Offset3 a = r.motion(pip);
        const Offset3 b = r.motion(pip + r.period);
        ASSERT_TRUE(same_bits(a.x, b.x) && same_bits(a.y, b.y) && same_bits(a.z, b.z)) << r.name << " at " << pip;
    }
    for (const int pip : {INT32_MIN, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX}) {
        check(pip);
        const Offset3 a = r.motion(pip);
        const Offset3 b = r.motion(kinetrope::wrap_pip(pip, r.period));
        ASSERT_TRUE(same_bits(a.x, b.x) && same_bits(a.y, b.y) && same_bits(a.z, b.z)) << pip;
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, EveryRudiment,
    ::testing::Values(Rudiment{"bounce", &bounce, 64, 1, false}, Rudiment{"sway", &sway, 128, 1, false},
                      Rudiment{"circle", &circle, 64, 2, false},
                      Rudiment{"figure_eight", &figure_eight, 128, 2, false},
                      Rudiment{"step_touch", &step_touch, 128, 2, false},
                      Rudiment{"box_step", &box_step, 256, 2, false}, Rudiment{"helix", &helix, 256, 3, false},
                      Rudiment{"varn_background", &varn_background, 256, 2, false},
                      Rudiment{"single_stroke_roll", &single_stroke_roll, 64, 2, true},
                      Rudiment{"double_stroke_roll", &double_stroke_roll, 64, 2, true},
                      Rudiment{"multiple_bounce_roll", &multiple_bounce_roll, 64, 2, true},
                      Rudiment{"single_paradiddle", &single_paradiddle, 128, 2, true},
                      Rudiment{"flam", &flam, 64, 2, true}, Rudiment{"drag", &drag, 64, 2, true},
                      Rudiment{"five_stroke_roll", &five_stroke_roll, 128, 2, true}),
    [](const ::testing::TestParamInfo<Rudiment>& param) { return std::string(param.param.name); });

// The catalogue rows of the computed rudiments agree with the functions.
TEST(EveryRudiment, CatalogueRowsDescribeTheFunctions) {
    const auto& rows = kinetrope::catalogue();
    ASSERT_GE(rows.size(), 15u);
    const char* expected[] = {"bounce", "sway", "circle", "figure_eight", "step_touch", "box_step", "helix",
                              "varn_background", "single_stroke_roll", "double_stroke_roll",
                              "multiple_bounce_roll", "single_paradiddle", "flam", "drag", "five_stroke_roll"};
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(rows[i].name, expected[i]);
    }
    EXPECT_EQ(rows[7].description, "Varn/Quils four-beat accented background drift");
    EXPECT_EQ(rows[6].dimensions, 3);
    EXPECT_EQ(rows[14].period_pips, 128);
}

}  // namespace
