// Exact-name lookup over a small fixture registry whose names are chosen to
// trip a lookup that stops at a prefix, compares signed bytes, or misses
// the first or last position of the index.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "kinetrope/registry.hpp"

namespace {

using kinetrope::Offset3;
using kinetrope::PatternEntry;

Offset3 at_zero(int) noexcept { return {0.0, 0.0, 0.0}; }

// Registry order is deliberately not name order.
constexpr std::array<PatternEntry, 7> fixture{{
    {"lfo_breathe", "d", 256, 1, &at_zero},
    {"lfo_breathe_long", "d", 512, 1, &at_zero},
    {"aaa", "d", 160, 1, &at_zero},
    {"zz\xc3\xa9", "d", 160, 1, &at_zero},  // bytes >= 128 sort after ASCII
    {"lfo_b", "d", 160, 1, &at_zero},
    {"zz", "d", 160, 1, &at_zero},
    {"lfo_breathf", "d", 160, 1, &at_zero},
}};
// Positions in ascending byte order of the names.
constexpr std::array<std::uint64_t, 7> fixture_order{{2, 4, 0, 1, 6, 5, 3}};

const PatternEntry* lookup(const std::string& name) {
    return kinetrope::find_pattern(fixture, fixture_order, name);
}

TEST(RegistryLookup, FixtureIndexIsSortedByBytes) {
    for (std::size_t i = 1; i < fixture_order.size(); ++i) {
        EXPECT_LT(fixture[fixture_order[i - 1]].name, fixture[fixture_order[i]].name);
    }
}

TEST(RegistryLookup, FindsEveryNameIncludingFirstAndLast) {
    for (const PatternEntry& entry : fixture) {
        EXPECT_EQ(lookup(std::string(entry.name)), &entry) << entry.name;
    }
}

class NotInRegistry : public ::testing::TestWithParam<std::string> {};

TEST_P(NotInRegistry, FindsNothing) { EXPECT_EQ(lookup(GetParam()), nullptr) << GetParam(); }

INSTANTIATE_TEST_SUITE_P(
    NearMisses, NotInRegistry,
    ::testing::Values("", "a", "aa", "aaaa", "lfo_", "lfo_breath", "lfo_breathe_", "lfo_breathe_longer",
                      "lfo_breathd", "lfo_breathg", "lfo_bz", "zz\xc3", "zz\xc3\xa9\x80", "zz\xc3\xaa", "zza",
                      "zzz", "\xff", std::string("aaa\0", 4), "LFO_BREATHE"));

TEST(RegistryLookup, EmptyIndexFindsNothing) {
    EXPECT_EQ(kinetrope::find_pattern({}, {}, "aaa"), nullptr);
}

}  // namespace
