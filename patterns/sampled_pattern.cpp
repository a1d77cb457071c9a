// Validation and lookup of caller-supplied sample tables.
#include "kinetrope/sampled_pattern.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "kinetrope/identifier.hpp"

namespace kinetrope {
namespace {

// NaN fails both comparisons and the infinities fail one, so this one test
// also refuses every non-finite value.
constexpr bool in_unit_range(double value) noexcept {
    return value >= -1.0 && value <= 1.0;
}

constexpr bool in_unit_range(const Offset3& sample) noexcept {
    return in_unit_range(sample.x) && in_unit_range(sample.y) && in_unit_range(sample.z);
}

// How many leading axes a sample moves, judged by y and z only: a pattern
// that moves nothing still has one axis. -0.0 compares equal to 0.0 and so
// counts as at rest.
constexpr std::uint8_t axes_moved(const Offset3& sample) noexcept {
    if (sample.z != 0.0) {
        return 3;
    }
    return sample.y != 0.0 ? 2 : 1;
}

// Checks every coordinate, first sample to last, and derives the number of
// axes the table uses in the same walk.
std::uint8_t validate_samples(const std::vector<Offset3>& samples) {
    std::uint8_t axes_used = 1;
    for (const Offset3& sample : samples) {
        if (!in_unit_range(sample)) {
            throw std::invalid_argument("Pattern samples must be finite and within [-1, 1]");
        }
        axes_used = std::max(axes_used, axes_moved(sample));
    }
    return axes_used;
}

}  // namespace

SampledPattern::SampledPattern(std::string name, std::string description, std::vector<Offset3> samples)
    : name_(std::move(name)), description_(std::move(description)), samples_(std::move(samples)) {
    if (!is_identifier(name_)) {
        throw std::invalid_argument("Invalid pattern name");
    }
    if (samples_.empty() || samples_.size() > max_samples) {
        throw std::invalid_argument("A pattern requires 1..65535 samples (one per pip)");
    }
    axes_used_ = validate_samples(samples_);
}

SampledPattern::SampledPattern(SampledPattern&& other) noexcept
    : name_(std::exchange(other.name_, {})),
      description_(std::exchange(other.description_, {})),
      samples_(std::exchange(other.samples_, {})),
      axes_used_(std::exchange(other.axes_used_, std::uint8_t{1})) {}

SampledPattern& SampledPattern::operator=(SampledPattern&& other) noexcept {
    if (this != &other) {
        name_ = std::exchange(other.name_, {});
        description_ = std::exchange(other.description_, {});
        samples_ = std::exchange(other.samples_, {});
        axes_used_ = std::exchange(other.axes_used_, std::uint8_t{1});
    }
    return *this;
}

Offset3 SampledPattern::sample(int pip) const {
    if (samples_.empty()) {
        throw std::logic_error("Cannot sample a moved-from pattern");
    }
    return samples_[static_cast<std::size_t>(wrap_pip(pip, static_cast<int>(samples_.size())))];
}

}  // namespace kinetrope
