// What every continuum family builds its members from: shape members are
// raw curves brought to the 0.82 peak over the half-pip grid, rhythm members
// are sums of gesture bumps brought to their stated level.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "pattern.hpp"
#include "shapes.hpp"

namespace kinetrope::packgen::continuum {

// A shape member: `raw` is shifted in time so that its largest coordinate
// magnitude falls `peak_offset` pips after a whole pip (0: on a pip), then
// scaled so the largest magnitude over the half-pip grid is 0.82. An offset
// leaves the stored peak just below 0.82, by how sharp the peak is.
PatternDef shape(std::string name, int period, int dims, std::string description, Rule raw,
                 double peak_offset = 0.0);

// A rhythm member: the bumps summed around the loop and scaled so that the
// largest stored magnitude is `level`.
PatternDef rhythm(std::string name, int period, std::string description, std::vector<Bump> bumps,
                  double level);

// Sets every bump's half-width to `fraction` of the smaller gap to its
// neighbouring onsets around the loop (capped at `widest`), so that
// neighbours never overlap and never add; onsets must be distinct.
void fit_half_widths(std::vector<Bump>& bumps, double period, double fraction, double widest);

// Level of member `index` of `count`, spread evenly from `first` to `last`.
double level_between(double first, double last, int index, int count) noexcept;

// +1 for even indices, -1 for odd: alternating sides.
double side(int index) noexcept;

// The stem followed by each number after an underscore: "tour_5_2".
std::string numbered(std::string stem, std::span<const int> numbers);

// "01" .. "16".
std::string two_digits(int number);

// A closed curve of the loop angle theta = 2 pi pip / period.
template <typename Curve>
Rule of_angle(int period, Curve curve) {
    return [period, curve](double pip) { return curve(2.0 * pi * pip / period); };
}

}  // namespace kinetrope::packgen::continuum
