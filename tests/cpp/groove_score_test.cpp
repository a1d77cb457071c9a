// The groove score reader: what a score means, what it refuses (with file,
// line and reason), and the shipped score of the club and dancefloor packs.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "score.hpp"

namespace {

using kinetrope::packgen::Groove;
using kinetrope::packgen::Instrument;
using kinetrope::packgen::Onset;
using kinetrope::packgen::parse_grooves;

const std::string head =
    "groove tiny\n"                 // line 1
    "  label \"Tiny / test\"\n"     // line 2
    "  period 512\n"                // line 3
    "  dims 2 2 3 3\n"              // line 4
    "  packs club dancefloor\n";    // line 5

std::vector<double> pips_of(const Groove& groove, Instrument instrument, double quieter_than = 2.0) {
    std::vector<double> pips;
    for (const Onset& onset : groove.onsets) {
        if (onset.instrument == instrument && onset.level < quieter_than) {
            pips.push_back(onset.pip);
        }
    }
    return pips;
}

TEST(GrooveScore, GridSwingPlacedRollsAndRepeatedBars) {
    const auto grooves = parse_grooves(head +
                                           "  swing 2/3\n"
                                           "  bar 1\n"
                                           "    kick X... .... ..x. ....  # two-step\n"
                                           "    hat  .g.. .... .... ....\n"
                                           "  bar 2 = 1\n"
                                           "    hat  @s 1+1/3\n"
                                           "    hat  roll g 4+1/2 to 5 in 3\n",
                                       "t.score");
    ASSERT_EQ(grooves.size(), 1u);
    const Groove& g = grooves[0];
    EXPECT_EQ(g.period, 512);
    EXPECT_TRUE(g.in_club);
    EXPECT_EQ(pips_of(g, Instrument::kick), (std::vector<double>{0, 160, 256, 416}));
    EXPECT_EQ(pips_of(g, Instrument::hat), (std::vector<double>{64.0 / 3, 256 + 64.0 / 3, 480, 480 + 32.0 / 3, 480 + 64.0 / 3}));
    EXPECT_DOUBLE_EQ(g.onsets[1].level, 0.25);  // the swung ghost hat
}

struct Malformed {
    const char* case_name;
    std::string text;
    const char* where_and_why;
};

class MalformedScore : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedScore, IsRefusedWithFileLineAndReason) {
    try {
        parse_grooves(GetParam().text, "bad.score");
        FAIL() << "accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind(GetParam().where_and_why, 0), 0u) << e.what();
    }
}

const std::string bars = "  bar 1\n    kick X... .... .... ....\n  bar 2 = 1\n";

INSTANTIATE_TEST_SUITE_P(
    Kinds, MalformedScore,
    testing::Values(
        Malformed{"UnknownKey", head + "  tempo 120\n" + bars, "bad.score:6: unknown key or lane 'tempo'"},
        Malformed{"UnknownLane", head + "  bar 1\n    cowbell x...\n", "bad.score:7: unknown key or lane 'cowbell'"},
        Malformed{"ShortLane", head + "  bar 1\n    kick X... ....\n", "bad.score:7: lane has 8 steps, not 16"},
        Malformed{"LevelCharacter", head + "  bar 1\n    kick X... .... 7... ....\n", "bad.score:7: step 9 has '7'"},
        Malformed{"PlacedPastTheBar", head + "  bar 1\n    hat @x 5\n", "bad.score:7: position '5' lies outside the bar"},
        Malformed{"BarPastTheLoop", head + bars + "  bar 3 = 1\n", "bad.score:9: bar 3 lies outside the 512-pip loop"},
        Malformed{"PeriodNotBars", "groove a\n period 300\n", "bad.score:2: period 300 is not a whole number"},
        Malformed{"DuplicateGroove", head + bars + head, "bad.score:9: groove 'tiny' appears twice"},
        Malformed{"MissingDims", "groove a\n label \"A\"\n period 256\n packs dancefloor\n bar 1\n",
                  "bad.score:1: groove 'a' has no dims"},
        Malformed{"MissingBar", head + "  bar 1\n", "bad.score:1: groove 'tiny' has 1 of its 2 bars"},
        Malformed{"BarsOutOfOrder", head + "  bar 2\n", "bad.score:6: bar 2 where bar 1 comes next"},
        Malformed{"RepeatOfLaterBar", head + "  bar 1 = 1\n", "bad.score:6: bar 1 can only repeat an earlier bar"},
        Malformed{"LaneBeforeBar", head + "  kick X... .... .... ....\n", "bad.score:6: lane 'kick' before its bar"},
        Malformed{"HeaderAfterBars", head + bars + "  swing 2/3\n", "bad.score:9: 'swing' after the bars"},
        Malformed{"HeaderTwice", head + "  period 512\n", "bad.score:6: 'period' given twice"},
        Malformed{"SameMomentTwice", head + "  bar 1\n    kick X... .... .... ....\n    kick @s 1\n",
                  "bad.score:8: two onsets at pip 0"},
        Malformed{"RollBackwards", head + "  bar 1\n    hat roll x 4 to 3 in 3\n", "bad.score:7: a roll must end after"},
        Malformed{"UnclosedLabel", "groove a\n label \"A\n", "bad.score:2: label must be one text"},
        Malformed{"SwingNotBelowOne", head + "  swing 3/2\n", "bad.score:6: swing '3/2' is not a fraction"},
        Malformed{"ExtraOnDancefloorOnly",
                  "groove a\n label \"A\"\n period 256\n dims 3 3 3 3\n packs dancefloor\n extra \"E.\"\n bar 1\n",
                  "bad.score:1: groove 'a': only grooves of both packs"},
        Malformed{"ClubAfterDancefloorOnly",
                  "groove a\n label \"A\"\n period 256\n dims 3 3 3 3\n packs dancefloor\n bar 1\n" + head + bars,
                  "bad.score:7: groove 'tiny' of both packs comes after"},
        Malformed{"NoGroove", "# nothing\n", "bad.score:1: the score holds no groove"}),
    [](const testing::TestParamInfo<Malformed>& param) { return std::string(param.param.case_name); });

// --- The shipped score ------------------------------------------------------

std::vector<Groove> shipped() { return kinetrope::packgen::read_grooves(KINETROPE_GROOVE_SCORE); }

const Groove& groove_named(const std::vector<Groove>& grooves, const std::string& name) {
    const auto found = std::find_if(grooves.begin(), grooves.end(), [&](const Groove& g) { return g.name == name; });
    if (found == grooves.end()) {
        throw std::runtime_error("no groove " + name);
    }
    return *found;
}

TEST(ShippedScore, EveryOnsetInsideItsLoopAscendingWithAudibleLevel) {
    for (const Groove& g : shipped()) {
        EXPECT_FALSE(pips_of(g, Instrument::kick).empty() && pips_of(g, Instrument::snare).empty()) << g.name;
        for (std::size_t i = 0; i < g.onsets.size(); ++i) {
            const Onset& o = g.onsets[i];
            EXPECT_TRUE(o.pip >= 0 && o.pip < g.period && o.level > 0 && o.level <= 1) << g.name << " onset " << i;
            EXPECT_TRUE(i == 0 || g.onsets[i - 1].pip <= o.pip) << g.name << " onset " << i;
        }
    }
}

TEST(ShippedScore, SettledGroovesHoldTheirHits) {
    const auto grooves = shipped();
    const Groove& four = groove_named(grooves, "four_floor");
    EXPECT_EQ(four.onsets.size(), 4u);
    EXPECT_EQ(pips_of(four, Instrument::kick, 1.0), (std::vector<double>{}));  // all at full level
    EXPECT_EQ(pips_of(four, Instrument::kick), (std::vector<double>{0, 64, 128, 192}));
    EXPECT_EQ(pips_of(groove_named(grooves, "house_classic"), Instrument::clap), (std::vector<double>{64, 192, 320, 448}));
}

}  // namespace
