// Writes the generated C++: one header and one source per pack, and the
// registry source with the name index.
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

// <out>/include/kinetrope/packs/<pack>.hpp and <out>/src/<pack>.cpp.
void write_pack(const std::filesystem::path& out, const RenderedPack& pack);

// <out>/src/registry.cpp: every pattern in registry order and the
// byte-ordered name index.
void write_registry(const std::filesystem::path& out, std::span<const RenderedPack> packs);

}  // namespace kinetrope::packgen
