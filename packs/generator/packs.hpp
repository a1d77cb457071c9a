// The built-in packs, in registry order.
#pragma once

#include <filesystem>
#include <vector>

#include "pattern.hpp"

namespace kinetrope::packgen {

Pack initial_pack();
Pack expansion_pack();
// The later packs may read reviewable data files (scores, sequences) from
// `data_dir`, reporting a malformed file with its path and line.
Pack atlas_pack(const std::filesystem::path& data_dir);
Pack continuum_pack(const std::filesystem::path& data_dir);
Pack club_pack(const std::filesystem::path& data_dir);
Pack dancefloor_pack(const std::filesystem::path& data_dir);

// Every pack in registry order.
std::vector<Pack> all_packs(const std::filesystem::path& data_dir);

}  // namespace kinetrope::packgen
