// A validated, non-looping recording of named axes sampled once per pip.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace kinetrope {

// Most values (rows x axes) one recording may hold: 2^23 doubles, 64 MiB.
inline constexpr std::size_t max_recording_values = std::size_t{1} << 23;

// Rows already laid out back to back in one array, with their lengths kept
// as runs of equal length. A caller that converts rows one by one can fill
// this directly and hand the array over to the recording, which then keeps
// it instead of copying every value once more.
class FlatRows {
public:
    struct Run {
        std::size_t length;  // values in each row of the run
        std::size_t count;   // rows in the run
    };

    void reserve(std::size_t values) { values_.reserve(values); }
    void push_value(double value) { values_.push_back(value); }
    // Closes the row made of the values pushed since the previous row ended.
    void end_row();

    std::size_t row_count() const noexcept;
    // Values of the closed rows, in row order.
    std::span<const double> row_values() const noexcept { return {values_.data(), closed_values_}; }
    const std::vector<Run>& runs() const noexcept { return runs_; }
    // Hands over the value array when it holds exactly the closed rows and
    // no spare capacity; otherwise leaves it and returns an empty array.
    std::vector<double> release_exact_values() noexcept;

private:
    std::vector<double> values_;
    std::vector<Run> runs_;
    std::size_t closed_values_ = 0;
};

class SampledRecording {
public:
    // Validates in a fixed order and reports the first failure as
    // std::invalid_argument: name, timing, shape, axis names, then the rows
    // one by one (length before values).
    SampledRecording(std::string name, std::vector<std::string> dimensions,
                     std::vector<std::vector<double>> samples, double bpm,
                     double beat_zero_seconds = 0.0, int start_pip = 0);

    // Same validation for rows laid out flat; on success the recording keeps
    // the given value array when it is already sized exactly.
    SampledRecording(std::string name, std::vector<std::string> dimensions, FlatRows samples,
                     double bpm, double beat_zero_seconds = 0.0, int start_pip = 0);

    const std::string& name() const noexcept { return name_; }
    const std::vector<std::string>& dimensions() const noexcept { return dimensions_; }
    int sample_count() const noexcept;
    double bpm() const noexcept { return bpm_; }
    double beat_zero_seconds() const noexcept { return beat_zero_seconds_; }
    int start_pip() const noexcept { return start_pip_; }

    // The row of `pip`, one value per axis in axis order; throws
    // std::out_of_range outside start_pip .. start_pip + sample_count - 1.
    std::vector<double> sample(int pip) const;

    // The same row as a view of the recording's own values, for callers
    // that read many rows without allocating.
    std::span<const double> row(int pip) const;

private:
    SampledRecording(std::string name, std::vector<std::string> dimensions, double bpm,
                     double beat_zero_seconds, int start_pip);

    // Everything that can be judged before any row is looked at.
    void check_header(std::size_t row_count) const;
    void check_axes() const;
    void check_row_length(std::size_t length) const;
    std::size_t axis_count() const noexcept { return dimensions_.size(); }

    std::string name_;
    std::vector<std::string> dimensions_;
    std::vector<double> samples_;
    double bpm_;
    double beat_zero_seconds_;
    int start_pip_;
};

}  // namespace kinetrope
