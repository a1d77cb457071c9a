#include "kinetrope/registry.hpp"

namespace kinetrope {

const PatternEntry* find_pattern(std::span<const PatternEntry> entries,
                                 std::span<const std::uint64_t> name_order,
                                 std::string_view name) noexcept {
    // Lower bound: the first index position whose name is not less than
    // `name`. string_view ordering compares bytes as unsigned and puts a
    // proper prefix first, which is the order the index is sorted in.
    std::size_t first = 0;
    std::size_t count = name_order.size();
    while (count > 0) {
        const std::size_t half = count / 2;
        if (entries[name_order[first + half]].name < name) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    if (first == name_order.size()) {
        return nullptr;
    }
    const PatternEntry& candidate = entries[name_order[first]];
    return candidate.name == name ? &candidate : nullptr;
}

const PatternEntry* find_pattern(std::string_view name) noexcept {
    if (name.size() < shortest_pattern_name || name.size() > longest_pattern_name) {
        return nullptr;
    }
    const std::uint64_t hash = name_hash(name);
    const std::uint16_t displacement = pattern_hash_buckets()[name_hash_bucket(hash)];
    const std::uint16_t position = pattern_hash_slots()[name_hash_slot(hash, displacement)];
    if (position == 0) {
        return nullptr;
    }
    const PatternEntry& candidate = pattern_entries()[position - 1];
    return candidate.name == name ? &candidate : nullptr;
}

}  // namespace kinetrope
