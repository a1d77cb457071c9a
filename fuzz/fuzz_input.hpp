// Reading fuzz input as caller data, and the checks every target shares.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kinetrope_fuzz {

// Reads values front to back; an exhausted input reads as zeros, so every
// byte string is a valid input.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool exhausted() const noexcept { return offset_ >= size_; }

    std::uint8_t byte() noexcept { return exhausted() ? 0 : data_[offset_++]; }

    std::uint32_t unsigned_number(int bytes) noexcept {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value |= static_cast<std::uint32_t>(byte()) << (8 * i);
        }
        return value;
    }

    int pip() noexcept { return static_cast<int>(unsigned_number(4)); }

    // One byte picks the value: most codes give a step of 1/80 between
    // -1.25 and 1.25 (so exactly -1, 0 and 1 and both sides of the range
    // are one byte away), a few give the values at the edges of validity,
    // and the last reads eight raw bytes.
    double value() noexcept {
        const std::uint8_t code = byte();
        if (code <= 200) {
            return (static_cast<double>(code) - 100.0) / 80.0;
        }
        const std::size_t special = code - 201u;
        if (special < edge_values.size()) {
            return edge_values[special];
        }
        double raw = 0.0;
        std::uint8_t bytes[sizeof raw] = {};
        for (std::uint8_t& b : bytes) {
            b = byte();
        }
        std::memcpy(&raw, bytes, sizeof raw);
        return raw;
    }

    // A length byte, then that many bytes (fewer if the input ends).
    std::string text() {
        const std::size_t length = byte();
        std::string result;
        while (result.size() < length && !exhausted()) {
            result.push_back(static_cast<char>(byte()));
        }
        return result;
    }

private:
    static constexpr double smallest_tempo = 3.3376107877608025e-307;  // 60 / it is finite
    static constexpr std::array<double, 14> edge_values{
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), 1.0000000000000002, -1.0000000000000002, -0.0,
        120.0, -120.0, 1e-308, 1e-300, smallest_tempo, 3.3376107877608020e-307,
        std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min()};

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "kinetrope fuzz check failed: %s %.*s\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

inline void check(bool condition, const char* what, std::string_view detail = {}) {
    if (!condition) {
        fail(what, detail);
    }
}

// Runs `action` and returns the message of the std::invalid_argument it
// throws, or nothing when it returns. Any other exception escapes, which
// ends the run as a crash: only the documented exceptions are allowed.
template <typename Action>
std::optional<std::string> refusal_of(Action&& action) {
    try {
        action();
    } catch (const std::invalid_argument& refused) {
        return std::string(refused.what());
    }
    return std::nullopt;
}

// The same for one documented exception type other than invalid_argument.
template <typename Exception, typename Action>
std::optional<std::string> failure_of(Action&& action) {
    try {
        action();
    } catch (const Exception& failed) {
        return std::string(failed.what());
    }
    return std::nullopt;
}

// A message as what() can carry it: up to its first NUL byte. A name with
// a NUL byte therefore appears cut short in "Unknown kinetrope: <name>".
inline std::optional<std::string> as_carried(std::optional<std::string> message) {
    if (message) {
        message->resize(std::strlen(message->c_str()));
    }
    return message;
}

// The outcome a model of the rules predicts against the one observed.
inline void check_outcome(const std::optional<std::string>& observed, const std::optional<std::string>& unclipped,
                          const char* what) {
    const std::optional<std::string> expected = as_carried(unclipped);
    // KINETROPE_FUZZ_TRACE=1 prints every outcome, to see what a seed reaches.
    static const bool trace = std::getenv("KINETROPE_FUZZ_TRACE") != nullptr;
    if (trace) {
        std::fprintf(stderr, "%s: %s\n", what, observed.value_or("<accepted>").c_str());
    }
    if (observed != expected) {
        const std::string detail = "observed \"" + observed.value_or("<accepted>") + "\", expected \"" +
                                   expected.value_or("<accepted>") + "\"";
        fail(what, detail);
    }
}

// The identifier rule, written out independently of the library's own.
inline bool is_identifier_model(std::string_view text) {
    if (text.empty() || text.size() > 128 || text[0] < 'a' || text[0] > 'z') {
        return false;
    }
    for (const char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) {
            return false;
        }
    }
    return true;
}

inline bool in_unit_range(double value) { return std::isfinite(value) && std::fabs(value) <= 1.0; }

// pip folded into [0, period), in 64 bits so that no model step overflows.
inline std::size_t folded(int pip, std::size_t period) {
    const auto n = static_cast<std::int64_t>(period);
    return static_cast<std::size_t>(((static_cast<std::int64_t>(pip) % n) + n) % n);
}

// The targets, one per kind of caller data.
void fuzz_sample_by_name(FuzzInput& input);
void fuzz_sampled_recording(FuzzInput& input);
void fuzz_sampled_pattern(FuzzInput& input);
void fuzz_pattern_library(FuzzInput& input);

}  // namespace kinetrope_fuzz
