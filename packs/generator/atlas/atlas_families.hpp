// The sixteen families of kinetrope_atlas, each a rule plus a table of
// per-member parameters, and the small helpers their files share.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "member_names.hpp"
#include "pattern.hpp"
#include "rules.hpp"

namespace kinetrope::packgen::atlas {

using Family = std::vector<PatternDef>;

// In registry order.
Family wave_family();
Family env_family();
Family seq_family(const std::filesystem::path& data_dir);
Family noise_family();
Family orbit_family();
Family weave_family();
Family polar_family();
Family spiro_family();
Family space_family();
Family mech_family();
Family euclid_family();
Family poly_family();
Family meter_family();
Family swing_family();
Family stick_family();
Family gesture_family(const std::filesystem::path& data_dir);

// A pattern whose rule is stored as it stands (rhythms, key lanes).
PatternDef as_stated(std::string name, std::string description, int period, int dims, Rule rule);

// A shape whose raw curve is scaled so that its largest coordinate over the
// table's own pips is exactly 0.82.
PatternDef peak_82(std::string name, std::string description, int period, int dims, Rule raw);

}  // namespace kinetrope::packgen::atlas
