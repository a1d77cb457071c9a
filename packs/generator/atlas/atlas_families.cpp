#include "atlas/atlas_families.hpp"

#include <utility>

namespace kinetrope::packgen::atlas {

PatternDef as_stated(std::string name, std::string description, int period, int dims, Rule rule) {
    return {std::move(name), std::move(description), period, dims, std::move(rule)};
}

PatternDef peak_82(std::string name, std::string description, int period, int dims, Rule raw) {
    return {std::move(name), std::move(description), period, dims, std::move(raw), PeakScaling::on_pips, 0.82};
}

}  // namespace kinetrope::packgen::atlas
