#include "member_names.hpp"

#include <utility>

namespace kinetrope::packgen {

std::string numbered(std::string stem, std::span<const int> numbers) {
    for (const int n : numbers) {
        stem += '_';
        stem += std::to_string(n);
    }
    return stem;
}

std::string numbered(std::string stem, std::initializer_list<int> numbers) {
    return numbered(std::move(stem), std::span<const int>(numbers.begin(), numbers.size()));
}

std::string two_digits(int number) {
    std::string digits = std::to_string(number);
    if (digits.size() < 2) {
        digits.insert(digits.begin(), '0');
    }
    return digits;
}

}  // namespace kinetrope::packgen
