// A caller-supplied motion: a named table of Offset3 samples, one per pip,
// that repeats forever. Validated once when built and never changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kinetrope/catalogue.hpp"
#include "kinetrope/time_base.hpp"

namespace kinetrope {

class SampledPattern {
public:
    // The largest table whose period still fits the 16-bit period_pips of a
    // catalogue row.
    static constexpr std::size_t max_samples = 65535;

    // Takes all three arguments by value and validates, in this order, the
    // name (identifier rule), the number of samples (1..max_samples) and every
    // coordinate (finite, within [-1, 1]). Throws std::invalid_argument at the
    // first fault.
    SampledPattern(std::string name, std::string description, std::vector<Offset3> samples);

    SampledPattern(const SampledPattern&) = default;
    SampledPattern& operator=(const SampledPattern&) = default;
    // Moving leaves the source with empty strings and an empty table, which
    // marks it as moved-from: it can no longer be sampled.
    SampledPattern(SampledPattern&& other) noexcept;
    SampledPattern& operator=(SampledPattern&& other) noexcept;
    ~SampledPattern() = default;

    // The pattern's catalogue row. Its texts are views of this pattern's own
    // strings, valid while the pattern lives and is not moved from or
    // assigned to.
    RudimentInfo info() const noexcept {
        return {name_, description_, static_cast<std::uint16_t>(samples_.size()), axes_used_};
    }

    // The stored sample at `pip` folded into the table. Throws
    // std::logic_error on a moved-from pattern.
    Offset3 sample(int pip) const;

private:
    std::string name_;
    std::string description_;
    std::vector<Offset3> samples_;
    std::uint8_t axes_used_ = 1;
};

}  // namespace kinetrope
