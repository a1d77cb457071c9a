// SampledRecording from caller data, through both row layouts: every
// refusal must be the first one the validation order predicts, and an
// accepted recording must read back exactly what it was given.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "fuzz_input.hpp"
#include "kinetrope/sampled_recording.hpp"

namespace kinetrope_fuzz {
namespace {

using Rows = std::vector<std::vector<double>>;

struct RecordingData {
    std::string name;
    std::vector<std::string> axes;
    Rows rows;
    double bpm = 0.0;
    double beat_zero_seconds = 0.0;
    int start_pip = 0;
};

RecordingData read_recording(FuzzInput& input) {
    RecordingData data;
    data.name = input.text();
    const std::size_t axis_count = input.byte() % 9;
    for (std::size_t a = 0; a < axis_count; ++a) {
        data.axes.push_back(input.text());
    }
    const std::size_t row_count = input.byte() % 33;
    for (std::size_t r = 0; r < row_count; ++r) {
        // Usually as many values as axes; sometimes any length up to 15.
        const std::uint8_t shape = input.byte();
        const std::size_t length = shape < 200 ? axis_count : shape % 16;
        std::vector<double> row;
        for (std::size_t v = 0; v < length; ++v) {
            row.push_back(input.value());
        }
        data.rows.push_back(std::move(row));
    }
    data.bpm = input.value();
    data.beat_zero_seconds = input.value();
    const std::uint8_t start = input.byte() % 4;
    data.start_pip = start == 0 ? input.pip() : start == 1 ? INT_MAX - input.byte() % 40 : input.byte() - 128;
    return data;
}

// The refusal the validation order predicts, or nothing for a valid recording.
std::optional<std::string> expected_refusal(const RecordingData& d) {
    if (!is_identifier_model(d.name)) {
        return "Invalid identifier";
    }
    if (!std::isfinite(d.bpm) || !(d.bpm > 0.0) || !std::isfinite(60.0 / d.bpm) ||
        !std::isfinite(d.beat_zero_seconds)) {
        return "A finite positive BPM and beat origin are required";
    }
    const std::size_t k = d.axes.size();
    const std::size_t n = d.rows.size();
    if (k == 0 || n == 0 || n * k > (std::size_t{1} << 23) ||
        static_cast<std::int64_t>(d.start_pip) + static_cast<std::int64_t>(n) > INT_MAX) {
        return "Empty recording or recording resource limit exceeded";
    }
    std::unordered_set<std::string> seen;
    for (const std::string& axis : d.axes) {
        if (!is_identifier_model(axis)) {
            return "Invalid identifier";
        }
        if (!seen.insert(axis).second) {
            return "Duplicate axis";
        }
    }
    for (const std::vector<double>& row : d.rows) {
        if (row.size() != k) {
            return "Ragged recording";
        }
        for (const double value : row) {
            if (!in_unit_range(value)) {
                return "Invalid sample";
            }
        }
    }
    return std::nullopt;
}

kinetrope::FlatRows flatten(const Rows& rows) {
    kinetrope::FlatRows flat;
    for (const std::vector<double>& row : rows) {
        for (const double value : row) {
            flat.push_value(value);
        }
        flat.end_row();
    }
    return flat;
}

void check_read_back(const kinetrope::SampledRecording& recording, const RecordingData& d, int pip) {
    check(recording.name() == d.name && recording.dimensions() == d.axes, "recording names changed");
    check(recording.sample_count() == static_cast<int>(d.rows.size()), "recording row count");
    check(recording.start_pip() == d.start_pip, "recording start pip");
    check(recording.bpm() == d.bpm && recording.beat_zero_seconds() == d.beat_zero_seconds, "recording timing");
    for (std::size_t r = 0; r < d.rows.size(); ++r) {
        check(recording.sample(d.start_pip + static_cast<int>(r)) == d.rows[r], "recording row changed");
    }
    const std::int64_t row = static_cast<std::int64_t>(pip) - d.start_pip;
    const bool inside = row >= 0 && row < static_cast<std::int64_t>(d.rows.size());
    std::vector<double> values;
    const auto outside = failure_of<std::out_of_range>([&] { values = recording.sample(pip); });
    check_outcome(outside, inside ? std::nullopt : std::optional<std::string>("Pip outside non-looping recording"),
                  "recording sample");
    if (inside) {
        check(values == d.rows[static_cast<std::size_t>(row)], "recording row at pip");
    }
}

}  // namespace

void fuzz_sampled_recording(FuzzInput& input) {
    const bool flat = input.byte() % 2 == 1;
    const RecordingData d = read_recording(input);
    const std::int64_t near_start = static_cast<std::int64_t>(d.start_pip) + input.byte() - 2;
    const int probe = input.byte() % 2 ? input.pip() : static_cast<int>(std::min<std::int64_t>(near_start, INT_MAX));
    std::optional<kinetrope::SampledRecording> recording;
    const auto refused = refusal_of([&] {
        if (flat) {
            recording.emplace(d.name, d.axes, flatten(d.rows), d.bpm, d.beat_zero_seconds, d.start_pip);
        } else {
            recording.emplace(d.name, d.axes, d.rows, d.bpm, d.beat_zero_seconds, d.start_pip);
        }
    });
    check_outcome(refused, expected_refusal(d), flat ? "flat recording" : "nested recording");
    if (recording) {
        check_read_back(*recording, d, probe);
    }
}

}  // namespace kinetrope_fuzz
