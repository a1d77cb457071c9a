// Invariants of every built-in registry entry and its table, the name index
// and exact-name lookup. Written over the whole registry, so every pack
// added later is held to the same rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

#include "kinetrope/catalogue.hpp"
#include "kinetrope/packs/expansion.hpp"
#include "kinetrope/packs/initial.hpp"
#include "kinetrope/registry.hpp"

namespace {

using kinetrope::Offset3;
using kinetrope::PatternEntry;

constexpr std::size_t computed_rudiment_count = 15;

bool same_bits(const Offset3& a, const Offset3& b) {
    return std::memcmp(&a, &b, sizeof(Offset3)) == 0;
}

bool is_pattern_name(std::string_view name) {
    if (name.size() < 8 || name.size() > 32 || name.front() < 'a' || name.front() > 'z') {
        return false;
    }
    for (const char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) {
            return false;
        }
    }
    return true;
}

// ASCII plus the two dashes (U+2013, U+2014) that descriptions may use.
bool is_description_text(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            continue;
        }
        const std::string_view rest = text.substr(i, 3);
        if (rest != "\u2013" && rest != "\u2014") {
            return false;
        }
        i += 2;
    }
    return true;
}

// The stored double is the nearest double to its value rounded to 12
// decimal places.
bool has_at_most_12_decimals(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.12f", v);
    return std::strtod(text, nullptr) == v;
}

double axis(const Offset3& o, int a) { return a == 0 ? o.x : a == 1 ? o.y : o.z; }

// Each check runs over every entry and names the entry in its failures, so
// one test covers a whole pack however many patterns it holds.
TEST(RegistryEntries, CatalogueFieldsAreWellFormed) {
    for (const PatternEntry& e : kinetrope::pattern_entries()) {
        EXPECT_TRUE(is_pattern_name(e.name)) << e.name;
        EXPECT_GE(e.description.size(), 43u) << e.name;
        EXPECT_LE(e.description.size(), 235u) << e.name;
        EXPECT_TRUE(is_description_text(e.description)) << e.name;
        EXPECT_EQ(e.period_pips % 32, 0) << e.name;
        EXPECT_GE(e.period_pips, 160) << e.name;
        EXPECT_LE(e.period_pips, 1024) << e.name;
        EXPECT_GE(e.dimensions, 1) << e.name;
        EXPECT_LE(e.dimensions, 3) << e.name;
    }
}

TEST(RegistryEntries, SamplerWrapsAtItsPeriod) {
    for (const PatternEntry& e : kinetrope::pattern_entries()) {
        const int period = e.period_pips;
        EXPECT_TRUE(same_bits(e.sampler(period), e.sampler(0))) << e.name;
        EXPECT_TRUE(same_bits(e.sampler(-1), e.sampler(period - 1))) << e.name;
        EXPECT_TRUE(same_bits(e.sampler(-period), e.sampler(0))) << e.name;
        for (int pip = 0; pip < period; ++pip) {
            ASSERT_TRUE(same_bits(e.sampler(pip + 3 * period), e.sampler(pip))) << e.name << " pip " << pip;
        }
    }
}

TEST(RegistryEntries, EveryCoordinateKeepsTheTableFormat) {
    for (const PatternEntry& e : kinetrope::pattern_entries()) {
        for (int pip = 0; pip < e.period_pips; ++pip) {
            const Offset3 o = e.sampler(pip);
            for (int a = 0; a < 3; ++a) {
                const double v = axis(o, a);
                ASSERT_GE(v, -1.0) << e.name << " pip " << pip << " axis " << a;
                ASSERT_LE(v, 1.0) << e.name << " pip " << pip << " axis " << a;
                ASSERT_TRUE(has_at_most_12_decimals(v)) << e.name << " pip " << pip << " axis " << a;
                if (a >= e.dimensions) {
                    ASSERT_EQ(v, 0.0) << e.name << " pip " << pip << " axis " << a;
                    ASSERT_FALSE(std::signbit(v)) << e.name << " pip " << pip << " axis " << a;
                }
            }
        }
    }
}

TEST(RegistryEntries, DispatcherReachesEachEntryByName) {
    for (const PatternEntry& e : kinetrope::pattern_entries()) {
        EXPECT_EQ(kinetrope::find_pattern(e.name), &e) << e.name;
        // A computed rudiment of the same name would shadow the pattern.
        for (const int pip : {0, 1, e.period_pips / 3, -7}) {
            EXPECT_TRUE(same_bits(kinetrope::sample(e.name, pip), e.sampler(pip))) << e.name << " pip " << pip;
        }
    }
}

TEST(RegistryEntries, ProperPrefixesFindOnlyPatternsOfThatExactName) {
    for (const PatternEntry& e : kinetrope::pattern_entries()) {
        for (std::size_t length = 0; length < e.name.size(); ++length) {
            const std::string_view prefix = e.name.substr(0, length);
            const PatternEntry* found = kinetrope::find_pattern(prefix);
            if (found != nullptr) {
                EXPECT_EQ(found->name, prefix) << e.name;
            }
        }
    }
}

TEST(Registry, NamesAreUniqueAndNoneIsAComputedRudiment) {
    const auto& rows = kinetrope::catalogue();
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < computed_rudiment_count; ++i) {
        names.insert(rows[i].name);
    }
    for (const PatternEntry& e : kinetrope::pattern_entries()) {
        EXPECT_TRUE(names.insert(e.name).second) << e.name;
    }
}

// The hash probe and the name-index search must agree on every name near a
// registry name: one byte changed, one byte added or removed at the end.
TEST(RegistryEntries, HashLookupAgreesWithIndexSearchNearEveryName) {
    const auto entries = kinetrope::pattern_entries();
    const auto order = kinetrope::pattern_name_order();
    const auto check = [&](std::string_view name) {
        EXPECT_EQ(kinetrope::find_pattern(name), kinetrope::find_pattern(entries, order, name)) << name;
    };
    for (const PatternEntry& e : entries) {
        std::string name(e.name);
        check(name + "_");
        check(name.substr(0, name.size() - 1));
        for (std::size_t i = 0; i < name.size(); ++i) {
            std::string altered = name;
            altered[i] = static_cast<char>(altered[i] ^ 0x01);
            check(altered);
        }
    }
    std::size_t used = 0;
    for (const std::uint16_t slot : kinetrope::pattern_hash_slots()) {
        used += slot != 0 ? 1 : 0;
    }
    EXPECT_EQ(used, entries.size());
}

TEST(Registry, NameIndexIsAStrictlyAscendingPermutation) {
    const auto entries = kinetrope::pattern_entries();
    const auto order = kinetrope::pattern_name_order();
    ASSERT_EQ(order.size(), entries.size());
    std::set<std::uint64_t> seen(order.begin(), order.end());
    EXPECT_EQ(seen.size(), entries.size());
    EXPECT_TRUE(seen.empty() || *seen.rbegin() < entries.size());
    for (std::size_t k = 1; k < order.size(); ++k) {
        EXPECT_LT(entries[order[k - 1]].name, entries[order[k]].name) << k;
    }
}

TEST(Registry, NamesOutsideTheRegistryAreNotFound) {
    for (const std::string_view name : {"", "lfo_breathe_", "lfo_brea", "LFO_BREATHE", "zzzzzzzz", "a"}) {
        EXPECT_EQ(kinetrope::find_pattern(name), nullptr) << name;
    }
}

TEST(Registry, CatalogueListsEveryEntryAfterTheComputedRudiments) {
    const auto& rows = kinetrope::catalogue();
    const auto entries = kinetrope::pattern_entries();
    ASSERT_EQ(rows.size(), computed_rudiment_count + entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const kinetrope::RudimentInfo& row = rows[computed_rudiment_count + i];
        EXPECT_EQ(row.name, entries[i].name);
        EXPECT_EQ(row.description, entries[i].description);
        EXPECT_EQ(row.period_pips, entries[i].period_pips);
        EXPECT_EQ(row.dimensions, entries[i].dimensions);
    }
}

TEST(Registry, FirstEntryIsLfoBreathe) {
    ASSERT_FALSE(kinetrope::pattern_entries().empty());
    EXPECT_EQ(kinetrope::pattern_entries().front().name, "lfo_breathe");
}

// Native callers read the tables directly through the pack headers.
TEST(PackHeaders, TablesHaveOneEntryPerPip) {
    EXPECT_EQ(std::size(kinetrope_initial::table_lfo_breathe), 256u);
    EXPECT_EQ(std::size(kinetrope_expansion::table_rhythm_group_223), 448u);
    EXPECT_EQ(std::size(kinetrope_expansion::table_lfo_seeded_drift), 1024u);
}

TEST(PackHeaders, SamplerReadsItsOwnTable) {
    EXPECT_EQ(kinetrope_initial::table_lfo_breathe[64].x, 0.8);
    EXPECT_TRUE(same_bits(kinetrope_initial::sample_lfo_breathe(256 + 64), kinetrope_initial::table_lfo_breathe[64]));
    EXPECT_TRUE(same_bits(kinetrope_expansion::sample_path_torus_knot(-1),
                          kinetrope_expansion::table_path_torus_knot[1023]));
    EXPECT_NE(kinetrope_expansion::table_path_torus_knot[100].z, 0.0);
}

}  // namespace
