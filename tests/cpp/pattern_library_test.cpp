#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "allocation_counter.hpp"
#include "kinetrope/catalogue.hpp"
#include "kinetrope/pattern_library.hpp"
#include "kinetrope/rudiments.hpp"

namespace {

using kinetrope::Offset3;
using kinetrope::PatternLibrary;
using kinetrope::RudimentInfo;
using kinetrope::SampledPattern;
using Patterns = std::vector<SampledPattern>;

constexpr const char* accepted = "(accepted)";

// The message of the std::invalid_argument that building the library
// throws, or `accepted`; any other exception escapes and fails the test.
std::string refusal_of(Patterns patterns) {
    try {
        PatternLibrary library(std::move(patterns));
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return accepted;
}

bool same_bits(const Offset3& a, const Offset3& b) {
    return std::memcmp(&a, &b, sizeof(Offset3)) == 0;
}

bool same_row(const RudimentInfo& a, const RudimentInfo& b) {
    return a.name == b.name && a.description == b.description && a.period_pips == b.period_pips &&
           a.dimensions == b.dimensions;
}

// A pattern whose sample i has x = i / count, so every pip is told apart.
SampledPattern ramp(std::string name, std::size_t count) {
    std::vector<Offset3> samples(count, Offset3{0.0, 0.0, 0.0});
    for (std::size_t i = 0; i < count; ++i) {
        samples[i].x = static_cast<double>(i) / static_cast<double>(count);
    }
    return SampledPattern(std::move(name), "ramp", std::move(samples));
}

SampledPattern moved_from() {
    SampledPattern pattern = ramp("gone", 4);
    SampledPattern taker = std::move(pattern);
    return pattern;  // the emptied source, moved on again: still moved-from
}

const RudimentInfo& builtin_row(std::string_view name) {
    const auto& rows = kinetrope::catalogue();
    return *std::ranges::find(rows, name, &RudimentInfo::name);
}

// The built-in motion `name` rebuilt sample for sample, with its own
// description and period: an exact copy of a default pattern.
std::vector<Offset3> builtin_samples(std::string_view name) {
    std::vector<Offset3> samples;
    for (int pip = 0; pip < builtin_row(name).period_pips; ++pip) {
        samples.push_back(kinetrope::sample(name, pip));
    }
    return samples;
}

SampledPattern builtin_copy(std::string_view name) {
    return SampledPattern(std::string(name), std::string(builtin_row(name).description), builtin_samples(name));
}

// Built by appending: "stem" + std::to_string(i) trips a false -Wrestrict
// in g++ 12.
std::string indexed_name(std::string stem, std::size_t index) {
    stem.append(std::to_string(index));
    return stem;
}

Patterns numbered(std::size_t count) {
    Patterns patterns;
    for (std::size_t i = 0; i < count; ++i) {
        patterns.push_back(ramp(indexed_name("p", i), 2));
    }
    return patterns;
}

// 16 patterns of 65535 samples (1,048,560 in all) followed by `last`.
Patterns near_size_limit(SampledPattern last) {
    Patterns patterns;
    for (std::size_t i = 0; i < 16; ++i) {
        patterns.push_back(ramp(indexed_name("big", i), 65535));
    }
    patterns.push_back(std::move(last));
    return patterns;
}

TEST(LibraryLimits, PatternCount) {
    EXPECT_EQ(refusal_of(numbered(1024)), accepted);
    EXPECT_EQ(refusal_of(numbered(1025)), "Too many patterns");

    Patterns last_moved_from = numbered(1024);
    last_moved_from.push_back(moved_from());
    EXPECT_EQ(refusal_of(std::move(last_moved_from)), "Too many patterns");

    Patterns all_same(1025, ramp("same", 1));
    EXPECT_EQ(refusal_of(std::move(all_same)), "Too many patterns");
}

TEST(LibraryLimits, SampleTotalReachedExactlyOrPassed) {
    EXPECT_EQ(refusal_of(near_size_limit(ramp("last", 16))), accepted);
    EXPECT_EQ(refusal_of(near_size_limit(ramp("last", 17))), "Pattern pack is too large");
}

TEST(LibraryLimits, SampleTotalCountsLeftOutCopies) {
    EXPECT_EQ(refusal_of(near_size_limit(builtin_copy("bounce"))), "Pattern pack is too large");
}

TEST(LibraryLimits, SizeFailureComesBeforeLaterFaults) {
    Patterns later_duplicate = near_size_limit(ramp("last", 17));
    later_duplicate.push_back(ramp("big0", 1));
    EXPECT_EQ(refusal_of(std::move(later_duplicate)), "Pattern pack is too large");

    Patterns later_moved_from = near_size_limit(ramp("last", 17));
    later_moved_from.push_back(moved_from());
    EXPECT_EQ(refusal_of(std::move(later_moved_from)), "Pattern pack is too large");

    // The size test also runs before the pattern is compared with the defaults.
    EXPECT_EQ(refusal_of(near_size_limit(ramp("bounce", 64))), "Pattern pack is too large");
}

using Maker = std::function<SampledPattern()>;

const Maker my_pattern = [] { return ramp("my_pattern", 3); };
const Maker other_pattern = [] { return ramp("other", 3); };
const Maker bounce_copy = [] { return builtin_copy("bounce"); };
const Maker bounce_ramp = [] { return ramp("bounce", 64); };
const Maker gone = moved_from;

struct PackCase {
    const char* label;
    std::vector<Maker> makers;
    std::string message;
};

class LibraryPackRules : public ::testing::TestWithParam<PackCase> {};

TEST_P(LibraryPackRules, FirstFaultInInputOrder) {
    Patterns patterns;
    for (const Maker& make : GetParam().makers) {
        patterns.push_back(make());
    }
    EXPECT_EQ(refusal_of(std::move(patterns)), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LibraryPackRules,
    ::testing::Values(PackCase{"Empty", {}, accepted}, PackCase{"Distinct", {my_pattern, other_pattern}, accepted},
                      PackCase{"Duplicate", {my_pattern, my_pattern}, "Duplicate pattern name: my_pattern"},
                      PackCase{"DuplicateCopies", {bounce_copy, bounce_copy}, "Duplicate pattern name: bounce"},
                      PackCase{"MovedFromFirst", {gone, my_pattern}, "Empty/moved-from pattern"},
                      PackCase{"MovedFromBeforeDuplicate", {my_pattern, gone, my_pattern}, "Empty/moved-from pattern"},
                      PackCase{"DuplicateBeforeOverride", {my_pattern, my_pattern, bounce_ramp},
                               "Duplicate pattern name: my_pattern"},
                      PackCase{"OverrideBeforeDuplicate", {bounce_ramp, my_pattern, my_pattern},
                               "Cannot override default pattern: bounce"},
                      PackCase{"ExactCopyOfDefault", {my_pattern, bounce_copy}, accepted}),
    [](const auto& test) { return std::string(test.param.label); });

struct OverrideCase {
    const char* label;
    std::function<void(std::string& description, std::vector<Offset3>& samples)> change;
};

// Cases print as their labels, which also name them in the test list.
void PrintTo(const PackCase& c, std::ostream* os) { *os << c.label; }
void PrintTo(const OverrideCase& c, std::ostream* os) { *os << c.label; }

class LibraryOverride : public ::testing::TestWithParam<OverrideCase> {};

// Anything short of an exact copy of the built-in is refused.
TEST_P(LibraryOverride, DifferentPatternUnderBuiltinName) {
    std::string description(builtin_row("bounce").description);
    std::vector<Offset3> samples = builtin_samples("bounce");
    GetParam().change(description, samples);
    Patterns patterns;
    patterns.push_back(SampledPattern("bounce", std::move(description), std::move(samples)));
    EXPECT_EQ(refusal_of(std::move(patterns)), "Cannot override default pattern: bounce");
}

INSTANTIATE_TEST_SUITE_P(
    Changes, LibraryOverride,
    ::testing::Values(
        OverrideCase{"LastBitOfX", [](std::string&, auto& s) { s[17].x = std::nextafter(s[17].x, 2.0); }},
        OverrideCase{"LastBitOfZOnLastPip", [](std::string&, auto& s) { s.back().z = std::nextafter(0.0, 1.0); }},
        OverrideCase{"Description", [](std::string& d, auto&) { d += ' '; }},
        OverrideCase{"EmptyDescription", [](std::string& d, auto&) { d.clear(); }},
        OverrideCase{"ShorterPeriod", [](std::string&, auto& s) { s.pop_back(); }},
        OverrideCase{"LoopTwice", [](std::string&, auto& s) {
                         const std::vector<Offset3> loop = s;
                         s.insert(s.end(), loop.begin(), loop.end());
                     }}),
    [](const auto& test) { return std::string(test.param.label); });

// Every built-in motion can be copied exactly, and the copy is left out so
// that the built-in keeps answering for its name.
TEST(LibraryDefaults, ExactCopyOfEveryBuiltinIsLeftOut) {
    const auto& builtins = kinetrope::catalogue();
    for (const RudimentInfo& row : builtins) {
        Patterns patterns;
        patterns.push_back(builtin_copy(row.name));
        const PatternLibrary library(std::move(patterns));
        ASSERT_EQ(library.catalogue().size(), builtins.size()) << row.name;
        EXPECT_TRUE(same_bits(library.sample(row.name, -1), kinetrope::sample(row.name, -1))) << row.name;
    }
}

TEST(LibrarySample, OwnPatternsThenBuiltins) {
    Patterns patterns;
    patterns.push_back(ramp("wave_a", 4));
    patterns.push_back(builtin_copy("helix"));
    patterns.push_back(ramp("wave_bb", 8));
    const PatternLibrary library(std::move(patterns));

    const SampledPattern reference = ramp("wave_a", 4);
    for (const int pip : {0, 3, 4, -1, -4, 2147483647, -2147483647 - 1}) {
        EXPECT_TRUE(same_bits(library.sample("wave_a", pip), reference.sample(pip))) << pip;
        EXPECT_TRUE(same_bits(library.sample("helix", pip), kinetrope::helix(pip))) << pip;
        EXPECT_TRUE(same_bits(library.sample("bounce", pip), kinetrope::bounce(pip))) << pip;
    }
    EXPECT_EQ(library.sample("wave_bb", 9).x, 1.0 / 8.0);
    // Only the library's own patterns are its own: not a left-out copy of a
    // built-in, nor a built-in.
    ASSERT_NE(library.own_pattern("wave_bb"), nullptr);
    EXPECT_EQ(library.own_pattern("wave_bb")->info().name, "wave_bb");
    for (const std::string_view name : {"helix", "bounce", "wave_b", "no_such"}) {
        EXPECT_EQ(library.own_pattern(name), nullptr) << name;
    }
}

TEST(LibrarySample, UnknownNameFailsLikeDispatcher) {
    const PatternLibrary library(numbered(3));
    for (const std::string_view name : {"no_such", "p3", "p", "p00", ""}) {
        try {
            library.sample(name, 0);
            ADD_FAILURE() << name;
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(error.what(), "Unknown kinetrope: " + std::string(name));
        }
    }
}

TEST(LibraryCatalogue, BuiltinsThenKeptPatternsInInputOrder) {
    Patterns patterns;
    patterns.push_back(ramp("zeta", 5));
    patterns.push_back(builtin_copy("bounce"));
    patterns.push_back(SampledPattern("alpha", "", {{0.0, 0.0, 0.5}}));
    const PatternLibrary library(std::move(patterns));

    const auto& builtins = kinetrope::catalogue();
    const std::vector<RudimentInfo> rows = library.catalogue();
    ASSERT_EQ(rows.size(), builtins.size() + 2);
    EXPECT_TRUE(std::equal(builtins.begin(), builtins.end(), rows.begin(), same_row));
    EXPECT_TRUE(same_row(rows[builtins.size()], RudimentInfo{"zeta", "ramp", 5, 1}));
    EXPECT_TRUE(same_row(rows[builtins.size() + 1], RudimentInfo{"alpha", "", 1, 3}));
    EXPECT_EQ(std::ranges::count(rows, std::string_view("bounce"), &RudimentInfo::name), 1);
}

TEST(LibraryCatalogue, EmptyLibraryIsTheBuiltinCatalogue) {
    const std::vector<RudimentInfo> rows = PatternLibrary().catalogue();
    const auto& builtins = kinetrope::catalogue();
    ASSERT_EQ(rows.size(), builtins.size());
    EXPECT_TRUE(std::equal(builtins.begin(), builtins.end(), rows.begin(), same_row));
}

TEST(LibraryAllocation, SampleAllocatesNothing) {
    Patterns patterns = numbered(1023);
    patterns.push_back(ramp("last_of_many", 7));
    const PatternLibrary library(std::move(patterns));
    const std::string_view builtin = kinetrope::catalogue().back().name;

    double total = 0.0;
    const std::size_t allocations = kinetrope::testing::allocations_during([&] {
        for (int pip = -100; pip < 100; ++pip) {
            total += library.sample("last_of_many", pip).x;
            total += library.sample("p0", pip).x;
            total += library.sample("bounce", pip).x;
            total += library.sample(builtin, pip).y;
        }
    });
    EXPECT_EQ(allocations, 0u);
    EXPECT_NE(total, 0.0);

    // The counter does see allocations: an unknown name builds its message.
    const std::size_t failing = kinetrope::testing::allocations_during([&] {
        EXPECT_THROW(library.sample("a_name_that_no_pattern_or_builtin_has", 0), std::invalid_argument);
    });
    EXPECT_GT(failing, 0u);
}

}  // namespace
