// Name dispatch over every built-in motion, and the built-in catalogue.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "kinetrope/time_base.hpp"

namespace kinetrope {

// One catalogue row. The texts are views of storage owned elsewhere:
// constant text for built-in rows, a pattern's own strings for user rows.
struct RudimentInfo {
    std::string_view name;
    std::string_view description;
    std::uint16_t period_pips;
    std::uint8_t dimensions;
};

// The failure of a lookup by a name that no motion has: "Unknown kinetrope:
// " followed by the name. A name may hold NUL bytes, where what(), a C
// string, ends; message() is the whole text.
class UnknownMotion : public std::invalid_argument {
public:
    explicit UnknownMotion(std::string_view name);
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

using MotionSampler = Offset3 (*)(int pip) noexcept;

// The function that evaluates the built-in motion called `name` (exact
// bytes): a computed rudiment or a registry pattern's sampler; nullptr for
// any other name. Callers that evaluate one motion many times look it up
// once.
MotionSampler find_motion(std::string_view name) noexcept;

// Evaluates the built-in motion called `name` (exact bytes) at `pip`.
// Throws UnknownMotion for any other name.
Offset3 sample(std::string_view name, int pip);

// Every built-in motion once: the fifteen computed rudiments, then the
// registry patterns in registry order. Built on the first call; the same
// list object is returned on every call.
const std::vector<RudimentInfo>& catalogue();

}  // namespace kinetrope
