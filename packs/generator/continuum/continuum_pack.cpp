// kinetrope_continuum: long shape studies and rhythm families, sixteen
// members each.
#include <iterator>

#include "families.hpp"
#include "packs.hpp"

namespace kinetrope::packgen {

Pack continuum_pack(const std::filesystem::path& data_dir) {
    using namespace continuum;
    Pack pack{"continuum", {}};
    const auto add = [&pack](std::vector<PatternDef> family) {
        pack.patterns.insert(pack.patterns.end(), std::make_move_iterator(family.begin()),
                             std::make_move_iterator(family.end()));
    };
    add(ribbon_family());
    add(contour_family());
    add(silhouette_family());
    add(spline_family());
    add(tour_family());
    add(scan_family());
    add(reach_family());
    add(surface_family());
    add(braid_family());
    add(arm_family());
    add(dwell_family());
    add(packet_family());
    add(canon_family());
    add(echo_family());
    add(ladder_family());
    add(necklace_family(data_dir));
    add(accent_family());
    add(triplet_family());
    add(dialogue_family());
    add(burst_family());
    return pack;
}

}  // namespace kinetrope::packgen
