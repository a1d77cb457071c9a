#include "kinetrope/sampled_recording.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "kinetrope/identifier.hpp"

namespace kinetrope {

namespace {

constexpr std::int64_t last_pip = std::numeric_limits<int>::max();

bool is_valid_timing(double bpm, double beat_zero_seconds) noexcept {
    // 60 / bpm is the length of a beat in seconds; it overflows for tempos
    // so small that it cannot be represented.
    return std::isfinite(bpm) && bpm > 0.0 && std::isfinite(60.0 / bpm) &&
           std::isfinite(beat_zero_seconds);
}

bool is_valid_sample(double value) noexcept {
    return std::isfinite(value) && std::fabs(value) <= 1.0;
}

bool fits_limits(std::size_t axes, std::size_t rows, int start_pip) noexcept {
    if (axes == 0 || rows == 0 || rows > max_recording_values / axes) {
        return false;
    }
    // rows <= 2^23 here, so the sum cannot overflow 64 bits.
    return std::int64_t{start_pip} + static_cast<std::int64_t>(rows) <= last_pip;
}

void check_values(std::span<const double> values) {
    for (const double value : values) {
        if (!is_valid_sample(value)) {
            throw std::invalid_argument("Invalid sample");
        }
    }
}

}  // namespace

void FlatRows::end_row() {
    const std::size_t length = values_.size() - closed_values_;
    if (!runs_.empty() && runs_.back().length == length) {
        ++runs_.back().count;
    } else {
        runs_.push_back(Run{length, 1});
    }
    closed_values_ = values_.size();
}

std::size_t FlatRows::row_count() const noexcept {
    std::size_t rows = 0;
    for (const Run& run : runs_) {
        rows += run.count;
    }
    return rows;
}

std::vector<double> FlatRows::release_exact_values() noexcept {
    if (values_.size() != closed_values_ || values_.capacity() != closed_values_) {
        return {};
    }
    closed_values_ = 0;
    runs_.clear();
    return std::move(values_);
}

SampledRecording::SampledRecording(std::string name, std::vector<std::string> dimensions, double bpm,
                                   double beat_zero_seconds, int start_pip)
    : name_(std::move(name)),
      dimensions_(std::move(dimensions)),
      bpm_(bpm),
      beat_zero_seconds_(beat_zero_seconds),
      start_pip_(start_pip) {}

SampledRecording::SampledRecording(std::string name, std::vector<std::string> dimensions,
                                   std::vector<std::vector<double>> samples, double bpm,
                                   double beat_zero_seconds, int start_pip)
    : SampledRecording(std::move(name), std::move(dimensions), bpm, beat_zero_seconds, start_pip) {
    check_header(samples.size());
    samples_.reserve(samples.size() * axis_count());
    for (const std::vector<double>& row : samples) {
        check_row_length(row.size());
        check_values(row);
        samples_.insert(samples_.end(), row.begin(), row.end());
    }
}

SampledRecording::SampledRecording(std::string name, std::vector<std::string> dimensions, FlatRows samples,
                                   double bpm, double beat_zero_seconds, int start_pip)
    : SampledRecording(std::move(name), std::move(dimensions), bpm, beat_zero_seconds, start_pip) {
    const std::size_t rows = samples.row_count();
    check_header(rows);
    // Every row of a run has the run's length, so one length test per run
    // reports a ragged row exactly where the row-by-row order would, after
    // all values of the rows before it.
    const std::span<const double> values = samples.row_values();
    std::size_t offset = 0;
    for (const FlatRows::Run& run : samples.runs()) {
        check_row_length(run.length);
        const std::size_t run_values = run.length * run.count;
        check_values(values.subspan(offset, run_values));
        offset += run_values;
    }
    samples_ = samples.release_exact_values();
    if (samples_.empty()) {
        samples_.reserve(values.size());
        samples_.assign(values.begin(), values.end());
    }
}

void SampledRecording::check_header(std::size_t row_count) const {
    if (!is_identifier(name_)) {
        throw std::invalid_argument("Invalid identifier");
    }
    if (!is_valid_timing(bpm_, beat_zero_seconds_)) {
        throw std::invalid_argument("A finite positive BPM and beat origin are required");
    }
    if (!fits_limits(axis_count(), row_count, start_pip_)) {
        throw std::invalid_argument("Empty recording or recording resource limit exceeded");
    }
    check_axes();
}

void SampledRecording::check_axes() const {
    std::unordered_set<std::string_view> seen;
    seen.reserve(axis_count());
    for (const std::string& axis : dimensions_) {
        if (!is_identifier(axis)) {
            throw std::invalid_argument("Invalid identifier");
        }
        if (!seen.insert(axis).second) {
            throw std::invalid_argument("Duplicate axis");
        }
    }
}

void SampledRecording::check_row_length(std::size_t length) const {
    if (length != axis_count()) {
        throw std::invalid_argument("Ragged recording");
    }
}

int SampledRecording::sample_count() const noexcept {
    const std::size_t axes = axis_count();
    return axes == 0 ? 0 : static_cast<int>(samples_.size() / axes);
}

std::span<const double> SampledRecording::row(int pip) const {
    const std::int64_t index = std::int64_t{pip} - std::int64_t{start_pip_};
    if (index < 0 || index >= sample_count()) {
        throw std::out_of_range("Pip outside non-looping recording");
    }
    const std::size_t axes = axis_count();
    return std::span<const double>(samples_).subspan(static_cast<std::size_t>(index) * axes, axes);
}

std::vector<double> SampledRecording::sample(int pip) const {
    const std::span<const double> values = row(pip);
    return std::vector<double>(values.begin(), values.end());
}

}  // namespace kinetrope
