// The built-in packs, in registry order.
#pragma once

#include <vector>

#include "pattern.hpp"

namespace kinetrope::packgen {

Pack initial_pack();
Pack expansion_pack();

// Every pack in registry order.
std::vector<Pack> all_packs();

}  // namespace kinetrope::packgen
