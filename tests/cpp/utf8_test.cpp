// The generator's strict UTF-8 check: every scalar value's shortest encoding
// passes, and the standard malformed sequences are refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "utf8.hpp"

namespace {

using kinetrope::packgen::is_valid_utf8;

// The shortest UTF-8 encoding of `code_point`, written independently of the
// validator: the textbook bit layout, without any range checks.
std::string encode(std::uint32_t code_point) {
    const auto byte = [](std::uint32_t value) { return static_cast<char>(value); };
    if (code_point < 0x80) {
        return {byte(code_point)};
    }
    if (code_point < 0x800) {
        return {byte(0xC0 | (code_point >> 6)), byte(0x80 | (code_point & 0x3F))};
    }
    if (code_point < 0x10000) {
        return {byte(0xE0 | (code_point >> 12)), byte(0x80 | ((code_point >> 6) & 0x3F)),
                byte(0x80 | (code_point & 0x3F))};
    }
    return {byte(0xF0 | (code_point >> 18)), byte(0x80 | ((code_point >> 12) & 0x3F)),
            byte(0x80 | ((code_point >> 6) & 0x3F)), byte(0x80 | (code_point & 0x3F))};
}

TEST(Utf8, AcceptsEveryScalarValueAloneAndInText) {
    for (std::uint32_t code_point = 0; code_point <= 0x10FFFF; ++code_point) {
        if (code_point >= 0xD800 && code_point <= 0xDFFF) {
            continue;
        }
        const std::string character = encode(code_point);
        ASSERT_TRUE(is_valid_utf8(character)) << std::hex << code_point;
        ASSERT_TRUE(is_valid_utf8("a" + character + "z")) << std::hex << code_point;
    }
    EXPECT_TRUE(is_valid_utf8(""));
    EXPECT_TRUE(is_valid_utf8("Kick \xE2\x80\x94 snare \xE2\x80\x94 kick"));  // em dashes
}

TEST(Utf8, RefusesEverySurrogate) {
    for (std::uint32_t code_point = 0xD800; code_point <= 0xDFFF; ++code_point) {
        ASSERT_FALSE(is_valid_utf8(encode(code_point))) << std::hex << code_point;
    }
}

class Malformed : public ::testing::TestWithParam<std::string> {};

TEST_P(Malformed, IsRefusedAloneAndAfterValidText) {
    EXPECT_FALSE(is_valid_utf8(GetParam()));
    EXPECT_FALSE(is_valid_utf8("caf\xC3\xA9 " + GetParam()));
    EXPECT_FALSE(is_valid_utf8(GetParam() + " caf\xC3\xA9"));
}

INSTANTIATE_TEST_SUITE_P(
    StandardCases, Malformed,
    ::testing::Values(
        // Overlong forms of "/" (U+002F), of U+0000, and the largest overlongs.
        "\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xC0\x80", "\xE0\x80\x80", "\xF0\x80\x80\x80",
        "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",
        // Surrogates, alone and as a pair.
        "\xED\xA0\x80", "\xED\xBF\xBF", "\xED\xA0\x80\xED\xB0\x80",
        // Beyond U+10FFFF, and the obsolete five- and six-byte forms.
        "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF", "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80",
        // Bytes that never appear, stray continuation bytes, truncated sequences.
        "\xFE", "\xFF", "\xFE\xFE\xFF\xFF", "\x80", "\xBF", "\x80\xBF\x80", "\xC3", "\xE2\x80", "\xF0\x9F\x98",
        // A lead byte followed by a character instead of a continuation byte.
        "\xC3 ", "\xE2\x80 ", "\xE2\xC3\xA9"));

}  // namespace
