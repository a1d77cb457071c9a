// The identifier rule shared by pattern names, recording names and axis
// names: 1 to 128 bytes, a lowercase ASCII letter first, then lowercase
// ASCII letters, digits and underscores only.
#pragma once

#include <cstddef>
#include <string_view>

namespace kinetrope {

inline constexpr std::size_t max_identifier_length = 128;

constexpr bool is_identifier(std::string_view text) noexcept {
    if (text.empty() || text.size() > max_identifier_length) {
        return false;
    }
    if (text.front() < 'a' || text.front() > 'z') {
        return false;
    }
    for (const char c : text) {
        const bool lower = c >= 'a' && c <= 'z';
        const bool digit = c >= '0' && c <= '9';
        if (!lower && !digit && c != '_') {
            return false;
        }
    }
    return true;
}

}  // namespace kinetrope
