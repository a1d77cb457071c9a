#include "utf8.hpp"

#include <cstddef>

namespace kinetrope::packgen {
namespace {
namespace utf8_local {

// The bytes allowed after a lead byte: how many continuation bytes follow,
// and the range of the first of them. Narrowing the first continuation byte
// is what refuses overlong forms (after E0 and F0), surrogates (after ED)
// and values above U+10FFFF (after F4); every later continuation byte is
// 80 to BF.
struct LeadRule {
    std::size_t continuations;
    unsigned char first_low;
    unsigned char first_high;
};

constexpr LeadRule invalid_lead{0, 0, 0};

constexpr LeadRule rule_for(unsigned char lead) noexcept {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {1, 0x80, 0xBF};
    }
    if (lead == 0xE0) {
        return {2, 0xA0, 0xBF};
    }
    if (lead == 0xED) {
        return {2, 0x80, 0x9F};
    }
    if (lead >= 0xE1 && lead <= 0xEF) {
        return {2, 0x80, 0xBF};
    }
    if (lead == 0xF0) {
        return {3, 0x90, 0xBF};
    }
    if (lead >= 0xF1 && lead <= 0xF3) {
        return {3, 0x80, 0xBF};
    }
    if (lead == 0xF4) {
        return {3, 0x80, 0x8F};
    }
    return invalid_lead;  // 80..C1 and F5..FF never start a character
}

bool in_range(unsigned char byte, unsigned char low, unsigned char high) noexcept {
    return byte >= low && byte <= high;
}

// The length of the well-formed character at the start of `text`, or 0.
std::size_t character_length(std::string_view text) noexcept {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        return 1;
    }
    const LeadRule rule = rule_for(lead);
    if (rule.continuations == 0 || text.size() <= rule.continuations) {
        return 0;
    }
    if (!in_range(static_cast<unsigned char>(text[1]), rule.first_low, rule.first_high)) {
        return 0;
    }
    for (std::size_t k = 2; k <= rule.continuations; ++k) {
        if (!in_range(static_cast<unsigned char>(text[k]), 0x80, 0xBF)) {
            return 0;
        }
    }
    return rule.continuations + 1;
}

}  // namespace utf8_local
}  // namespace

bool is_valid_utf8(std::string_view text) noexcept {
    using namespace utf8_local;
    while (!text.empty()) {
        const std::size_t length = character_length(text);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

}  // namespace kinetrope::packgen
