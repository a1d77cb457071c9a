// Reads the plain-text groove scores (the format is described at the top of
// data/grooves.score). Every malformation is refused with its file, line and
// reason; nothing is guessed or repaired.
#include "score.hpp"

#include <algorithm>
#include <charconv>
#include <compare>
#include <cstdint>
#include <fstream>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace kinetrope::packgen {

namespace {
namespace score_local {

constexpr std::int64_t pips_per_beat = 64;
constexpr std::int64_t beats_per_bar = 4;
constexpr std::int64_t pips_per_bar = pips_per_beat * beats_per_bar;
constexpr int longest_period_in_bars = 4;
constexpr int longest_roll = 64;

// A non-negative exact fraction, always in lowest terms with a positive
// denominator, so that equal values compare equal member by member.
struct Fraction {
    std::int64_t num = 0;
    std::int64_t den = 1;

    friend auto operator<=>(const Fraction& a, const Fraction& b) { return a.num * b.den <=> b.num * a.den; }
    friend bool operator==(const Fraction& a, const Fraction& b) { return a.num == b.num && a.den == b.den; }
};

Fraction reduced(std::int64_t num, std::int64_t den) {
    const std::int64_t g = std::gcd(num, den);
    return {num / g, den / g};
}

Fraction operator+(const Fraction& a, const Fraction& b) {
    return reduced(a.num * b.den + b.num * a.den, a.den * b.den);
}
Fraction operator-(const Fraction& a, const Fraction& b) {
    return reduced(a.num * b.den - b.num * a.den, a.den * b.den);
}
Fraction operator*(const Fraction& a, std::int64_t k) { return reduced(a.num * k, a.den); }
Fraction operator/(const Fraction& a, std::int64_t k) { return reduced(a.num, a.den * k); }

double to_double(const Fraction& f) { return static_cast<double>(f.num) / static_cast<double>(f.den); }

std::string fraction_text(const Fraction& f) {
    return f.den == 1 ? std::to_string(f.num) : std::to_string(f.num) + "/" + std::to_string(f.den);
}

// One onset while reading: its pip as an exact fraction of the loop.
struct ExactOnset {
    Fraction pip;
    Instrument instrument;
    double level;
};

// The lanes of one bar, keyed by instrument; pips within the bar.
using BarLanes = std::map<Instrument, std::vector<ExactOnset>>;

struct Bar {
    BarLanes lanes;
    std::set<Instrument> inherited;  // lanes copied from an earlier bar, not yet rewritten
};

// A groove while its block is read; optional fields not yet seen.
struct GrooveDraft {
    int line = 0;
    std::string name;
    std::optional<std::string> label;
    std::optional<int> period;
    std::optional<std::array<int, 4>> dims;
    std::optional<bool> in_club;
    std::optional<std::string> extra;
    std::optional<int> steps;  // grid steps a bar; sixteenths unless given
    std::optional<Fraction> swing;
    std::vector<Bar> bars;
};

struct Place {
    const std::string& file;
    int line;
};

[[noreturn]] void refuse(const Place& at, const std::string& reason) {
    throw std::runtime_error(at.file + ":" + std::to_string(at.line) + ": " + reason);
}

// --- Lexing -----------------------------------------------------------------

// The line without a trailing comment; a '#' inside double quotes is text.
std::string_view without_comment(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == '#' && !quoted) {
            return line.substr(0, i);
        }
    }
    return line;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Splits off the first word: {word, rest trimmed}.
std::pair<std::string_view, std::string_view> first_word(std::string_view text) {
    std::size_t end = 0;
    while (end < text.size() && !is_blank(text[end])) {
        ++end;
    }
    return {text.substr(0, end), trimmed(text.substr(end))};
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> result;
    while (!(text = trimmed(text)).empty()) {
        auto [word, rest] = first_word(text);
        result.push_back(word);
        text = rest;
    }
    return result;
}

std::string in_quotes(std::string_view word) {
    std::string text(1, '\'');
    text.append(word).push_back('\'');
    return text;
}

// --- Values -----------------------------------------------------------------

std::optional<std::int64_t> whole_number(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < 0 || value > 1'000'000) {
        return std::nullopt;
    }
    return value;
}

int whole_number_or_refuse(const Place& at, std::string_view text, const char* what) {
    const auto value = whole_number(text);
    if (!value) {
        refuse(at, std::string(what) + " " + in_quotes(text) + " is not a whole number");
    }
    return static_cast<int>(*value);
}

// "n/d" with d > 0.
std::optional<Fraction> fraction(std::string_view text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const auto num = whole_number(text.substr(0, slash));
    const auto den = whole_number(text.substr(slash + 1));
    if (!num || !den || *den == 0) {
        return std::nullopt;
    }
    return reduced(*num, *den);
}

// A place in the bar counted in beats from 1: "3" is beat three, "3+1/2"
// the and of three. `last_beat` is 4 for onsets, 5 for the end of a roll.
Fraction beat_position(const Place& at, std::string_view text, std::int64_t last_beat) {
    const std::size_t plus = text.find('+');
    const auto beat = whole_number(text.substr(0, plus));
    std::optional<Fraction> part = Fraction{};
    if (plus != std::string_view::npos) {
        part = fraction(text.substr(plus + 1));
    }
    if (!beat || !part) {
        refuse(at, "position " + in_quotes(text) + " is not a beat such as 3 or 3+1/2");
    }
    if (part->num >= part->den) {
        refuse(at, "position " + in_quotes(text) + " has a part of a beat that is not below 1");
    }
    if (*beat < 1 || *beat > last_beat || (*beat == last_beat && last_beat > beats_per_bar && part->num > 0)) {
        refuse(at, "position " + in_quotes(text) + " lies outside the bar (beats 1 to " + std::to_string(last_beat) +
                       ")");
    }
    return (Fraction{*beat - 1, 1} + *part) * pips_per_beat;
}

std::optional<double> level_of(char mark) {
    switch (mark) {
        case 'X':
            return 1.0;
        case 'x':
            return 0.75;
        case 's':
            return 0.5;
        case 'g':
            return 0.25;
        default:
            return std::nullopt;
    }
}

double level_or_refuse(const Place& at, std::string_view text) {
    const auto level = text.size() == 1 ? level_of(text[0]) : std::nullopt;
    if (!level) {
        refuse(at, "level " + in_quotes(text) + " is not one of X x s g");
    }
    return *level;
}

std::optional<Instrument> instrument_named(std::string_view name) {
    static const std::map<std::string_view, Instrument> lanes = {
        {"kick", Instrument::kick}, {"snare", Instrument::snare},     {"clap", Instrument::clap},
        {"hat", Instrument::hat},   {"perc", Instrument::percussion}, {"bass", Instrument::bass},
    };
    const auto found = lanes.find(name);
    return found == lanes.end() ? std::nullopt : std::optional(found->second);
}

bool is_identifier(std::string_view name) {
    if (name.empty() || name.size() > 128 || name[0] < 'a' || name[0] > 'z') {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

std::string quoted_text(const Place& at, std::string_view rest, const char* key) {
    if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"' ||
        rest.substr(1, rest.size() - 2).find('"') != std::string_view::npos) {
        refuse(at, std::string(key) + " must be one text in double quotes");
    }
    if (rest.size() == 2) {
        refuse(at, std::string(key) + " is empty");
    }
    return std::string(rest.substr(1, rest.size() - 2));
}

// --- Headers ----------------------------------------------------------------

int period_of(const Place& at, std::string_view rest) {
    const int period = whole_number_or_refuse(at, rest, "period");
    if (period % pips_per_bar != 0) {
        refuse(at, "period " + std::to_string(period) + " is not a whole number of 256-pip bars");
    }
    if (period == 0 || period > longest_period_in_bars * pips_per_bar) {
        refuse(at, "period " + std::to_string(period) + " is not one to four bars");
    }
    return period;
}

std::array<int, 4> dims_of(const Place& at, std::string_view rest) {
    const auto given = words(rest);
    if (given.size() != 4) {
        refuse(at, "dims needs four numbers (bounce, step, orbit, glide), not " + std::to_string(given.size()));
    }
    std::array<int, 4> dims{};
    for (std::size_t i = 0; i < 4; ++i) {
        dims[i] = whole_number_or_refuse(at, given[i], "dims");
        if (dims[i] < 1 || dims[i] > 3) {
            refuse(at, "dims " + in_quotes(given[i]) + " is not 1, 2 or 3");
        }
    }
    return dims;
}

// "club dancefloor" or "dancefloor": whether the groove is in the club pack.
bool in_club_of(const Place& at, std::string_view rest) {
    const auto given = words(rest);
    if (given.size() == 2 && given[0] == "club" && given[1] == "dancefloor") {
        return true;
    }
    if (given.size() == 1 && given[0] == "dancefloor") {
        return false;
    }
    refuse(at, "packs must be 'club dancefloor' or 'dancefloor'");
}

int steps_of(const Place& at, std::string_view rest) {
    const int steps = whole_number_or_refuse(at, rest, "steps");
    if (steps != 8 && steps != 12 && steps != 16 && steps != 24 && steps != 32) {
        refuse(at, "steps " + std::to_string(steps) + " is not 8, 12, 16, 24 or 32 a bar");
    }
    return steps;
}

Fraction swing_of(const Place& at, std::string_view rest) {
    const auto ratio = fraction(rest);
    if (!ratio || ratio->num == 0 || ratio->num >= ratio->den) {
        refuse(at, "swing " + in_quotes(rest) + " is not a fraction between 0 and 1 such as 2/3");
    }
    return *ratio;
}

// --- Lanes ------------------------------------------------------------------

// Pip within the bar of grid step `step`: steps pair up, and with swing the
// second of each pair moves from halfway to the swing fraction of the pair.
Fraction step_pip(int step, int steps, const std::optional<Fraction>& swing) {
    const Fraction pair_length = Fraction{pips_per_bar, 1} / (steps / 2);
    const Fraction pair_start = pair_length * (step / 2);
    if (step % 2 == 0) {
        return pair_start;
    }
    const Fraction share = swing.value_or(Fraction{1, 2});
    return pair_start + reduced(pair_length.num * share.num, pair_length.den * share.den);
}

std::vector<ExactOnset> grid_lane(const Place& at, Instrument instrument, std::string_view cells,
                                  const GrooveDraft& groove) {
    std::string marks;
    for (const char c : cells) {
        if (!is_blank(c)) {
            marks.push_back(c);
        }
    }
    const int steps = groove.steps.value_or(16);
    if (static_cast<int>(marks.size()) != steps) {
        refuse(at, "lane has " + std::to_string(marks.size()) + " steps, not " + std::to_string(steps));
    }
    std::vector<ExactOnset> onsets;
    for (int step = 0; step < steps; ++step) {
        const char mark = marks[static_cast<std::size_t>(step)];
        if (mark == '.') {
            continue;
        }
        const auto level = level_of(mark);
        if (!level) {
            refuse(at, "step " + std::to_string(step + 1) + " has " + in_quotes(std::string(1, mark)) +
                           ", not a rest '.' or a level X x s g");
        }
        onsets.push_back({step_pip(step, steps, groove.swing), instrument, *level});
    }
    return onsets;
}

// "@L pos pos ...": exact onsets at one level.
std::vector<ExactOnset> placed_lane(const Place& at, Instrument instrument, std::string_view level_mark,
                                    std::string_view rest) {
    const double level = level_or_refuse(at, level_mark);
    const auto positions = words(rest);
    if (positions.empty()) {
        refuse(at, "placed onsets need at least one position");
    }
    std::vector<ExactOnset> onsets;
    for (const std::string_view position : positions) {
        onsets.push_back({beat_position(at, position, beats_per_bar), instrument, level});
    }
    return onsets;
}

// "roll L <from> to <until> in <count>": count even onsets from `from` up to,
// not including, `until`.
std::vector<ExactOnset> roll_lane(const Place& at, Instrument instrument, std::string_view rest) {
    const auto given = words(rest);
    if (given.size() != 6 || given[2] != "to" || given[4] != "in") {
        refuse(at, "a roll reads 'roll <level> <from> to <until> in <count>'");
    }
    const double level = level_or_refuse(at, given[0]);
    const Fraction from = beat_position(at, given[1], beats_per_bar);
    const Fraction until = beat_position(at, given[3], beats_per_bar + 1);
    const int count = whole_number_or_refuse(at, given[5], "roll count");
    if (!(from < until)) {
        refuse(at, "a roll must end after it starts");
    }
    if (count < 1 || count > longest_roll) {
        refuse(at, "roll count " + std::to_string(count) + " is not 1 to " + std::to_string(longest_roll));
    }
    const Fraction spacing = (until - from) / count;
    std::vector<ExactOnset> onsets;
    for (int k = 0; k < count; ++k) {
        onsets.push_back({from + spacing * k, instrument, level});
    }
    return onsets;
}

std::vector<ExactOnset> lane_onsets(const Place& at, Instrument instrument, std::string_view rest,
                                    const GrooveDraft& groove) {
    const auto [word, tail] = first_word(rest);
    if (word.starts_with('@')) {
        return placed_lane(at, instrument, word.substr(1), tail);
    }
    if (word == "roll") {
        return roll_lane(at, instrument, tail);
    }
    return grid_lane(at, instrument, rest, groove);
}

// --- Bars -------------------------------------------------------------------

// "bar N" or "bar N = M" (a copy of bar M whose lanes may be rewritten).
Bar new_bar(const Place& at, std::string_view rest, const GrooveDraft& groove) {
    const auto given = words(rest);
    if (given.empty() || (given.size() != 1 && (given.size() != 3 || given[1] != "="))) {
        refuse(at, "a bar reads 'bar <n>' or 'bar <n> = <earlier bar>'");
    }
    const int number = whole_number_or_refuse(at, given[0], "bar");
    const int expected = static_cast<int>(groove.bars.size()) + 1;
    if (!groove.period) {
        refuse(at, "bars come after the period");
    }
    if (number > *groove.period / pips_per_bar) {
        refuse(at, "bar " + std::to_string(number) + " lies outside the " + std::to_string(*groove.period) +
                       "-pip loop");
    }
    if (number != expected) {
        refuse(at, "bar " + std::to_string(number) + " where bar " + std::to_string(expected) + " comes next");
    }
    Bar bar;
    if (given.size() == 3) {
        const int source = whole_number_or_refuse(at, given[2], "bar");
        if (source < 1 || source >= number) {
            refuse(at, "bar " + std::to_string(number) + " can only repeat an earlier bar");
        }
        bar.lanes = groove.bars[static_cast<std::size_t>(source - 1)].lanes;
        for (const auto& [instrument, onsets] : bar.lanes) {
            bar.inherited.insert(instrument);
        }
    }
    return bar;
}

void add_lane(const Place& at, Bar& bar, Instrument instrument, std::vector<ExactOnset> onsets) {
    std::vector<ExactOnset>& lane = bar.lanes[instrument];
    if (bar.inherited.erase(instrument) > 0) {
        lane.clear();
    }
    for (ExactOnset& onset : onsets) {
        const bool taken =
            std::any_of(lane.begin(), lane.end(), [&](const ExactOnset& o) { return o.pip == onset.pip; });
        if (taken) {
            refuse(at, "two onsets at pip " + fraction_text(onset.pip) + " of the bar in one lane");
        }
        lane.push_back(onset);
    }
}

// --- Grooves ----------------------------------------------------------------

struct Registry {
    std::set<std::string> names;
    bool dancefloor_only_seen = false;
};

GrooveDraft new_groove(const Place& at, std::string_view rest, Registry& registry) {
    if (!is_identifier(rest)) {
        refuse(at, "groove name " + in_quotes(rest) + " is not a lowercase identifier");
    }
    if (!registry.names.insert(std::string(rest)).second) {
        refuse(at, "groove " + in_quotes(rest) + " appears twice");
    }
    GrooveDraft draft;
    draft.line = at.line;
    draft.name = rest;
    return draft;
}

template <typename T>
void set_once(const Place& at, std::optional<T>& field, T value, std::string_view key) {
    if (field) {
        refuse(at, in_quotes(key) + " given twice");
    }
    field = std::move(value);
}

void read_header(const Place& at, GrooveDraft& groove, std::string_view key, std::string_view rest) {
    if (!groove.bars.empty()) {
        refuse(at, in_quotes(key) + " after the bars");
    }
    if (key == "label") {
        set_once(at, groove.label, quoted_text(at, rest, "label"), key);
    } else if (key == "extra") {
        set_once(at, groove.extra, quoted_text(at, rest, "extra"), key);
    } else if (key == "period") {
        set_once(at, groove.period, period_of(at, rest), key);
    } else if (key == "dims") {
        set_once(at, groove.dims, dims_of(at, rest), key);
    } else if (key == "packs") {
        set_once(at, groove.in_club, in_club_of(at, rest), key);
    } else if (key == "steps") {
        set_once(at, groove.steps, steps_of(at, rest), key);
    } else {
        set_once(at, groove.swing, swing_of(at, rest), key);
    }
}

bool is_header(std::string_view key) {
    return key == "label" || key == "extra" || key == "period" || key == "dims" || key == "packs" || key == "steps" ||
           key == "swing";
}

void check_complete(const Place& at, const GrooveDraft& groove, Registry& registry) {
    const std::pair<bool, const char*> required[] = {
        {groove.label.has_value(), "label"}, {groove.period.has_value(), "period"},
        {groove.dims.has_value(), "dims"},   {groove.in_club.has_value(), "packs"},
    };
    for (const auto& [present, key] : required) {
        if (!present) {
            refuse(at, "groove " + in_quotes(groove.name) + " has no " + key);
        }
    }
    const auto bars_needed = static_cast<std::size_t>(*groove.period / pips_per_bar);
    if (groove.bars.size() != bars_needed) {
        refuse(at, "groove " + in_quotes(groove.name) + " has " + std::to_string(groove.bars.size()) + " of its " +
                       std::to_string(bars_needed) + " bars");
    }
    if (groove.extra && !*groove.in_club) {
        refuse(at, "groove " + in_quotes(groove.name) + ": only grooves of both packs carry an extra sentence");
    }
    if (*groove.in_club && registry.dancefloor_only_seen) {
        refuse(at, "groove " + in_quotes(groove.name) + " of both packs comes after the dancefloor-only grooves");
    }
    registry.dancefloor_only_seen = registry.dancefloor_only_seen || !*groove.in_club;
}

Groove finished(const GrooveDraft& draft) {
    std::vector<ExactOnset> exact;
    for (std::size_t b = 0; b < draft.bars.size(); ++b) {
        const Fraction bar_start{static_cast<std::int64_t>(b) * pips_per_bar, 1};
        for (const auto& [instrument, onsets] : draft.bars[b].lanes) {
            for (const ExactOnset& onset : onsets) {
                exact.push_back({bar_start + onset.pip, onset.instrument, onset.level});
            }
        }
    }
    std::stable_sort(exact.begin(), exact.end(), [](const ExactOnset& a, const ExactOnset& b) {
        return a.pip != b.pip ? a.pip < b.pip : a.instrument < b.instrument;
    });
    Groove groove{draft.name, *draft.label, *draft.period, draft.extra.value_or(""), *draft.in_club, *draft.dims, {}};
    for (const ExactOnset& onset : exact) {
        groove.onsets.push_back({to_double(onset.pip), onset.instrument, onset.level});
    }
    return groove;
}

class ScoreReader {
public:
    explicit ScoreReader(const std::string& file_name) : file_(file_name) {}

    void read_line(int line_number, std::string_view raw) {
        const std::string_view line = trimmed(without_comment(raw));
        if (line.empty()) {
            return;
        }
        const Place at{file_, line_number};
        const auto [key, rest] = first_word(line);
        if (key == "groove") {
            close_groove();
            draft_ = new_groove(at, rest, registry_);
        } else if (!draft_) {
            refuse(at, in_quotes(key) + " before the first groove");
        } else if (is_header(key)) {
            read_header(at, *draft_, key, rest);
        } else if (key == "bar") {
            draft_->bars.push_back(new_bar(at, rest, *draft_));
        } else if (const auto instrument = instrument_named(key)) {
            if (draft_->bars.empty()) {
                refuse(at, "lane " + in_quotes(key) + " before its bar");
            }
            add_lane(at, draft_->bars.back(), *instrument, lane_onsets(at, *instrument, rest, *draft_));
        } else {
            refuse(at, "unknown key or lane " + in_quotes(key));
        }
    }

    std::vector<Groove> finish(int last_line) {
        close_groove();
        if (grooves_.empty()) {
            refuse({file_, last_line}, "the score holds no groove");
        }
        return std::move(grooves_);
    }

private:
    void close_groove() {
        if (draft_) {
            check_complete({file_, draft_->line}, *draft_, registry_);
            grooves_.push_back(finished(*draft_));
            draft_.reset();
        }
    }

    const std::string& file_;
    Registry registry_;
    std::optional<GrooveDraft> draft_;
    std::vector<Groove> grooves_;
};

}  // namespace score_local
}  // namespace

std::vector<Groove> parse_grooves(std::string_view text, const std::string& file_name) {
    using namespace score_local;
    ScoreReader reader(file_name);
    int line_number = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        reader.read_line(++line_number, text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return reader.finish(line_number);
}

std::vector<Groove> read_grooves(const std::filesystem::path& score_file) {
    std::ifstream in(score_file, std::ios::binary);
    if (!in) {
        throw std::runtime_error(score_file.string() + ":0: cannot open the score");
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parse_grooves(text.str(), score_file.string());
}

}  // namespace kinetrope::packgen
