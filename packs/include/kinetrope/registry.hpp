// The registry of built-in sampled patterns: one constant entry per pattern,
// in registry order, and a name-sorted index for exact-name lookup.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "kinetrope/catalogue.hpp"
#include "kinetrope/name_hash.hpp"
#include "kinetrope/time_base.hpp"

namespace kinetrope {

using PatternSampler = Offset3 (*)(int pip) noexcept;

// One registry record. The first four fields are the pattern's catalogue row,
// with the types and order of RudimentInfo.
struct PatternEntry {
    std::string_view name;
    std::string_view description;
    std::uint16_t period_pips;
    std::uint8_t dimensions;
    PatternSampler sampler;

    constexpr RudimentInfo info() const noexcept {
        return {name, description, period_pips, dimensions};
    }
};

// Every built-in pattern, in registry order.
std::span<const PatternEntry> pattern_entries() noexcept;

// Registry positions (from 0) in ascending byte order of the entries' names.
std::span<const std::uint64_t> pattern_name_order() noexcept;

// The built-in registry's perfect-hash lookup table (<kinetrope/name_hash.hpp>).
std::span<const std::uint16_t, name_hash_buckets> pattern_hash_buckets() noexcept;
std::span<const std::uint16_t, name_hash_slots> pattern_hash_slots() noexcept;

// Exact-name lookup over any entry table and its name-sorted index: a lower
// bound binary search by byte order, then one equality test. Returns the
// entry named exactly `name`, or nullptr.
const PatternEntry* find_pattern(std::span<const PatternEntry> entries,
                                 std::span<const std::uint64_t> name_order,
                                 std::string_view name) noexcept;

// Exact-name lookup in the built-in registry: one probe of its perfect-hash
// table and one name comparison. Finds exactly what the name-index search
// finds.
const PatternEntry* find_pattern(std::string_view name) noexcept;

}  // namespace kinetrope
