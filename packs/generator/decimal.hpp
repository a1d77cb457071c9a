// Twelve-decimal text of stored coordinates.
#pragma once

#include <string>

namespace kinetrope::packgen {

// `value` rounded to 12 decimal places, trailing zeros trimmed to at least
// one fractional digit ("0.8", "-0.256"); a value that rounds to zero is
// "0.0", never "-0.0".
std::string decimal12(double value);

}  // namespace kinetrope::packgen
