#include <gtest/gtest.h>

#include <climits>

#include "kinetrope/time_base.hpp"

namespace {

using kinetrope::wrap_pip;

struct WrapCase {
    int pip;
    int period;
    int expected;
};

void PrintTo(const WrapCase& c, std::ostream* os) { *os << "wrap_pip(" << c.pip << ", " << c.period << ")"; }

class WrapPip : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapPip, FoldsIntoLoop) {
    const WrapCase& c = GetParam();
    EXPECT_EQ(wrap_pip(c.pip, c.period), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, WrapPip,
    ::testing::Values(WrapCase{0, 64, 0}, WrapCase{63, 64, 63}, WrapCase{64, 64, 0}, WrapCase{130, 64, 2},
                      WrapCase{-1, 64, 63}, WrapCase{-64, 64, 0}, WrapCase{-65, 64, 63},
                      WrapCase{INT_MIN, 64, 0}, WrapCase{INT_MIN, 128, 0}, WrapCase{INT_MIN, 256, 0},
                      WrapCase{INT_MIN, 1024, 0}, WrapCase{INT_MIN, 160, 32}, WrapCase{INT_MAX, 64, 63},
                      WrapCase{INT_MAX, 160, 127}, WrapCase{5, 0, 0}, WrapCase{5, -3, 0},
                      WrapCase{INT_MIN, -1, 0}, WrapCase{7, 1, 0}, WrapCase{INT_MIN, INT_MAX, INT_MAX - 1}));

TEST(WrapPip, PeriodicOverWholeRange) {
    for (const int period : {1, 3, 64, 160, 1024, 65535}) {
        for (int pip = -5000; pip <= 5000; pip += 7) {
            const int local = wrap_pip(pip, period);
            ASSERT_GE(local, 0);
            ASSERT_LT(local, period);
            ASSERT_EQ(local, wrap_pip(pip + period, period));
        }
    }
}

}  // namespace
