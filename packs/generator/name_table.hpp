// Lays out the registry's perfect-hash lookup table (see
// <kinetrope/name_hash.hpp>) for the names in registry order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kinetrope::packgen {

struct NameHashTable {
    std::vector<std::uint16_t> displacements;  // one per bucket
    std::vector<std::uint16_t> slots;          // registry position + 1, or 0
};

// Throws std::runtime_error when the names cannot be placed: a name outside
// the registry's length limits, more names than half the slots, or two
// names with the same 64-bit hash.
NameHashTable build_name_hash_table(const std::vector<std::string>& names);

}  // namespace kinetrope::packgen
