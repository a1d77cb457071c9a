// Stand-in registry until the generated packs are wired into the build.
#include "kinetrope/registry.hpp"

namespace kinetrope {

std::span<const PatternEntry> pattern_entries() noexcept { return {}; }
std::span<const std::uint64_t> pattern_name_order() noexcept { return {}; }

}  // namespace kinetrope
