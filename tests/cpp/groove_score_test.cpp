// The groove score reader: what a score means, what it refuses (with file,
// line and reason), and the shipped score of the club and dancefloor packs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <stdexcept>
#include <ostream>
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
    EXPECT_EQ(pips_of(g, Instrument::hat),
              (std::vector<double>{64.0 / 3, 256 + 64.0 / 3, 480, 480 + 32.0 / 3, 480 + 64.0 / 3}));
    EXPECT_DOUBLE_EQ(g.onsets[1].level, 0.25);  // the swung ghost hat
}

struct Malformed {
    const char* case_name;
    std::string text;
    const char* where_and_why;
};

// A case prints as its name, which also names it in the test list.
void PrintTo(const Malformed& c, std::ostream* os) { *os << c.case_name; }

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
        Malformed{"PlacedPastTheBar", head + "  bar 1\n    hat @x 5\n",
                  "bad.score:7: position '5' lies outside the bar"},
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
        Malformed{"RollBackwards", head + "  bar 1\n    hat roll x 4 to 3 in 3\n",
                  "bad.score:7: a roll must end after"},
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

struct Listed {
    const char* name;
    const char* label;
    int period;
    std::array<int, 4> dims;
    bool in_club;
    const char* extra;
};

// Every groove in registry order: the grooves of both packs, then those of
// the dancefloor pack only.
const Listed listed[] = {
    {"four_floor", "Four to the floor / bare pulse", 256, {2, 2, 2, 3}, true,
     "Equal quarter-note kicks only. This shared foundation is not itself a complete genre."},
    {"house_classic", "House / kick-clap-offbeat hat", 512, {2, 2, 3, 3}, true, nullptr},
    {"house_shuffle", "House / shuffled hats", 512, {2, 2, 3, 3}, true, nullptr},
    {"house_jack", "Jackin house / ghost-kick turnaround", 512, {2, 2, 3, 3}, true,
     "Original swung variant: extra ghost kicks and claps; not a transcription of a named track."},
    {"techno_drive", "Techno / straight driving pulse", 512, {2, 2, 3, 3}, true, nullptr},
    {"techno_toms", "Techno / tom conversation", 512, {2, 2, 3, 3}, true, nullptr},
    {"techno_broken", "Techno / broken kick study", 512, {2, 2, 3, 3}, true,
     "A deliberately broken alternative; not all techno uses a quarter-note kick."},
    {"techno_polymeter", "Techno / three-step percussion cycle", 768, {2, 2, 3, 3}, true,
     "Original three-sixteenth percussion cycle over 4/4: both layers close after three bars."},
    {"ukg_two_step", "UK garage / two-step foundation", 512, {2, 2, 3, 3}, true,
     "Backbeats on 2/4; the second kick sits on the & of 3. Off-grid hats supply shuffle."},
    {"ukg_skip", "UK garage / skipping answer", 512, {2, 2, 3, 3}, true, nullptr},
    {"ukg_four_four", "UK garage / four-four shuffle", 512, {2, 2, 3, 3}, true,
     "Garage also has a four-to-the-floor branch; it is not all two-step."},
    {"speed_garage", "Speed garage / offbeat bass answers", 512, {3, 3, 3, 3}, true,
     "Bass onsets are included as movement cues. Audio uses a simple synth, not a sampled Tarnel patch."},
    {"bassline", "Bassline / syncopated low-end hooks", 512, {3, 3, 3, 3}, true, nullptr},
    {"grime_sparse", "Grime / sparse square-cut backbeat", 512, {2, 2, 3, 3}, true, nullptr},
    {"grime_syncopated", "Grime / displaced snare conversation", 512, {2, 2, 3, 3}, true,
     "A 140 BPM syncopated study; grime has no single mandatory snare pattern."},
    {"grime_half", "Grime / half-time negative space", 512, {3, 3, 3, 3}, true, nullptr},
    {"drill_tresillo", "UK drill / grouped hats", 512, {3, 3, 3, 3}, true,
     "3+3+2 sixteenth grouping is not a tuplet: the grid here remains straight."},
    {"drill_displaced", "UK drill / moving second-bar snare", 512, {3, 3, 3, 3}, true,
     "Snare: beat 3 in bar one, beat 4 in bar two. This is one common design, not a rule for all drill."},
    {"drill_rolls", "UK drill / true triplet hat fill", 512, {3, 3, 3, 3}, true,
     "The added hat fill uses rational tuplets; grouped hats and triplet rolls remain distinct concepts."},
    {"amen_four_bar", "Amen / four-bar structural study", 1024, {3, 3, 3, 3}, true,
     "Dravelund / The Ossarines, Amen, Brother. Four bars, not a generic 2-bar loop. "
     "Timing/velocity are approximations; no original recording or measured human microtiming."},
    {"amen_no_ghosts", "Amen / remove the ghost snares", 1024, {3, 3, 3, 3}, true,
     "A/B study: only quiet snares removed. This deliberately simplified version is not the complete Amen."},
    {"jungle_chops", "Jungle / rearranged break fragments", 512, {2, 2, 3, 3}, true,
     "Original chopped-break-style arrangement, not the original Amen sequence."},
    {"jungle_ghosts", "Jungle / ghosts and snare rolls", 512, {2, 2, 3, 3}, true, nullptr},
    {"jungle_switch", "Jungle / full-time to half-time answer", 1024, {2, 2, 3, 3}, true,
     "Four-bar original phrase: the final half uses fewer main snares, not a tempo change."},
    {"dnb_two_step", "Drum & bass / two-step foundation", 512, {2, 2, 3, 3}, true, nullptr},
    {"dnb_rolling", "Drum & bass / rolling ghosts", 512, {2, 2, 3, 3}, true, nullptr},
    {"dnb_half", "Drum & bass / half-time space", 512, {3, 3, 3, 3}, true, nullptr},
    {"dubstep_half", "Dubstep / half-step anchor", 512, {3, 3, 3, 3}, true, nullptr},
    {"dubstep_skip", "Dubstep / skippy half-step", 512, {3, 3, 3, 3}, true, nullptr},
    {"trap_trills", "Trap / half-time and hat trills", 512, {3, 3, 3, 3}, true, nullptr},
    {"electro", "Electro / broken machine groove", 512, {2, 2, 3, 3}, true, nullptr},
    {"trance", "Trance / offbeat lift", 512, {3, 3, 3, 3}, true,
     "Offbeat bass/pulse is included. A rhythmic sketch cannot supply trance harmony, timbre or arrangement."},
    {"rave_breaks", "Rave / four-floor plus break layer", 512, {2, 2, 3, 3}, true, nullptr},
    {"dembow", "Reggaeton / dembow answer", 512, {2, 2, 3, 3}, true,
     "Quarter-note kick version with offbeat snare answers; one useful dembow foundation, not every dancehall rhythm."},
    {"disco", "Disco / lively hat accents", 512, {2, 2, 3, 3}, true, nullptr},
    {"amapiano", "Amapiano / shaker and bass-percussion study", 512, {3, 3, 3, 3}, true,
     "An original percussion and log-drum-style bass rhythm. Pitched bass is a cue lane, not a downloaded sample."},
    {"jersey_five", "Jersey / five-kick foundation", 512, {2, 2, 3, 3}, false, nullptr},
    {"jersey_call", "Jersey / call and turnaround", 512, {3, 3, 3, 3}, false, nullptr},
    {"footwork_triplet", "Footwork / triplet bass reply", 512, {3, 3, 3, 3}, false, nullptr},
    {"footwork_sparse", "Footwork / interrupted half-time", 512, {3, 3, 3, 3}, false, nullptr},
    {"funky_toms", "UK funky / tom-led skips", 512, {3, 3, 3, 3}, false, nullptr},
    {"funky_syncopated", "UK funky / broken response", 512, {3, 3, 3, 3}, false, nullptr},
    {"broken_push", "Broken beat / early-and-late answers", 512, {3, 3, 3, 3}, false, nullptr},
    {"broken_shuffle", "Broken beat / shuffled rim circuit", 512, {3, 3, 3, 3}, false, nullptr},
    {"afro_bell", "Afro house / bell and kick weave", 512, {3, 3, 3, 3}, false, nullptr},
    {"afro_cross", "Afro house / three-over-four percussion", 512, {3, 3, 3, 3}, false, nullptr},
    {"gqom_space", "Gqom / broken-kick space study", 512, {3, 3, 3, 3}, false, nullptr},
    {"gqom_exchange", "Gqom / staggered drum exchange", 512, {3, 3, 3, 3}, false, nullptr},
    {"baile_toms", "Baile funk / low-drum conversation", 512, {2, 2, 3, 3}, false, nullptr},
    {"baile_response", "Baile funk / syncopated answer", 512, {3, 3, 3, 3}, false, nullptr},
    {"reggae_one_drop", "Reggae / one-drop foundation", 512, {3, 3, 3, 3}, false, nullptr},
    {"reggae_steppers", "Dub / steppers foundation", 512, {3, 3, 3, 3}, false, nullptr},
    {"reggae_rockers", "Reggae / kick-on-one-and-three study", 512, {3, 3, 3, 3}, false, nullptr},
    {"son_clave_32", "Latin club / 3-2 son clave", 512, {3, 3, 3, 3}, false, nullptr},
    {"son_clave_23", "Latin club / 2-3 son clave", 512, {3, 3, 3, 3}, false, nullptr},
    {"psy_rolling", "Psy / straight rolling bass gaps", 512, {3, 3, 3, 3}, false, nullptr},
    {"psy_offbeat", "Trance / offbeat bass exchange", 512, {3, 3, 3, 3}, false, nullptr},
    {"hard_reverse", "Hard dance / delayed bass swell cues", 512, {3, 3, 3, 3}, false, nullptr},
    {"italo_machine", "Italo / machine rim conversation", 512, {3, 3, 3, 3}, false, nullptr},
    {"electro_robot", "Electro / asymmetric machine break", 512, {3, 3, 3, 3}, false, nullptr},
    {"acid_percussion", "Acid house / syncopated machine accents", 512, {3, 3, 3, 3}, false, nullptr},
    {"techno_rumble", "Techno / delayed low-end answer", 512, {3, 3, 3, 3}, false, nullptr},
    {"ukg_rim_shuffle", "Garage / rim-led skipping pocket", 512, {3, 3, 3, 3}, false, nullptr},
    {"dnb_push", "DnB / kick pickup and ghost reply", 512, {3, 3, 3, 3}, false, nullptr},
    {"jungle_switchback", "Jungle / two-bar switchback", 512, {3, 3, 3, 3}, false, nullptr},
    {"amapiano_answer", "Amapiano / log-like bass answer", 512, {3, 3, 3, 3}, false, nullptr},
    {"dancehall_space", "Dancehall / spacious offbeat replies", 512, {3, 3, 3, 3}, false, nullptr},
    {"dembow_push", "Reggaeton / dembow with pickup answer", 512, {3, 3, 3, 3}, false, nullptr},
};

TEST(ShippedScore, ListsEveryGrooveInRegistryOrder) {
    const auto grooves = shipped();
    ASSERT_EQ(grooves.size(), std::size(listed));
    for (std::size_t i = 0; i < grooves.size(); ++i) {
        const Groove& g = grooves[i];
        const Listed& l = listed[i];
        EXPECT_EQ(g.name, l.name);
        EXPECT_EQ(g.label, l.label) << l.name;
        EXPECT_EQ(g.period, l.period) << l.name;
        EXPECT_EQ(g.dims, l.dims) << l.name;
        EXPECT_EQ(g.in_club, l.in_club) << l.name;
        EXPECT_EQ(g.extra, l.extra ? l.extra : "") << l.name;
    }
}

bool on_sixteenths(const std::vector<double>& pips) {
    return std::all_of(pips.begin(), pips.end(), [](double p) { return p == 16 * std::floor(p / 16); });
}

std::size_t count_between(const std::vector<double>& pips, double from, double to) {
    return static_cast<std::size_t>(
        std::count_if(pips.begin(), pips.end(), [&](double p) { return p >= from && p < to; }));
}

// The hits that make each style recognisable.
TEST(ShippedScore, StylesKeepTheirDefiningHits) {
    const auto grooves = shipped();
    const auto pips = [&](const char* name, Instrument instrument, double quieter_than = 2.0) {
        return pips_of(groove_named(grooves, name), instrument, quieter_than);
    };
    EXPECT_EQ(groove_named(grooves, "four_floor").onsets.size(), 4u);
    EXPECT_EQ(pips("four_floor", Instrument::kick), (std::vector<double>{0, 64, 128, 192}));
    EXPECT_TRUE(pips("four_floor", Instrument::kick, 1.0).empty());  // every kick at full level
    EXPECT_EQ(pips("house_classic", Instrument::clap), (std::vector<double>{64, 192, 320, 448}));
    EXPECT_EQ(pips("ukg_two_step", Instrument::kick), (std::vector<double>{0, 160, 256, 416}));
    EXPECT_FALSE(on_sixteenths(pips("ukg_two_step", Instrument::hat)));
    EXPECT_EQ(pips("drill_displaced", Instrument::snare), (std::vector<double>{128, 448}));
    EXPECT_TRUE(on_sixteenths(pips("drill_tresillo", Instrument::hat)));
    EXPECT_FALSE(on_sixteenths(pips("drill_rolls", Instrument::hat)));
    EXPECT_EQ(pips("son_clave_32", Instrument::percussion), (std::vector<double>{0, 96, 192, 320, 384}));
    EXPECT_EQ(pips("son_clave_23", Instrument::percussion), (std::vector<double>{64, 128, 256, 352, 448}));
    EXPECT_EQ(pips("reggae_one_drop", Instrument::kick), (std::vector<double>{128, 384}));
    EXPECT_EQ(pips("dembow", Instrument::snare), (std::vector<double>{48, 96, 176, 224, 304, 352, 432, 480}));

    std::vector<double> cycle(16);
    for (std::size_t k = 0; k < cycle.size(); ++k) {
        cycle[k] = 48.0 * static_cast<double>(k);  // every third sixteenth, closing at 768
    }
    EXPECT_EQ(pips("techno_polymeter", Instrument::percussion), cycle);

    const auto main_snares = pips("jungle_switch", Instrument::snare);
    const auto ghosts = pips("jungle_switch", Instrument::snare, 0.3);
    EXPECT_LT(count_between(main_snares, 512, 1024) - count_between(ghosts, 512, 1024),
              count_between(main_snares, 0, 512) - count_between(ghosts, 0, 512));
}

TEST(ShippedScore, AmenWithoutGhostsDropsOnlyTheQuietSnares) {
    const auto grooves = shipped();
    const Groove& amen = groove_named(grooves, "amen_four_bar");
    std::vector<Onset> expected;
    std::copy_if(amen.onsets.begin(), amen.onsets.end(), std::back_inserter(expected),
                 [](const Onset& o) { return o.instrument != Instrument::snare || o.level > 0.3; });
    ASSERT_LT(expected.size(), amen.onsets.size());
    const Groove& plain = groove_named(grooves, "amen_no_ghosts");
    ASSERT_EQ(plain.onsets.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(plain.onsets[i].pip == expected[i].pip && plain.onsets[i].instrument == expected[i].instrument &&
                    plain.onsets[i].level == expected[i].level)
            << "onset " << i;
    }
}

}  // namespace
