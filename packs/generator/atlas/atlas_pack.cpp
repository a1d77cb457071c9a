// kinetrope_atlas: sixteen families of sixteen patterns, shapes first, then
// rhythms and gestures.
#include "atlas/atlas_families.hpp"
#include "packs.hpp"

#include <array>
#include <cstdio>
#include <utility>

namespace kinetrope::packgen {

namespace atlas {

PatternDef as_stated(std::string name, std::string description, int period, int dims, Rule rule) {
    return {std::move(name), std::move(description), period, dims, std::move(rule)};
}

PatternDef peak_82(std::string name, std::string description, int period, int dims, Rule raw) {
    return {std::move(name), std::move(description), period, dims, std::move(raw), PeakScaling::on_pips, 0.82};
}

std::string joined(const std::vector<int>& numbers, const std::string& separator) {
    std::string text;
    for (const int n : numbers) {
        if (!text.empty()) {
            text += separator;
        }
        text += std::to_string(n);
    }
    return text;
}

std::string two_digits(int number) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%02d", number);
    return text.data();
}

double side(int index) noexcept { return index % 2 == 0 ? 1.0 : -1.0; }

}  // namespace atlas

Pack atlas_pack(const std::filesystem::path& data_dir) {
    using namespace atlas;
    Pack pack{"atlas", {}};
    const auto add = [&pack](Family family) {
        for (PatternDef& pattern : family) {
            pack.patterns.push_back(std::move(pattern));
        }
    };
    add(wave_family());
    add(env_family());
    add(seq_family(data_dir));
    add(noise_family());
    add(orbit_family());
    add(weave_family());
    add(polar_family());
    add(spiro_family());
    add(space_family());
    add(mech_family());
    add(euclid_family());
    add(poly_family());
    add(meter_family());
    add(swing_family());
    add(stick_family());
    add(gesture_family(data_dir));
    return pack;
}

}  // namespace kinetrope::packgen
