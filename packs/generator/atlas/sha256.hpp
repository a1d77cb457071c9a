// SHA-256 (FIPS 180-4) of a byte string: the indexed hash behind the noise
// family's control points, so that they depend on nothing but their index.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kinetrope::packgen::atlas {

using Digest = std::array<std::uint8_t, 32>;

Digest sha256(std::string_view message);

}  // namespace kinetrope::packgen::atlas
