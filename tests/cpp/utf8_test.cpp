// The generator's strict UTF-8 check: the shortest encoding of every scalar
// value passes; surrogates and the standard malformed sequences are refused.
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

TEST(Utf8, AcceptsEveryScalarValueAndRefusesEverySurrogate) {
    for (std::uint32_t code_point = 0; code_point <= 0x10FFFF; ++code_point) {
        const bool scalar = code_point < 0xD800 || code_point > 0xDFFF;
        const std::string character = encode(code_point);
        ASSERT_EQ(is_valid_utf8(character), scalar) << std::hex << code_point;
        ASSERT_EQ(is_valid_utf8("a" + character + "z"), scalar) << std::hex << code_point;
    }
    EXPECT_TRUE(is_valid_utf8(""));
    EXPECT_TRUE(is_valid_utf8("Kick \xE2\x80\x94 snare \xE2\x80\x94 kick"));  // em dashes
}

// Overlong forms (of "/", of U+0000, the largest of each length),
// surrogates alone and paired, values above U+10FFFF and the obsolete five-
// and six-byte forms, bytes that never appear, stray continuation bytes,
// truncated sequences, and lead bytes followed by a character.
constexpr const char* malformed[] = {
    "\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xC0\x80", "\xE0\x80\x80", "\xF0\x80\x80\x80", "\xC1\xBF",
    "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xED\xA0\x80\xED\xB0\x80",
    "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF", "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80", "\xFE", "\xFF",
    "\xFE\xFE\xFF\xFF", "\x80", "\xBF", "\x80\xBF\x80", "\xC3", "\xE2\x80", "\xF0\x9F\x98", "\xC3 ", "\xE2\x80 ",
    "\xE2\xC3\xA9"};

TEST(Utf8, RefusesTheStandardMalformedSequencesWhereverTheyStand) {
    for (const std::string sequence : malformed) {
        EXPECT_FALSE(is_valid_utf8(sequence)) << sequence;
        EXPECT_FALSE(is_valid_utf8("caf\xC3\xA9 " + sequence)) << sequence;
        EXPECT_FALSE(is_valid_utf8(sequence + " caf\xC3\xA9")) << sequence;
    }
}

}  // namespace
