// Name dispatch: exact matching, the unknown-name error, the catalogue's
// one-time construction, and allocation-free lookups.
#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.hpp"
#include "kinetrope/catalogue.hpp"
#include "kinetrope/registry.hpp"
#include "kinetrope/rudiments.hpp"

namespace {

class UnknownName : public ::testing::TestWithParam<std::string> {};

TEST_P(UnknownName, ThrowsWithTheNameAppended) {
    const std::string& name = GetParam();
    try {
        kinetrope::sample(name, 0);
        FAIL() << "no exception for '" << name << "'";
    } catch (const kinetrope::UnknownMotion& e) {
        // what() is a C string that ends at a NUL byte of the name; the
        // message keeps every byte.
        EXPECT_STREQ(e.what(), ("Unknown kinetrope: " + name).c_str());
        EXPECT_EQ(e.message(), "Unknown kinetrope: " + name);
        EXPECT_EQ(kinetrope::find_motion(name), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(NearMisses, UnknownName,
                         ::testing::Values("", "Bounce", "bounce ", " bounce", "bounc", "bouncee", "flamm",
                                           "fla", "multiple_bounce_roll_", "single_stroke_rol",
                                           "varn_backgroun", std::string("bounce\0", 7), "\xff", "no_such"));

TEST(Dispatch, EveryCatalogueNameIsAcceptedAndLoops) {
    for (const kinetrope::RudimentInfo& row : kinetrope::catalogue()) {
        for (const int pip : {-1, 0, 17, 1000}) {
            const kinetrope::Offset3 a = kinetrope::sample(row.name, pip);
            const kinetrope::Offset3 b = kinetrope::sample(row.name, pip + row.period_pips);
            EXPECT_EQ(a.x, b.x);
            EXPECT_EQ(a.y, b.y);
            EXPECT_EQ(a.z, b.z);
        }
    }
}

TEST(Dispatch, CatalogueIsOneListInRegistryOrder) {
    const auto& rows = kinetrope::catalogue();
    EXPECT_EQ(&rows, &kinetrope::catalogue());
    const auto entries = kinetrope::pattern_entries();
    ASSERT_EQ(rows.size(), 15 + entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(rows[15 + i].name, entries[i].name);
        EXPECT_EQ(rows[15 + i].description.data(), entries[i].description.data());  // a view, not a copy
    }
}

TEST(Dispatch, LookupsAllocateNothing) {
    kinetrope::Offset3 sink{};
    const auto& rows = kinetrope::catalogue();  // built outside the measurement
    const std::size_t count = kinetrope::testing::allocations_during([&] {
        for (const kinetrope::RudimentInfo& row : rows) {
            for (int pip = -3; pip < 300; pip += 7) {
                const kinetrope::Offset3 o = kinetrope::sample(row.name, pip);
                sink.x += o.x;
            }
        }
        (void)kinetrope::catalogue();
    });
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(sink.x == sink.x);
}

// Runs in a child process so that this is truly the first call of catalogue().
TEST(DispatchDeathTest, FirstCatalogueCallFromManyThreadsBuildsOneList) {
    auto race = [] {
        constexpr int threads = 8;
        std::array<const std::vector<kinetrope::RudimentInfo>*, threads> seen{};
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t) {
            pool.emplace_back([&seen, t] { seen[static_cast<std::size_t>(t)] = &kinetrope::catalogue(); });
        }
        for (auto& th : pool) th.join();
        for (const auto* list : seen) {
            if (list != seen[0] || list->size() != 15 + kinetrope::pattern_entries().size()) std::_Exit(1);
        }
        std::_Exit(0);
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, catalogue not yet built
    EXPECT_EXIT(race(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
