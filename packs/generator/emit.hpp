// Writes what the build links: per pack a header, a source of samplers, a
// binary blob of its tables and the assembler file that links the blob; the
// registry source with the name index; and the list of table digests the
// tests check the linked tables against.
#pragma once

#include <filesystem>
#include <span>
#include <vector>

#include "pattern.hpp"

namespace kinetrope::packgen {

struct RenderedPattern {
    const PatternDef* pattern;
    Table table;
};

struct RenderedPack {
    std::string name;
    std::vector<RenderedPattern> patterns;
};

// Refuses (throws std::runtime_error naming the pattern) anything that would
// break a table invariant: name and description shape, period, dimensions,
// coordinate range and still axes beyond the declared dimensions.
void check_invariants(std::span<const RenderedPack> packs);

// <out>/include/kinetrope/packs/<pack>.hpp, <out>/src/<pack>.cpp (the
// samplers), <out>/src/<pack>.bin (every table's doubles in pack order, as
// they lie in memory) and <out>/src/<pack>_tables.s (one symbol per table,
// its bytes included from the blob).
void write_pack(const std::filesystem::path& out, const RenderedPack& pack);

// <out>/table_digests.tsv: per pattern in registry order, its name and the
// SHA-256 of its table's values as read back from their twelve-decimal text.
void write_table_digests(const std::filesystem::path& out, std::span<const RenderedPack> packs);

// <out>/src/registry.cpp: every pattern in registry order and the
// byte-ordered name index.
void write_registry(const std::filesystem::path& out, std::span<const RenderedPack> packs);

}  // namespace kinetrope::packgen
