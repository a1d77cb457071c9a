#include "decimal.hpp"

#include <array>
#include <cstdio>
#include <stdexcept>

namespace kinetrope::packgen {

std::string decimal12(double value) {
    // printf rounds the exact binary value correctly to 12 places; the
    // compiler's literal parse then gives the nearest double to that text.
    std::array<char, 64> buffer{};
    const int length = std::snprintf(buffer.data(), buffer.size(), "%.12f", value);
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        throw std::runtime_error("coordinate out of printable range");
    }
    std::string text(buffer.data(), static_cast<std::size_t>(length));
    while (text.back() == '0' && text[text.size() - 2] != '.') {
        text.pop_back();
    }
    if (text == "-0.0") {
        text = "0.0";
    }
    return text;
}

}  // namespace kinetrope::packgen
