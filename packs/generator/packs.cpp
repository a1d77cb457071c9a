#include "packs.hpp"

namespace kinetrope::packgen {

std::vector<Pack> all_packs() {
    std::vector<Pack> packs;
    packs.push_back(initial_pack());
    packs.push_back(expansion_pack());
    return packs;
}

}  // namespace kinetrope::packgen
