// Authored single-cycle waveforms for the akwf_ patterns.
#pragma once

#include <span>
#include <vector>

namespace kinetrope::packgen {

std::span<const int> waveform_round_saw() noexcept;
std::span<const int> waveform_quick_return() noexcept;
std::span<const int> waveform_multi_lobe() noexcept;
std::span<const int> waveform_plateau() noexcept;

// The samples shifted to zero mean and scaled so that the largest magnitude
// is exactly |signed_peak|, reached with the sign of `signed_peak`. Throws
// if the largest excursion has the other sign.
std::vector<double> zero_mean_with_peak(std::span<const int> samples, double signed_peak);

}  // namespace kinetrope::packgen
