#include "atlas/atlas_families.hpp"

#include <array>
#include <cstdio>
#include <utility>

namespace kinetrope::packgen::atlas {

PatternDef as_stated(std::string name, std::string description, int period, int dims, Rule rule) {
    return {std::move(name), std::move(description), period, dims, std::move(rule)};
}

PatternDef peak_82(std::string name, std::string description, int period, int dims, Rule raw) {
    return {std::move(name), std::move(description), period, dims, std::move(raw), PeakScaling::on_pips, 0.82};
}

std::string joined(const std::vector<int>& numbers, const std::string& separator) {
    std::string text;
    for (const int n : numbers) {
        if (!text.empty()) {
            text += separator;
        }
        text += std::to_string(n);
    }
    return text;
}

std::string two_digits(int number) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%02d", number);
    return text.data();
}

double side(int index) noexcept { return index % 2 == 0 ? 1.0 : -1.0; }

}  // namespace kinetrope::packgen::atlas
