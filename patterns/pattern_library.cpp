// Validation of a caller's pattern pack and name resolution over it.
#include "kinetrope/pattern_library.hpp"

#include <algorithm>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <utility>

namespace kinetrope {
namespace {

[[noreturn]] void refuse(std::string message) {
    throw std::invalid_argument(std::move(message));
}

const RudimentInfo* find_default(std::span<const RudimentInfo> defaults, std::string_view name) noexcept {
    const auto row = std::ranges::find(defaults, name, &RudimentInfo::name);
    return row == defaults.end() ? nullptr : &*row;
}

// FNV-1a over the name's bytes, folded to 32 bits. Equal names have equal
// fingerprints; unequal names rarely do, and a shared fingerprint only costs
// one byte comparison.
constexpr std::uint32_t name_fingerprint(std::string_view name) noexcept {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::vector<std::uint32_t> fingerprints_of(const std::vector<SampledPattern>& patterns) {
    std::vector<std::uint32_t> fingerprints;
    fingerprints.reserve(patterns.size());
    for (const SampledPattern& pattern : patterns) {
        fingerprints.push_back(name_fingerprint(pattern.info().name));
    }
    return fingerprints;
}

// Fingerprints are scanned in blocks whose matches are counted without a
// branch, which the compiler turns into a few vector compares per block.
constexpr std::size_t scan_block = 64;

// Kept out of line: inlined into the scan loop, the compiler no longer
// vectorises it.
[[gnu::noinline]] bool block_has(const std::uint32_t* block, std::uint32_t fingerprint) noexcept {
    std::uint32_t matches = 0;
    for (std::size_t i = 0; i < scan_block; ++i) {
        matches += block[i] == fingerprint;
    }
    return matches != 0;
}

// A linear scan in list order for the pattern named exactly `name` (names
// are unique, so at most one), reading fingerprints block by block and name
// bytes only where a fingerprint matches.
const SampledPattern* find_own(std::span<const SampledPattern> patterns,
                               std::span<const std::uint32_t> fingerprints, std::string_view name) noexcept {
    const std::uint32_t fingerprint = name_fingerprint(name);
    for (std::size_t start = 0; start < fingerprints.size(); start += scan_block) {
        const std::size_t end = std::min(start + scan_block, fingerprints.size());
        if (end - start == scan_block && !block_has(&fingerprints[start], fingerprint)) {
            continue;
        }
        for (std::size_t i = start; i < end; ++i) {
            if (fingerprints[i] == fingerprint && patterns[i].info().name == name) {
                return &patterns[i];
            }
        }
    }
    return nullptr;
}

// Exact floating-point equality on every axis (no tolerance).
constexpr bool same_position(const Offset3& a, const Offset3& b) noexcept {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// True when `pattern` reproduces the built-in `row` exactly: description,
// period, then every sample compared with the built-in's own answer.
bool is_exact_copy(const SampledPattern& pattern, const RudimentInfo& row) {
    const RudimentInfo info = pattern.info();
    if (info.description != row.description || info.period_pips != row.period_pips) {
        return false;
    }
    for (int pip = 0; pip < static_cast<int>(info.period_pips); ++pip) {
        if (!same_position(pattern.sample(pip), kinetrope::sample(row.name, pip))) {
            return false;
        }
    }
    return true;
}

// Runs every per-pack check in input order and tells, for each input
// pattern, whether the library keeps it (false: an exact copy of a
// built-in). The input is only read, so the seen names can be views of it.
std::vector<bool> select_kept(std::span<const SampledPattern* const> patterns) {
    if (patterns.size() > PatternLibrary::max_patterns) {
        refuse("Too many patterns");
    }
    const std::vector<RudimentInfo>& defaults = kinetrope::catalogue();
    std::unordered_set<std::string_view> seen_names;
    seen_names.reserve(patterns.size());
    std::size_t total_samples = 0;
    std::vector<bool> kept;
    kept.reserve(patterns.size());
    for (const SampledPattern* pattern : patterns) {
        const RudimentInfo info = pattern->info();
        if (info.period_pips == 0) {
            refuse("Empty/moved-from pattern");
        }
        if (!seen_names.insert(info.name).second) {
            refuse("Duplicate pattern name: " + std::string(info.name));
        }
        total_samples += info.period_pips;
        if (total_samples > PatternLibrary::max_total_samples) {
            refuse("Pattern pack is too large");
        }
        const RudimentInfo* row = find_default(defaults, info.name);
        if (row != nullptr && !is_exact_copy(*pattern, *row)) {
            refuse("Cannot override default pattern: " + std::string(info.name));
        }
        kept.push_back(row == nullptr);
    }
    return kept;
}

std::vector<const SampledPattern*> addresses_of(const std::vector<SampledPattern>& patterns) {
    std::vector<const SampledPattern*> addresses;
    addresses.reserve(patterns.size());
    for (const SampledPattern& pattern : patterns) {
        addresses.push_back(&pattern);
    }
    return addresses;
}

// The kept patterns, each moved or copied by `take` once, after every check
// has passed.
template <typename Take>
std::vector<SampledPattern> keep_checked(std::span<const SampledPattern* const> patterns, Take take) {
    const std::vector<bool> kept = select_kept(patterns);
    std::vector<SampledPattern> library;
    library.reserve(static_cast<std::size_t>(std::ranges::count(kept, true)));
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (kept[i]) {
            library.push_back(take(i));
        }
    }
    return library;
}

std::vector<SampledPattern> take_kept(std::vector<SampledPattern> patterns) {
    return keep_checked(addresses_of(patterns), [&patterns](std::size_t i) { return std::move(patterns[i]); });
}

std::vector<SampledPattern> copy_kept(std::span<const SampledPattern* const> patterns) {
    return keep_checked(patterns, [patterns](std::size_t i) { return *patterns[i]; });
}

}  // namespace

PatternLibrary::PatternLibrary(std::vector<SampledPattern> patterns)
    : patterns_(take_kept(std::move(patterns))), name_fingerprints_(fingerprints_of(patterns_)) {}

PatternLibrary::PatternLibrary(std::span<const SampledPattern* const> patterns)
    : patterns_(copy_kept(patterns)), name_fingerprints_(fingerprints_of(patterns_)) {}

const SampledPattern* PatternLibrary::own_pattern(std::string_view name) const noexcept {
    return find_own(patterns_, name_fingerprints_, name);
}

Offset3 PatternLibrary::sample(std::string_view name, int pip) const {
    if (const SampledPattern* own = own_pattern(name)) {
        return own->sample(pip);
    }
    return kinetrope::sample(name, pip);
}

std::vector<RudimentInfo> PatternLibrary::catalogue() const {
    const std::vector<RudimentInfo>& defaults = kinetrope::catalogue();
    std::vector<RudimentInfo> rows;
    rows.reserve(defaults.size() + patterns_.size());
    rows.assign(defaults.begin(), defaults.end());
    for (const SampledPattern& pattern : patterns_) {
        rows.push_back(pattern.info());
    }
    return rows;
}

}  // namespace kinetrope
