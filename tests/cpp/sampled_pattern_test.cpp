#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "allocation_counter.hpp"
#include "kinetrope/sampled_pattern.hpp"

namespace {

using kinetrope::Offset3;
using kinetrope::SampledPattern;

constexpr const char* accepted = "(accepted)";
constexpr const char* bad_name = "Invalid pattern name";
constexpr const char* bad_count = "A pattern requires 1..65535 samples (one per pip)";
constexpr const char* bad_value = "Pattern samples must be finite and within [-1, 1]";
constexpr double inf = std::numeric_limits<double>::infinity();

// The message of the std::invalid_argument that building the pattern throws,
// or `accepted`; any other exception escapes and fails the test.
std::string refusal_of(std::string name, std::vector<Offset3> samples) {
    try {
        SampledPattern(std::move(name), "", std::move(samples));
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return accepted;
}

std::string logic_error_of(const SampledPattern& pattern) {
    try {
        pattern.sample(0);
    } catch (const std::logic_error& error) {
        return error.what();
    }
    return "(sampled)";
}

bool same_bits(const Offset3& a, const Offset3& b) {
    return std::memcmp(&a, &b, sizeof(Offset3)) == 0;
}

std::vector<Offset3> still(std::size_t count) {
    return std::vector<Offset3>(count, Offset3{0.0, 0.0, 0.0});
}

const std::vector<Offset3> four_samples{{0.5, 0.0, 0.0}, {0.0, -0.25, 0.0}, {-1.0, 1.0, -0.0}, {0.125, 0.0, 1.0}};

struct NameCase {
    std::string name;
    bool valid;
};

// Each case prints as what it tests, which also names it in ctest: the name
// (a long run of one letter by its length, other bytes as escapes) and
// whether it is a valid pattern name.
void PrintTo(const NameCase& c, std::ostream* os) {
    if (c.name.size() > 16 && c.name.find_first_not_of(c.name[0]) == std::string::npos) {
        *os << c.name.size() << " x " << c.name[0];
    } else {
        *os << '\'';
        for (const char byte : c.name) {
            const auto code = static_cast<unsigned char>(byte);
            if (code > 0x20 && code < 0x7f) {
                *os << byte;
            } else {
                *os << "\\x" << std::hex << std::setw(2) << std::setfill('0') << int{code} << std::dec;
            }
        }
        *os << '\'';
    }
    *os << (c.valid ? " valid" : " refused");
}

class PatternName : public ::testing::TestWithParam<NameCase> {};

TEST_P(PatternName, FollowsIdentifierRule) {
    const NameCase& c = GetParam();
    EXPECT_EQ(refusal_of(c.name, still(1)), c.valid ? accepted : bad_name);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, PatternName,
    ::testing::Values(NameCase{"a", true}, NameCase{"a1", true}, NameCase{"a_", true}, NameCase{"bounce_2", true},
                      NameCase{std::string(128, 'z'), true}, NameCase{"z09_", true}, NameCase{"", false},
                      NameCase{std::string(129, 'a'), false}, NameCase{"1a", false}, NameCase{"_a", false},
                      NameCase{"A", false}, NameCase{"aB", false}, NameCase{"a-b", false}, NameCase{"a b", false},
                      NameCase{"a.b", false}, NameCase{"a\n", false}, NameCase{std::string("a\0b", 3), false},
                      NameCase{"a\x7f", false}, NameCase{"a\x80", false}, NameCase{"\xc3\xa9t\xc3\xa9", false},
                      NameCase{"a{", false}, NameCase{"a`", false}, NameCase{"a/", false}, NameCase{"a:", false}));

TEST(PatternCount, OneTo65535Samples) {
    EXPECT_EQ(refusal_of("p", still(1)), accepted);
    EXPECT_EQ(refusal_of("p", still(65535)), accepted);
    EXPECT_EQ(refusal_of("p", still(0)), bad_count);
    EXPECT_EQ(refusal_of("p", still(65536)), bad_count);
}

TEST(PatternValidation, NameThenCountThenValues) {
    EXPECT_EQ(refusal_of("Bad", still(0)), bad_name);
    EXPECT_EQ(refusal_of("Bad", {{2.0, 0.0, 0.0}}), bad_name);
    EXPECT_EQ(refusal_of("p", std::vector<Offset3>(65536, Offset3{2.0, 2.0, 2.0})), bad_count);
}

struct CoordinateCase {
    double value;
    bool valid;
};

void PrintTo(const CoordinateCase& c, std::ostream* os) {
    *os << std::setprecision(std::numeric_limits<double>::max_digits10) << c.value
        << (c.valid ? " valid" : " refused");
}

class PatternCoordinate : public ::testing::TestWithParam<std::tuple<int, CoordinateCase>> {};

// The probed value sits on one axis of the last of several samples, so the
// whole table is walked before it is met.
TEST_P(PatternCoordinate, FiniteWithinUnitRange) {
    const auto [axis, probe] = GetParam();
    std::vector<Offset3> samples(5, Offset3{0.5, -0.5, 0.25});
    double* const coordinates[] = {&samples.back().x, &samples.back().y, &samples.back().z};
    *coordinates[axis] = probe.value;
    EXPECT_EQ(refusal_of("p", std::move(samples)), probe.valid ? accepted : bad_value);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, PatternCoordinate,
    ::testing::Combine(::testing::Values(0, 1, 2),
                       ::testing::Values(CoordinateCase{1.0, true}, CoordinateCase{-1.0, true},
                                         CoordinateCase{-0.0, true},
                                         CoordinateCase{std::numeric_limits<double>::denorm_min(), true},
                                         CoordinateCase{std::nextafter(1.0, 2.0), false},
                                         CoordinateCase{std::nextafter(-1.0, -2.0), false},
                                         CoordinateCase{std::numeric_limits<double>::quiet_NaN(), false},
                                         CoordinateCase{inf, false}, CoordinateCase{-inf, false},
                                         CoordinateCase{std::numeric_limits<double>::max(), false})));

struct AxesCase {
    const char* label;
    std::vector<Offset3> samples;
    std::uint8_t axes;
};

void PrintTo(const AxesCase& c, std::ostream* os) { *os << c.label; }

class PatternAxes : public ::testing::TestWithParam<AxesCase> {};

TEST_P(PatternAxes, CountsLeadingAxesMovedByYAndZ) {
    const AxesCase& c = GetParam();
    EXPECT_EQ(SampledPattern("p", "", c.samples).info().dimensions, c.axes);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, PatternAxes,
    ::testing::Values(AxesCase{"AtRest", {{0.0, 0.0, 0.0}}, 1},
                      AxesCase{"OnlyX", {{1.0, 0.0, 0.0}, {-1.0, 0.0, 0.0}}, 1},
                      AxesCase{"NegativeZeros", {{0.0, -0.0, -0.0}}, 1},
                      AxesCase{"OneY", {{0.0, 0.0, 0.0}, {0.0, 0.5, 0.0}}, 2},
                      AxesCase{"NegativeZeroZWithY", {{0.0, 0.5, -0.0}}, 2},
                      AxesCase{"ZBeforeY", {{0.0, 0.0, 0.25}, {0.0, 0.5, 0.0}, {0.0, 0.0, 0.0}}, 3},
                      AxesCase{"ZLast", {{0.0, 0.5, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, -0.25}}, 3},
                      AxesCase{"TinyZ", {{0.0, 0.0, std::numeric_limits<double>::denorm_min()}}, 3}),
    [](const auto& test) { return std::string(test.param.label); });

struct WrapCase {
    int pip;
    std::size_t index;
};

void PrintTo(const WrapCase& c, std::ostream* os) { *os << "pip " << c.pip << " reads sample " << c.index; }

class PatternSample : public ::testing::TestWithParam<WrapCase> {};

TEST_P(PatternSample, FoldsPipIntoTable) {
    const SampledPattern pattern("p", "", four_samples);
    const WrapCase& c = GetParam();
    EXPECT_TRUE(same_bits(pattern.sample(c.pip), four_samples[c.index]));
}

INSTANTIATE_TEST_SUITE_P(Pips, PatternSample,
                         ::testing::Values(WrapCase{0, 0}, WrapCase{4, 0}, WrapCase{-4, 0}, WrapCase{1, 1},
                                           WrapCase{2, 2}, WrapCase{-2, 2}, WrapCase{-1, 3}, WrapCase{7, 3},
                                           WrapCase{INT_MAX, 3}, WrapCase{INT_MIN, 0}));

TEST(PatternSample, LongestTableWrapsAtItsEnd) {
    std::vector<Offset3> ramp(65535, Offset3{0.0, 0.0, 0.0});
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i].x = static_cast<double>(i) / 65535.0;
    }
    const SampledPattern pattern("p", "", ramp);
    EXPECT_TRUE(same_bits(pattern.sample(65534), ramp[65534]));
    EXPECT_TRUE(same_bits(pattern.sample(65535), ramp[0]));
    EXPECT_TRUE(same_bits(pattern.sample(-1), ramp[65534]));
    EXPECT_TRUE(same_bits(pattern.sample(INT_MAX), ramp[INT_MAX % 65535]));
}

TEST(PatternInfo, DescribesOwnStringsAndPeriod) {
    const std::string description("caf\xc3\xa9 \xff\0tail", 11);
    const SampledPattern pattern("wave_a", description, four_samples);
    const kinetrope::RudimentInfo info = pattern.info();
    EXPECT_EQ(info.name, "wave_a");
    EXPECT_EQ(info.description, description);
    EXPECT_EQ(info.period_pips, 4);
    EXPECT_EQ(info.dimensions, 3);
    EXPECT_EQ(SampledPattern("p", "", still(65535)).info().period_pips, 65535);
    EXPECT_TRUE(SampledPattern("p", "", still(1)).info().description.empty());

    const SampledPattern copy = pattern;
    EXPECT_EQ(copy.info().description, description);
    EXPECT_NE(copy.info().description.data(), info.description.data());
}

TEST(PatternMove, SourceCannotBeSampled) {
    SampledPattern source("wave_a", "long enough to live outside any small-string buffer", four_samples);
    const SampledPattern target = std::move(source);
    EXPECT_EQ(logic_error_of(source), "Cannot sample a moved-from pattern");
    EXPECT_EQ(source.info().period_pips, 0);
    EXPECT_TRUE(source.info().name.empty());
    EXPECT_TRUE(source.info().description.empty());
    EXPECT_TRUE(same_bits(target.sample(-1), four_samples[3]));
    EXPECT_EQ(target.info().name, "wave_a");
}

TEST(PatternMove, AssignmentMovesAndRestores) {
    SampledPattern source("a", "", four_samples);
    SampledPattern target("b", "", still(1));
    target = std::move(source);
    EXPECT_EQ(logic_error_of(source), "Cannot sample a moved-from pattern");
    EXPECT_EQ(target.info().name, "a");

    source = target;  // assigning to a moved-from pattern makes it whole again
    EXPECT_TRUE(same_bits(source.sample(2), four_samples[2]));
    EXPECT_EQ(source.info().period_pips, 4);
}

TEST(PatternAllocation, SampleAndInfoAllocateNothing) {
    const SampledPattern pattern("p", "a description longer than a small string", four_samples);
    Offset3 total{0.0, 0.0, 0.0};
    const std::size_t allocations = kinetrope::testing::allocations_during([&] {
        for (int pip = -1000; pip < 1000; ++pip) {
            const Offset3 offset = pattern.sample(pip);
            total.x += offset.x + static_cast<double>(pattern.info().period_pips);
        }
    });
    EXPECT_EQ(allocations, 0u);
    EXPECT_NE(total.x, 0.0);
}

}  // namespace
