// Drum grooves: the scores that the club and dancefloor packs render as
// motion. The scores are plain text in data/grooves.score, one block per
// groove, so that a producer can review them; this is their in-memory form.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kinetrope::packgen {

enum class Instrument { kick, snare, clap, hat, percussion, bass };

// One hit of a score: onset pip within the groove's loop (may be
// fractional, for swing, triplet fills and tuplet rolls), instrument and
// level in (0, 1] (ghost notes are quiet hits of their instrument).
struct Onset {
    double pip;
    Instrument instrument;
    double level;
};

struct Groove {
    std::string name;    // the <groove> of beat_<groove>_<motion>
    std::string label;   // e.g. "House / kick-clap-offbeat hat"
    int period = 0;      // 256 pips a bar: 256, 512, 768 or 1024
    std::string extra;   // the club description's extra sentence, or empty
    bool in_club = false;             // one of the grooves of both packs
    std::array<int, 4> dims{};        // of bounce, step, orbit, glide
    std::vector<Onset> onsets;        // ascending pip
};

// Every groove of a score text, in order. A malformed score throws
// std::runtime_error("<file>:<line>: <reason>").
std::vector<Groove> parse_grooves(std::string_view text, const std::string& file_name);

// The same, reading the file.
std::vector<Groove> read_grooves(const std::filesystem::path& score_file);

}  // namespace kinetrope::packgen
