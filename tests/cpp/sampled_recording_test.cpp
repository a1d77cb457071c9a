#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "kinetrope/sampled_recording.hpp"

namespace {

using kinetrope::FlatRows;
using kinetrope::max_recording_values;
using kinetrope::SampledRecording;
using Rows = std::vector<std::vector<double>>;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct Input {
    std::string name = "rec";
    std::vector<std::string> axes = {"x", "y"};
    Rows rows = {{0.5, -0.5}};
    double bpm = 120.0;
    double beat_zero_seconds = 0.0;
    int start_pip = 0;
};

// The two ways rows reach a recording: one vector per row, or laid out flat.
enum class RowForm { nested, flat };

// Each case prints as what it tests, which also names it in ctest.
void PrintTo(RowForm form, std::ostream* os) { *os << (form == RowForm::nested ? "nested rows" : "flat rows"); }

FlatRows flatten(const Rows& rows) {
    FlatRows flat;
    for (const std::vector<double>& row : rows) {
        for (const double value : row) {
            flat.push_value(value);
        }
        flat.end_row();
    }
    return flat;
}

SampledRecording build(const Input& in, RowForm form) {
    if (form == RowForm::flat) {
        return SampledRecording(in.name, in.axes, flatten(in.rows), in.bpm, in.beat_zero_seconds, in.start_pip);
    }
    return SampledRecording(in.name, in.axes, in.rows, in.bpm, in.beat_zero_seconds, in.start_pip);
}

template <typename Change>
Input with(Change change) {
    Input in;
    change(in);
    return in;
}

std::string failure_of(const Input& in, RowForm form) {
    try {
        build(in, form);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "accepted";
}

constexpr const char* bad_identifier = "Invalid identifier";
constexpr const char* bad_timing = "A finite positive BPM and beat origin are required";
constexpr const char* bad_shape = "Empty recording or recording resource limit exceeded";
constexpr const char* duplicate_axis = "Duplicate axis";
constexpr const char* ragged = "Ragged recording";
constexpr const char* bad_sample = "Invalid sample";

struct FailureCase {
    const char* label;
    Input input;
    std::string expected;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.label; }

std::vector<FailureCase> failure_cases() {
    return {
        {"name_empty", with([](Input& in) { in.name = ""; }), bad_identifier},
        {"name_upper", with([](Input& in) { in.name = "Rec"; }), bad_identifier},
        {"name_leading_digit", with([](Input& in) { in.name = "1rec"; }), bad_identifier},
        {"name_129_bytes", with([](Input& in) { in.name = std::string(129, 'a'); }), bad_identifier},
        {"name_128_bytes", with([](Input& in) { in.name = std::string(128, 'a'); }), "accepted"},
        {"bpm_zero", with([](Input& in) { in.bpm = 0.0; }), bad_timing},
        {"bpm_negative", with([](Input& in) { in.bpm = -120.0; }), bad_timing},
        {"bpm_nan", with([](Input& in) { in.bpm = nan; }), bad_timing},
        {"bpm_infinite", with([](Input& in) { in.bpm = inf; }), bad_timing},
        {"bpm_beat_overflows", with([](Input& in) { in.bpm = 1e-308; }), bad_timing},
        {"bpm_below_smallest", with([](Input& in) { in.bpm = std::nextafter(3.3376107877608025e-307, 0.0); }),
         bad_timing},
        {"bpm_smallest", with([](Input& in) { in.bpm = 3.3376107877608025e-307; }), "accepted"},
        {"bpm_tiny", with([](Input& in) { in.bpm = 1e-300; }), "accepted"},
        {"beat_zero_nan", with([](Input& in) { in.beat_zero_seconds = nan; }), bad_timing},
        {"beat_zero_infinite", with([](Input& in) { in.beat_zero_seconds = -inf; }), bad_timing},
        {"no_axes", with([](Input& in) { in.axes.clear(); }), bad_shape},
        {"no_rows", with([](Input& in) { in.rows.clear(); }), bad_shape},
        {"last_pip_past_int", with([](Input& in) { in.start_pip = INT_MAX; }), bad_shape},
        {"two_rows_from_int_max_minus_one",
         with([](Input& in) {
             in.start_pip = INT_MAX - 1;
             in.rows = {{0.0, 0.0}, {0.0, 0.0}};
         }),
         bad_shape},
        {"axis_upper", with([](Input& in) { in.axes = {"x", "Y"}; }), bad_identifier},
        {"axis_empty", with([](Input& in) { in.axes = {"x", ""}; }), bad_identifier},
        {"axis_duplicate", with([](Input& in) { in.axes = {"x", "y", "x"}; in.rows = {{0, 0, 0}}; }), duplicate_axis},
        {"row_short", with([](Input& in) { in.rows = {{0.5, 0.5}, {0.5}}; }), ragged},
        {"row_long", with([](Input& in) { in.rows = {{0.5, 0.5, 0.5}}; }), ragged},
        {"row_empty", with([](Input& in) { in.rows = {{0.5, 0.5}, {}}; }), ragged},
        {"value_nan", with([](Input& in) { in.rows = {{0.0, nan}}; }), bad_sample},
        {"value_infinite", with([](Input& in) { in.rows = {{-inf, 0.0}}; }), bad_sample},
        {"value_above_one", with([](Input& in) { in.rows = {{0.0, std::nextafter(1.0, 2.0)}}; }), bad_sample},
        {"value_below_minus_one", with([](Input& in) { in.rows = {{std::nextafter(-1.0, -2.0), 0.0}}; }),
         bad_sample},
        // Precedence: the first failing step wins.
        {"name_before_bpm", with([](Input& in) { in.name = "Bad"; in.bpm = nan; }), bad_identifier},
        {"bpm_before_empty_axes", with([](Input& in) { in.bpm = 0.0; in.axes.clear(); }), bad_timing},
        {"shape_before_axis_names", with([](Input& in) { in.axes = {"x", "x"}; in.rows.clear(); }), bad_shape},
        {"bad_axis_before_duplicate", with([](Input& in) { in.axes = {"x", "x", "Z"}; in.rows = {{0, 0, 0}}; }),
         duplicate_axis},
        {"invalid_axis_before_later_duplicate", with([](Input& in) { in.axes = {"Z", "x", "x"}; in.rows = {{0, 0, 0}}; }),
         bad_identifier},
        {"duplicate_before_ragged", with([](Input& in) { in.axes = {"x", "x"}; in.rows = {{0.5}}; }),
         duplicate_axis},
        {"bad_value_before_later_ragged", with([](Input& in) { in.rows = {{1.5, 0.0}, {0.0}}; }), bad_sample},
        {"ragged_before_its_own_bad_value", with([](Input& in) { in.rows = {{0.0, 0.0}, {nan}}; }), ragged},
        {"ragged_before_later_bad_value", with([](Input& in) { in.rows = {{0.0}, {nan, 0.0}}; }), ragged},
    };
}

class RecordingFailure : public ::testing::TestWithParam<std::tuple<FailureCase, RowForm>> {};

TEST_P(RecordingFailure, ReportsFirstFailingStep) {
    const auto& [c, form] = GetParam();
    EXPECT_EQ(failure_of(c.input, form), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Construction, RecordingFailure,
    ::testing::Combine(::testing::ValuesIn(failure_cases()), ::testing::Values(RowForm::nested, RowForm::flat)),
    [](const auto& test) {
        return std::string(std::get<0>(test.param).label) +
               (std::get<1>(test.param) == RowForm::flat ? "_flat" : "_nested");
    });

class RecordingReadBack : public ::testing::TestWithParam<RowForm> {};

TEST_P(RecordingReadBack, ReturnsStoredDoublesInAxisOrder) {
    Input in;
    in.axes = {"left", "right", "up"};
    in.rows = {{-1.0, 1.0, 0.1}, {std::nextafter(0.0, 1.0), -0.0, 0.3333333333333333}, {0.5, -0.25, 1.0}};
    in.start_pip = -5;
    in.beat_zero_seconds = -3.5;
    const SampledRecording rec = build(in, GetParam());
    EXPECT_EQ(rec.name(), "rec");
    EXPECT_EQ(rec.dimensions(), in.axes);
    EXPECT_EQ(rec.sample_count(), 3);
    EXPECT_EQ(rec.bpm(), 120.0);
    EXPECT_EQ(rec.beat_zero_seconds(), -3.5);
    EXPECT_EQ(rec.start_pip(), -5);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(rec.sample(-5 + r), in.rows[static_cast<std::size_t>(r)]) << "row " << r;
        const std::span<const double> view = rec.row(-5 + r);
        EXPECT_EQ(std::vector<double>(view.begin(), view.end()), in.rows[static_cast<std::size_t>(r)]) << "row " << r;
    }
    EXPECT_TRUE(std::signbit(rec.sample(-4)[1]));
    for (const int outside : {-6, -2}) {
        EXPECT_THROW(rec.sample(outside), std::out_of_range);
        EXPECT_THROW(rec.row(outside), std::out_of_range);
    }
}

INSTANTIATE_TEST_SUITE_P(BothForms, RecordingReadBack, ::testing::Values(RowForm::nested, RowForm::flat));

struct BoundsCase {
    int start_pip;
    int rows;
    int pip;
    bool covered;
};

void PrintTo(const BoundsCase& c, std::ostream* os) {
    *os << "pip " << c.pip << " of " << c.rows << " rows from " << c.start_pip << (c.covered ? " covered" : " outside");
}

class RecordingBounds : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(RecordingBounds, CoversStartToLastRowOnly) {
    const BoundsCase& c = GetParam();
    Input in;
    in.axes = {"x"};
    in.rows.clear();
    for (int r = 0; r < c.rows; ++r) {
        in.rows.push_back({r / 8.0});
    }
    in.start_pip = c.start_pip;
    const SampledRecording rec = build(in, RowForm::nested);
    if (c.covered) {
        EXPECT_EQ(rec.sample(c.pip), std::vector<double>{(c.pip - c.start_pip) / 8.0});
    } else {
        try {
            rec.sample(c.pip);
            FAIL() << "pip " << c.pip << " answered";
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "Pip outside non-looping recording");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Edges, RecordingBounds,
    ::testing::Values(BoundsCase{0, 1, 0, true}, BoundsCase{0, 1, 1, false}, BoundsCase{0, 1, -1, false},
                      BoundsCase{100, 3, 100, true}, BoundsCase{100, 3, 102, true}, BoundsCase{100, 3, 99, false},
                      BoundsCase{100, 3, 103, false}, BoundsCase{INT_MIN, 1, INT_MIN, true},
                      BoundsCase{INT_MIN, 1, INT_MAX, false}, BoundsCase{INT_MIN, 2, INT_MIN + 1, true},
                      BoundsCase{INT_MAX - 1, 1, INT_MAX - 1, true}, BoundsCase{INT_MAX - 1, 1, INT_MAX, false},
                      BoundsCase{INT_MAX - 1, 1, INT_MIN, false}, BoundsCase{-1, 2, INT_MAX, false}));

// A flat block of `rows` rows of `axes` copies of one value.
FlatRows uniform_rows(std::size_t rows, std::size_t axes, double value) {
    FlatRows flat;
    flat.reserve(rows * axes);
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t a = 0; a < axes; ++a) {
            flat.push_value(value);
        }
        flat.end_row();
    }
    return flat;
}

std::vector<std::string> axis_names(std::size_t count) {
    std::vector<std::string> names;
    for (std::size_t a = 0; a < count; ++a) {
        names.push_back("a" + std::to_string(a));
    }
    return names;
}

struct LimitCase {
    std::size_t axes;
    std::size_t rows;
    int start_pip;
    bool accepted;
};

void PrintTo(const LimitCase& c, std::ostream* os) {
    *os << c.rows << " rows of " << c.axes << " axes from " << c.start_pip << (c.accepted ? " accepted" : " refused");
}

class RecordingLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(RecordingLimits, ValueCountAndLastPip) {
    const LimitCase& c = GetParam();
    auto make = [&] { return SampledRecording("big", axis_names(c.axes), uniform_rows(c.rows, c.axes, 0.75), 60.0, 0.0, c.start_pip); };
    if (!c.accepted) {
        EXPECT_THROW(make(), std::invalid_argument);
        return;
    }
    const SampledRecording rec = make();
    const int last = c.start_pip + static_cast<int>(c.rows) - 1;
    EXPECT_EQ(rec.sample_count(), static_cast<int>(c.rows));
    EXPECT_EQ(rec.sample(last), std::vector<double>(c.axes, 0.75));
    EXPECT_THROW(rec.sample(last + 1), std::out_of_range);
}

constexpr int int_max = INT_MAX;
constexpr std::size_t limit = max_recording_values;

INSTANTIATE_TEST_SUITE_P(
    AtAndPast, RecordingLimits,
    ::testing::Values(LimitCase{1, limit, 0, true}, LimitCase{1, limit + 1, 0, false},
                      LimitCase{2, limit / 2, 0, true}, LimitCase{2, limit / 2 + 1, 0, false},
                      LimitCase{8, limit / 8, 0, true}, LimitCase{8, limit / 8 + 1, 0, false},
                      LimitCase{1, limit, int_max - static_cast<int>(limit), true},
                      LimitCase{1, limit, int_max - static_cast<int>(limit) + 1, false}));

TEST(RecordingLimits, OverLimitRefusedBeforeAnyRowIsExamined) {
    // 8 axes, one row past the limit, every row empty and so ragged: the
    // shape is refused before any row's length is looked at.
    const Rows rows(limit / 8 + 1);
    try {
        SampledRecording("big", axis_names(8), rows, 60.0);
        FAIL() << "accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), bad_shape);
    }
}

TEST(FlatRows, GroupsEqualLengthsIntoRuns) {
    FlatRows flat;
    for (const std::size_t length : {2u, 2u, 2u, 1u, 2u, 2u}) {
        for (std::size_t i = 0; i < length; ++i) {
            flat.push_value(0.5);
        }
        flat.end_row();
    }
    ASSERT_EQ(flat.runs().size(), 3u);
    EXPECT_EQ(flat.runs()[0].count, 3u);
    EXPECT_EQ(flat.runs()[1].length, 1u);
    EXPECT_EQ(flat.row_count(), 6u);
    EXPECT_EQ(flat.row_values().size(), 11u);
}

TEST(FlatRows, UnclosedValuesStayOutOfTheRecording) {
    FlatRows flat = flatten({{0.25, 0.5}});
    flat.push_value(2.0);  // never closed into a row
    const SampledRecording rec("rec", {"x", "y"}, std::move(flat), 120.0);
    EXPECT_EQ(rec.sample_count(), 1);
    EXPECT_EQ(rec.sample(0), (std::vector<double>{0.25, 0.5}));
}

}  // namespace
