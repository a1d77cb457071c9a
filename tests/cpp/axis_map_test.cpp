// The smooth map that carries a beat motion's axis to its range ends.
#include <gtest/gtest.h>

#include <cmath>

#include "axis_map.hpp"

namespace {

using kinetrope::packgen::AxisMap;
using kinetrope::packgen::fit_axis_map;

// Farthest raw reach below and above 0, then the range ends' magnitudes.
struct Case {
    double below;
    double above;
    double low_end;
    double high_end;
};

class FittedMap : public ::testing::TestWithParam<Case> {};

TEST_P(FittedMap, LandsBothEndsWithOneIncreasingSlopeThroughZero) {
    const Case c = GetParam();
    const auto map = fit_axis_map(c.below, c.above, c.low_end, c.high_end);
    ASSERT_TRUE(map.has_value());
    if (c.above > 0.0) {
        EXPECT_NEAR((*map)(c.above), c.high_end, 1e-15);
    }
    if (c.below > 0.0) {
        EXPECT_NEAR((*map)(-c.below), -c.low_end, 1e-15);
    }
    EXPECT_EQ((*map)(0.0), 0.0);
    // The slope from each side of 0 is the same: no hitch at the crossing.
    const double h = 1e-7;
    const double left = (0.0 - (*map)(-h)) / h;
    const double right = ((*map)(h) - 0.0) / h;
    EXPECT_NEAR(left, right, 1e-6 * std::fabs(right));
    // Increasing over the whole span the curves cover.
    double previous = (*map)(-c.below);
    for (int k = 1; k <= 1000; ++k) {
        const double v = -c.below + (c.above + c.below) * k / 1000.0;
        EXPECT_GT(map->slope(v), 0.0) << v;
        EXPECT_GT((*map)(v), previous) << v;
        previous = (*map)(v);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Spans, FittedMap,
    ::testing::Values(Case{0.5, 0.5, 0.6, 0.6},           // symmetric: a plain gain
                      Case{0.31, 0.44, 0.684, 0.527},     // ends lopsided against the reaches
                      Case{0.2, 0.9, 0.328, 0.920},       // a deep one-sided plunge
                      Case{0.62, 0.35, 0.92, 0.707},      // reaches lopsided the other way
                      Case{0.05, 1.3, 0.04, 0.68},        // a small side against a large one
                      Case{0.0, 0.4, 0.0, 0.312},         // nothing below 0
                      Case{0.3, 0.0, 0.2, 0.0}));         // nothing above 0

TEST(FittedMap, RefusesWhatNoIncreasingMapCanDo) {
    // The side below needs four times the gain of the side above: the
    // slope would turn negative before the upper end.
    EXPECT_FALSE(fit_axis_map(0.5, 0.5, 0.8, 0.2).has_value());
    EXPECT_FALSE(fit_axis_map(0.5, 0.5, 0.2, 0.8).has_value());
    // A side the curves reach but whose range end is 0.
    EXPECT_FALSE(fit_axis_map(0.1, 0.4, 0.0, 0.3).has_value());
    // Nothing reached: left alone.
    const auto idle = fit_axis_map(0.0, 0.0, 0.3, 0.3);
    ASSERT_TRUE(idle.has_value());
    EXPECT_EQ((*idle)(0.25), 0.25);
}

}  // namespace
