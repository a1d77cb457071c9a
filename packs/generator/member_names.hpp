// Names of family members: a stem and the member's numbers.
#pragma once

#include <initializer_list>
#include <span>
#include <string>

namespace kinetrope::packgen {

// The stem followed by each number after an underscore: "tour_5_2".
std::string numbered(std::string stem, std::span<const int> numbers);
std::string numbered(std::string stem, std::initializer_list<int> numbers);

// A member number as two digits: 7 -> "07".
std::string two_digits(int number);

}  // namespace kinetrope::packgen
