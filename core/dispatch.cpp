// Name dispatch over the built-in motions and the built-in catalogue.
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "kinetrope/catalogue.hpp"
#include "kinetrope/registry.hpp"
#include "kinetrope/rudiments.hpp"

namespace kinetrope {
namespace {

struct ComputedRudiment {
    RudimentInfo info;
    MotionSampler evaluate;
};

// The fifteen computed rudiments, in catalogue order.
constexpr std::array<ComputedRudiment, 15> computed_rudiments{{
    {{"bounce", "One-beat vertical bounce", 64, 1}, &bounce},
    {{"sway", "Two-beat side-to-side sway", 128, 1}, &sway},
    {{"circle", "One-beat circular orbit", 64, 2}, &circle},
    {{"figure_eight", "Two-beat figure eight", 128, 2}, &figure_eight},
    {{"step_touch", "Two-beat side step with a small lift", 128, 2}, &step_touch},
    {{"box_step", "Four-beat softened square path", 256, 2}, &box_step},
    {{"helix", "Four-beat double-turn helix", 256, 3}, &helix},
    {{"varn_background", "Varn/Quils four-beat accented background drift", 256, 2}, &varn_background},
    {{"single_stroke_roll", "Alternating R/L strokes with smooth attack and decay", 64, 2}, &single_stroke_roll},
    {{"double_stroke_roll", "RRLL strokes with a softer second motion", 64, 2}, &double_stroke_roll},
    {{"multiple_bounce_roll", "Decaying same-hand bounce clusters", 64, 2}, &multiple_bounce_roll},
    {{"single_paradiddle", "RLRR LRLL with accented lead strokes", 128, 2}, &single_paradiddle},
    {{"flam", "Grace motion flowing into an opposite-hand primary motion", 64, 2}, &flam},
    {{"drag", "Two grace motions flowing into an opposite-hand primary motion", 64, 2}, &drag},
    {{"five_stroke_roll", "Two diddles resolving to an accented fifth motion", 128, 2}, &five_stroke_roll},
}};

// Candidates by name length, worked out at compile time: a name is compared
// byte for byte only with the (at most three) rudiment names of its length.
constexpr std::size_t longest_name = 20;
constexpr std::size_t max_same_length = 3;
constexpr std::int8_t no_candidate = -1;

using LengthBuckets = std::array<std::array<std::int8_t, max_same_length>, longest_name + 1>;

consteval LengthBuckets bucket_by_length() {
    LengthBuckets buckets{};
    for (auto& bucket : buckets) {
        bucket.fill(no_candidate);
    }
    for (std::size_t i = 0; i < computed_rudiments.size(); ++i) {
        auto& bucket = buckets.at(computed_rudiments[i].info.name.size());
        std::size_t slot = 0;
        while (bucket.at(slot) != no_candidate) {
            ++slot;  // .at() makes an overfull bucket a compile error
        }
        bucket[slot] = static_cast<std::int8_t>(i);
    }
    return buckets;
}

constexpr LengthBuckets candidates_by_length = bucket_by_length();

const ComputedRudiment* find_computed(std::string_view name) noexcept {
    if (name.size() > longest_name) {
        return nullptr;
    }
    for (const std::int8_t index : candidates_by_length[name.size()]) {
        if (index == no_candidate) {
            break;
        }
        const ComputedRudiment& rudiment = computed_rudiments[static_cast<std::size_t>(index)];
        if (rudiment.info.name == name) {
            return &rudiment;
        }
    }
    return nullptr;
}

std::vector<RudimentInfo> build_catalogue() {
    const auto patterns = pattern_entries();
    std::vector<RudimentInfo> rows;
    rows.reserve(computed_rudiments.size() + patterns.size());
    for (const ComputedRudiment& rudiment : computed_rudiments) {
        rows.push_back(rudiment.info);
    }
    for (const PatternEntry& entry : patterns) {
        rows.push_back(entry.info());
    }
    return rows;
}

}  // namespace

UnknownMotion::UnknownMotion(std::string_view name)
    : std::invalid_argument("Unknown kinetrope: " + std::string(name)),
      message_("Unknown kinetrope: " + std::string(name)) {}

MotionSampler find_motion(std::string_view name) noexcept {
    if (const ComputedRudiment* rudiment = find_computed(name)) {
        return rudiment->evaluate;
    }
    const PatternEntry* entry = find_pattern(name);
    return entry != nullptr ? entry->sampler : nullptr;
}

Offset3 sample(std::string_view name, int pip) {
    if (const MotionSampler sampler = find_motion(name)) {
        return sampler(pip);
    }
    throw UnknownMotion(name);
}

const std::vector<RudimentInfo>& catalogue() {
    // Thread-safe one-time construction; a failed build (out of memory)
    // propagates and the next call tries again.
    static const std::vector<RudimentInfo> rows = build_catalogue();
    return rows;
}

}  // namespace kinetrope
