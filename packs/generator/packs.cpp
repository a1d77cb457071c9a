#include "packs.hpp"

namespace kinetrope::packgen {

std::vector<Pack> all_packs(const std::filesystem::path& data_dir) {
    std::vector<Pack> packs;
    packs.push_back(initial_pack());
    packs.push_back(expansion_pack());
    packs.push_back(atlas_pack(data_dir));
    packs.push_back(continuum_pack(data_dir));
    packs.push_back(club_pack(data_dir));
    packs.push_back(dancefloor_pack(data_dir));
    return packs;
}

}  // namespace kinetrope::packgen
