// Name dispatch over every built-in motion, and the built-in catalogue.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "kinetrope/time_base.hpp"

namespace kinetrope {

// One catalogue row. The texts are views of storage owned elsewhere:
// constant text for built-in rows, a pattern's own strings for user rows.
struct RudimentInfo {
    std::string_view name;
    std::string_view description;
    std::uint16_t period_pips;
    std::uint8_t dimensions;
};

// Evaluates the built-in motion called `name` (exact bytes) at `pip`.
// Throws std::invalid_argument "Unknown kinetrope: <name>" for any other name.
Offset3 sample(std::string_view name, int pip);

// Every built-in motion once: the fifteen computed rudiments, then the
// registry patterns in registry order. Built on the first call; the same
// list object is returned on every call.
const std::vector<RudimentInfo>& catalogue();

}  // namespace kinetrope
