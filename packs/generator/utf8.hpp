// Strict UTF-8 validation for the text the generator writes into the
// built-in tables: a description that is not strict UTF-8 would make every
// catalogue listing fail to decode.
#pragma once

#include <string_view>

namespace kinetrope::packgen {

// True when `text` is a sequence of well-formed UTF-8 characters: each one
// the shortest encoding of a Unicode scalar value (U+0000 to U+10FFFF
// without the surrogates U+D800 to U+DFFF). Overlong forms, surrogates,
// values above U+10FFFF, stray continuation bytes and truncated sequences
// are refused.
bool is_valid_utf8(std::string_view text) noexcept;

}  // namespace kinetrope::packgen
