// kinetrope_atlas: sixteen families of sixteen patterns, shapes first, then
// rhythms and gestures.
#include <utility>

#include "atlas/atlas_families.hpp"
#include "packs.hpp"

namespace kinetrope::packgen {

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
