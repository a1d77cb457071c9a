// The name hash of the built-in registry's lookup table. The generator lays
// the table out with it at build time and the lookup probes it at run time,
// so both include this one definition.
//
// The table is a two-level perfect hash: a name's 64-bit hash picks one of
// `name_hash_buckets` buckets by its top bits; the bucket's displacement,
// chosen by the generator so that no two names share a slot, is mixed in to
// pick one of `name_hash_slots` slots, which holds the registry position + 1
// (0 marks an empty slot). A probe is one hash, two small table reads and
// one name comparison, whatever the number of patterns.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace kinetrope {

inline constexpr unsigned name_hash_bucket_bits = 9;
inline constexpr unsigned name_hash_slot_bits = 12;
inline constexpr std::size_t name_hash_buckets = std::size_t{1} << name_hash_bucket_bits;
inline constexpr std::size_t name_hash_slots = std::size_t{1} << name_hash_slot_bits;

// Registry names are 8 to 32 bytes long; no other name needs hashing.
inline constexpr std::size_t shortest_pattern_name = 8;
inline constexpr std::size_t longest_pattern_name = 32;

// Multiply-xorshift finaliser: every input bit reaches every output bit.
constexpr std::uint64_t mix_bits(std::uint64_t x) noexcept {
    x ^= x >> 32;
    x *= 0xd6e8feb86659fd93ULL;
    x ^= x >> 32;
    return x;
}

inline std::uint64_t load_eight(const char* bytes) noexcept {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Hash of a name of at least 8 bytes: its length, then its bytes eight at a
// time, the last eight read as the name's final eight bytes (overlapping
// the previous word when the length is not a multiple of eight).
inline std::uint64_t name_hash(std::string_view name) noexcept {
    const char* bytes = name.data();
    const std::size_t size = name.size();
    std::uint64_t h = mix_bits(size * 0x9e3779b97f4a7c15ULL);
    for (std::size_t i = 0; i + 8 < size; i += 8) {
        h = mix_bits(h ^ load_eight(bytes + i));
    }
    return mix_bits(h ^ load_eight(bytes + size - 8));
}

constexpr std::size_t name_hash_bucket(std::uint64_t hash) noexcept {
    return static_cast<std::size_t>(hash >> (64 - name_hash_bucket_bits));
}

constexpr std::size_t name_hash_slot(std::uint64_t hash, std::uint16_t displacement) noexcept {
    return static_cast<std::size_t>(mix_bits(hash + displacement) & (name_hash_slots - 1));
}

}  // namespace kinetrope
