// SampledPattern and PatternLibrary from caller data. Each refusal must be
// the first one the validation order predicts; an accepted pattern or
// library must answer exactly from the samples it was given.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "fuzz_input.hpp"

#if __has_include("kinetrope/sampled_pattern.hpp") && __has_include("kinetrope/pattern_library.hpp")
#include "kinetrope/catalogue.hpp"
#include "kinetrope/pattern_library.hpp"
#include "kinetrope/sampled_pattern.hpp"

namespace kinetrope_fuzz {
namespace {

using kinetrope::Offset3;
using kinetrope::SampledPattern;

constexpr std::size_t max_samples = 65535;
constexpr std::size_t max_patterns = 1024;
constexpr std::size_t max_total_samples = std::size_t{1} << 20;

struct PatternData {
    std::string name;
    std::string description;
    std::vector<Offset3> samples;
};

bool same(const Offset3& a, const Offset3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// A few samples read one by one, then optionally the last one repeated so
// that tables near the 65535-sample limit cost only a few input bytes.
std::vector<Offset3> read_samples(FuzzInput& input) {
    std::vector<Offset3> samples(input.byte() % 9);
    for (Offset3& sample : samples) {
        sample = {input.value(), input.value(), input.value()};
    }
    const std::uint8_t repeat = input.byte();
    if (repeat >= 250) {
        const std::size_t extra = repeat == 255 ? input.unsigned_number(2) + 1u : input.unsigned_number(1);
        samples.resize(samples.size() + extra, samples.empty() ? Offset3{0.0, 0.0, 0.0} : samples.back());
    }
    return samples;
}

std::optional<std::string> expected_pattern_refusal(const PatternData& d) {
    if (!is_identifier_model(d.name)) {
        return "Invalid pattern name";
    }
    if (d.samples.empty() || d.samples.size() > max_samples) {
        return "A pattern requires 1..65535 samples (one per pip)";
    }
    for (const Offset3& s : d.samples) {
        if (!in_unit_range(s.x) || !in_unit_range(s.y) || !in_unit_range(s.z)) {
            return "Pattern samples must be finite and within [-1, 1]";
        }
    }
    return std::nullopt;
}

std::uint8_t expected_axes(const std::vector<Offset3>& samples) {
    std::uint8_t axes = 1;
    for (const Offset3& s : samples) {
        axes = std::max<std::uint8_t>(axes, s.z != 0.0 ? 3 : s.y != 0.0 ? 2 : 1);
    }
    return axes;
}

void check_pattern(const SampledPattern& pattern, const PatternData& d, int pip) {
    const kinetrope::RudimentInfo info = pattern.info();
    check(info.name == d.name && info.description == d.description, "pattern texts changed", d.name);
    check(info.period_pips == d.samples.size(), "pattern period", d.name);
    check(info.dimensions == expected_axes(d.samples), "pattern axes used", d.name);
    check(same(pattern.sample(pip), d.samples[folded(pip, d.samples.size())]), "pattern sample", d.name);
}

// A built-in motion written out as a pattern table; `flaw` 1 to 3 spoils
// the copy in one way (description, one sample by one ulp, period).
PatternData copy_of_default(const kinetrope::RudimentInfo& row, std::uint8_t flaw, std::size_t at) {
    PatternData d{std::string(row.name), std::string(row.description), {}};
    for (int pip = 0; pip < row.period_pips; ++pip) {
        d.samples.push_back(kinetrope::sample(row.name, pip));
    }
    if (flaw == 1) {
        d.description += ' ';
    } else if (flaw == 2 && !d.samples.empty()) {
        double& x = d.samples[at % d.samples.size()].x;
        x = std::nextafter(x, x > 0.0 ? 0.0 : 1.0);
    } else if (flaw == 3) {
        d.samples.push_back(d.samples.front());
    }
    return d;
}

const kinetrope::RudimentInfo* find_default(std::string_view name) {
    for (const kinetrope::RudimentInfo& row : kinetrope::catalogue()) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

bool is_exact_copy(const PatternData& d, const kinetrope::RudimentInfo& row) {
    if (d.description != row.description || d.samples.size() != row.period_pips) {
        return false;
    }
    for (std::size_t pip = 0; pip < d.samples.size(); ++pip) {
        if (!same(d.samples[pip], kinetrope::sample(row.name, static_cast<int>(pip)))) {
            return false;
        }
    }
    return true;
}

// One library input: the pattern as data (for the model) or empty data
// for a moved-from pattern.
struct LibraryInput {
    std::vector<PatternData> data;
    std::vector<SampledPattern> patterns;
};

void add_pattern(LibraryInput& in, FuzzInput& input) {
    const auto& defaults = kinetrope::catalogue();
    PatternData d;
    switch (input.byte() % 4) {
        case 0:
            d = {input.text(), input.text(), read_samples(input)};
            break;
        case 1:
            if (defaults.empty()) {
                return;
            }
            d = copy_of_default(defaults[input.unsigned_number(2) % defaults.size()], input.byte() % 4,
                                input.byte());
            break;
        case 2:  // the name of an earlier pattern again
            d = {in.data.empty() ? std::string("p") : in.data[input.byte() % in.data.size()].name, input.text(),
                 read_samples(input)};
            break;
        default: {  // a valid pattern whose contents were moved elsewhere
            SampledPattern source("moved_" + std::to_string(in.patterns.size()), "", {{0.0, 0.0, 0.0}});
            SampledPattern taken(std::move(source));
            in.data.push_back({});
            in.patterns.push_back(std::move(source));  // NOLINT(bugprone-use-after-move): the point
            return;
        }
    }
    const auto refused = refusal_of([&] { in.patterns.emplace_back(d.name, d.description, d.samples); });
    check_outcome(refused, expected_pattern_refusal(d), "library member pattern");
    if (!refused) {
        in.data.push_back(std::move(d));
    }
}

std::optional<std::string> expected_library_refusal(const std::vector<PatternData>& data,
                                                    std::vector<const PatternData*>& kept) {
    if (data.size() > max_patterns) {
        return "Too many patterns";
    }
    std::unordered_set<std::string> seen;
    std::size_t total = 0;
    for (const PatternData& d : data) {
        if (d.samples.empty()) {
            return "Empty/moved-from pattern";
        }
        if (!seen.insert(d.name).second) {
            return "Duplicate pattern name: " + d.name;
        }
        total += d.samples.size();
        if (total > max_total_samples) {
            return "Pattern pack is too large";
        }
        if (const kinetrope::RudimentInfo* row = find_default(d.name)) {
            if (!is_exact_copy(d, *row)) {
                return "Cannot override default pattern: " + d.name;
            }
        } else {
            kept.push_back(&d);
        }
    }
    return std::nullopt;
}

void check_library(const kinetrope::PatternLibrary& library, const std::vector<const PatternData*>& kept,
                   FuzzInput& input) {
    const auto& defaults = kinetrope::catalogue();
    const std::vector<kinetrope::RudimentInfo> rows = library.catalogue();
    check(rows.size() == defaults.size() + kept.size(), "library catalogue size");
    for (std::size_t i = 0; i < kept.size(); ++i) {
        check(rows[defaults.size() + i].name == kept[i]->name, "library catalogue order", kept[i]->name);
    }
    const int pip = input.pip();
    for (const PatternData* d : kept) {
        check(same(library.sample(d->name, pip), d->samples[folded(pip, d->samples.size())]),
              "library sample of its own pattern", d->name);
    }
    const std::string other = input.text();
    bool own = false;
    for (const PatternData* d : kept) {
        own = own || d->name == other;
    }
    if (!own) {
        Offset3 from_library{};
        Offset3 built_in{};
        const auto library_refusal = refusal_of([&] { from_library = library.sample(other, pip); });
        const auto built_in_refusal = refusal_of([&] { built_in = kinetrope::sample(other, pip); });
        check_outcome(library_refusal, built_in_refusal, "library fallback to the built-ins");
        check(library_refusal || same(from_library, built_in), "library fallback position", other);
    }
}

}  // namespace

void fuzz_sampled_pattern(FuzzInput& input) {
    PatternData d{input.text(), input.text(), read_samples(input)};
    const int pip = input.pip();
    std::optional<SampledPattern> pattern;
    const auto refused = refusal_of([&] { pattern.emplace(d.name, d.description, d.samples); });
    check_outcome(refused, expected_pattern_refusal(d), "sampled pattern");
    if (!pattern) {
        return;
    }
    check_pattern(*pattern, d, pip);
    const SampledPattern copy = *pattern;
    const SampledPattern moved(std::move(*pattern));
    check_pattern(copy, d, pip);
    check_pattern(moved, d, pip);
    const auto moved_from = failure_of<std::logic_error>([&] { (void)pattern->sample(pip); });
    check_outcome(moved_from, "Cannot sample a moved-from pattern", "moved-from pattern");
}

void fuzz_pattern_library(FuzzInput& input) {
    LibraryInput in;
    const std::size_t count = input.byte() % 20;
    for (std::size_t i = 0; i < count; ++i) {
        add_pattern(in, input);
    }
    // Optionally fill up to the pattern limit, or one past it, cheaply.
    const std::uint8_t fill = input.byte();
    if (fill >= 252) {
        const std::size_t target = max_patterns + (fill == 255 ? 1 : 0);
        for (std::size_t i = in.patterns.size(); i < target; ++i) {
            PatternData d{"fill_" + std::to_string(i), "", {{0.0, 0.25, 0.0}}};
            in.patterns.emplace_back(d.name, d.description, d.samples);
            in.data.push_back(std::move(d));
        }
    }
    std::vector<const PatternData*> kept;
    const auto expected = expected_library_refusal(in.data, kept);
    std::optional<kinetrope::PatternLibrary> library;
    const auto refused = refusal_of([&] { library.emplace(std::move(in.patterns)); });
    check_outcome(refused, expected, "pattern library");
    if (library) {
        check_library(*library, kept, input);
    }
}

}  // namespace kinetrope_fuzz

#else  // the pattern classes are not part of this build yet

namespace kinetrope_fuzz {
void fuzz_sampled_pattern(FuzzInput&) {}
void fuzz_pattern_library(FuzzInput&) {}
}  // namespace kinetrope_fuzz

#endif
