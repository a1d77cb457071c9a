// What every continuum family builds its members from: shape members are
// raw curves brought to the 0.82 peak over the half-pip grid, rhythm members
// are sums of gesture bumps brought to their stated level.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "member_names.hpp"
#include "pattern.hpp"
#include "rules.hpp"
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

}  // namespace kinetrope::packgen::continuum
